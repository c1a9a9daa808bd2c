// Division and remainder by the constants 4, 5 and 7, signed and unsigned: shifts,
// masks and multiplies by a reciprocal instead of divide instructions.
#include <stdio.h>

int divideSigned(int value)
{
    return value / 4 + value / 5 + value / 7 + value % 7;
}

unsigned divideUnsigned(unsigned value)
{
    return value / 4 + value / 5 + value / 7 + value % 5;
}

int divideByAny(int value, int divisor)
{
    return value / divisor;
}

int main(int argc, char **argv)
{
    (void)argv;
    printf("%d %u %d\n", divideSigned(argc * 1000), divideUnsigned(argc * 999u),
           divideByAny(1000, argc));
    return 0;
}
