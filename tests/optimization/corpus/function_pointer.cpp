// Calls through a function pointer chosen at run time, and a table of function
// pointers: calls through a register, and functions whose address is taken.
#include <stdio.h>

int add(int p, int q)
{
    return p + q;
}

int subtract(int p, int q)
{
    return p - q;
}

int multiply(int p, int q)
{
    return p * q;
}

int (*const operations[])(int, int) = {add, subtract, multiply};

int apply(int (*op)(int, int), int p, int q)
{
    return op(p, q);
}

int main(int argc, char **argv)
{
    (void)argv;
    int (*chosen)(int, int) = argc > 1 ? subtract : add;
    printf("%d\n", apply(chosen, 7, 3));
    for (int k = 0; k < 3; k++) {
        printf("%d\n", operations[k](argc + 6, 2));
    }
    return 0;
}
