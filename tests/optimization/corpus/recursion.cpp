// Recursive functions: factorial calls itself once, fibonacci twice; at -O2 the
// compiler may turn part of the recursion into a loop.
#include <stdio.h>

unsigned long factorial(unsigned n)
{
    if (n <= 1) {
        return 1;
    }
    return n * factorial(n - 1);
}

int fibonacci(int n)
{
    if (n < 2) {
        return n;
    }
    return fibonacci(n - 1) + fibonacci(n - 2);
}

int main(int argc, char **argv)
{
    (void)argv;
    printf("%lu %d\n", factorial(argc + 9), fibonacci(argc + 19));
    return 0;
}
