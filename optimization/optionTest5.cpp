// optionTest5: a double holding the natural logarithm of 2, printed with two decimals.
// The compiler works the logarithm of a constant out itself: no maths call runs.
#include <math.h>
#include <stdio.h>

int main(void)
{
    double rst = log(2.0);

    printf("rst:%.2f\n", rst);
    return 0;
}
