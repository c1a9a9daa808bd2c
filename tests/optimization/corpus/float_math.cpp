// Floating-point multiply and divide on doubles: instructions of their own on x86, and
// calls into the C library's helpers on soft-float ARM.
#include <stdio.h>

double average(const double *values, int n)
{
    double sum = 0.0;
    for (int k = 0; k < n; k++) {
        sum += values[k] * 1.5;
    }
    return sum / n;
}

int main(void)
{
    double values[] = {1.0, 2.5, 4.0, 8.25};
    printf("%f\n", average(values, 4));
    return 0;
}
