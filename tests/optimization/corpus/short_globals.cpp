// Globals with one-letter names in C++ (i, d, f and the arrays a, b, c) and an
// extern "C" function named x: short names that are not mangled and must stay names.
#include <stdio.h>

int i = 3;
double d = 1.5;
float f = 2.5f;
int a[4] = {1, 2, 3, 4};
int b[4];
char c[8] = "abc";

extern "C" int x(int k)
{
    return a[k & 3] + i;
}

int main(void)
{
    for (int k = 0; k < 4; k++) {
        b[k] = x(k) * 2;
    }
    d = d * f;
    printf("%d %d %f %s\n", b[0], b[3], d, c);
    return 0;
}
