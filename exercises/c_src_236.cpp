// c_src_236: prints the addresses of a char and an int, then changes both variables
// directly and through pointers holding those addresses.
#include <stdio.h>

int main(void)
{
    char ch;
    int i; // not set yet: only its address is printed before the first assignment
    char *chPtr;
    int *iPtr;

    printf("addr of ch : %p\n", (void *)&ch);
    printf("addr of i : %p\n", (void *)&i);

    chPtr = &ch;
    iPtr = &i;
    printf("addr of ch : %p\n", (void *)chPtr);
    printf("addr of i : %p\n", (void *)iPtr);

    i = 123;
    ch = 'A';
    printf("i : %d\n", *iPtr);
    printf("ch : %c\n", *chPtr);

    *iPtr = 456;
    *chPtr = 'B';
    printf("i : %d\n", *iPtr);
    printf("ch : %c\n", *chPtr);
    return 0;
}
