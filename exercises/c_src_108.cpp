// c_src_108: the larger of two values, chosen with the conditional expression
// (first > second) ? first : second.
#include <stdio.h>

int main(void)
{
    int first = 10;
    int second = 20;
    int max;

    max = (first > second) ? first : second;
    printf("max value : %d\n", max);
    return 0;
}
