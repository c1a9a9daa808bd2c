// c_src_236: the addresses of a char and an int, then both changed directly and through
// pointers.
#include <cstdio>

int main(void)
{
    char ch;
    int i;
    printf("addr of ch : %p\n", (void *)&ch);
    printf("addr of i : %p\n", (void *)&i);
    char *pc = &ch;
    int *pi = &i;
    printf("addr of ch : %p\n", (void *)pc);
    printf("addr of i : %p\n", (void *)pi);
    i = 123;
    ch = 'A';
    printf("i : %d\n", *pi);
    printf("ch : %c\n", *pc);
    *pi = 456;
    *pc = 'B';
    printf("i : %d\n", *pi);
    printf("ch : %c\n", *pc);
    return 0;
}
