// Two overloads of twice, one for int and one for double: two functions with one name
// in the source and two different symbols in the object.
#include <stdio.h>

int twice(int value)
{
    return value * 2;
}

double twice(double value)
{
    return value * 2.0;
}

int main(int argc, char **argv)
{
    (void)argv;
    printf("%d %f\n", twice(argc), twice(argc + 0.5));
    return 0;
}
