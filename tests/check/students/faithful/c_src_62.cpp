// c_src_62: the same constant in a float and a double, to 20 decimals.
#include <cstdio>

int main(void)
{
    float f = 1.2345678901234567f;
    double d = 1.2345678901234567;
    printf("float형 변수의 값 : %.20f\n", (double)f);
    printf("double형 변수의 값 : %.20lf\n", d);
    return 0;
}
