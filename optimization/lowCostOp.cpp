// lowCostOp: remainder and division set against the bit mask and shift that give the same
// values for non-negative numbers: 51 % 8 and 51 & 7, then 31 / 4 and 31 >> 2.
#include <stdio.h>

int main(void)
{
    int d1 = 51;
    int d2 = 51;

    d1 = d1 % 8;
    d2 = d2 & 7;
    printf("d1:%d, d2:%d\n", d1, d2);

    int d3 = 31;
    int d4 = 31;

    d3 = d3 / 4;
    d4 = d4 >> 2;
    printf("d3:%d, d4:%d\n", d3, d4);
    return 0;
}
