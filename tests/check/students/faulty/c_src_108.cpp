// Mistake: the result line has no line break at its end.
#include <cstdio>

int main(void)
{
    int a = 10, b = 20;
    printf("max value : %d", a > b ? a : b);
    return 0;
}
