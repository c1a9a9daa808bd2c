// c_src_108: the larger of two values, chosen with the conditional operator.
#include <cstdio>

int main(void)
{
    int a = 10, b = 20;
    int max = a > b ? a : b;
    printf("max value : %d\n", max);
    return 0;
}
