// c_src_40: fixed-point and exponent formats of doubles.
#include <cstdio>

int main(void)
{
    printf("%.1lf\n", 1000000.0);
    printf("%.7lf\n", 3.14e-5);
    printf("%le\n", 3.14e-5);
    printf("%.2le\n", 3.14e-5);
    return 0;
}
