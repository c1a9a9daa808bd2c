// c_src_244: reads two ints through one pointer, then changes the first int by
// storing through the pointer.
#include <stdio.h>

int main(void)
{
    int a = 10;
    int b = 20;
    int *ptr;

    ptr = &a;
    printf("변수a값 : %d\n", *ptr);
    ptr = &b;
    printf("변수b값 : %d\n", *ptr);
    ptr = &a;
    *ptr = 20;
    printf("변수a값 : %d\n", *ptr);
    return 0;
}
