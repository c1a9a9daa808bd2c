// c_src_87: 10 / 3 as integers, in floating point, and as integers converted afterwards.
#include <cstdio>

int main(void)
{
    printf("%d, %d\n", 10 / 3, 10 % 3);
    printf("%lf, %d\n", 10.0 / 3, 10 % 3);
    printf("%lf, %d\n", (double)(10 / 3), 10 % 3);
    return 0;
}
