// c_src_244: two ints read through one pointer, then the first changed through it.
#include <cstdio>

int main(void)
{
    int a = 10, b = 20;
    int *p = &a;
    printf("변수a값 : %d\n", *p);
    p = &b;
    printf("변수b값 : %d\n", *p);
    p = &a;
    *p = 20;
    printf("변수a값 : %d\n", *p);
    return 0;
}
