// c_src_62: the same decimal constant stored in a float and in a double, printed to 20
// decimal places: the float departs from it at the 8th place, the double at the 16th.
#include <stdio.h>

int main(void)
{
    float floatNum = 1.2345678901234567;
    double doubleNum = 1.2345678901234567;

    printf("float형 변수의 값 : %.20f\n", floatNum);
    printf("double형 변수의 값 : %.20lf\n", doubleNum);
    return 0;
}
