// A global array indexed with a number known only at run time, a[k] in a loop: the
// array's address is loaded into a register and the elements are reached through it.
#include <stdio.h>

int values[16];
int weights[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

int weighted(int n)
{
    int total = 0;
    for (int k = 0; k < n; k++) {
        total += values[k] * weights[k];
    }
    return total;
}

int main(int argc, char **argv)
{
    (void)argv;
    for (int k = 0; k < 16; k++) {
        values[k] = k + argc;
    }
    printf("%d\n", weighted(argc + 10));
    return 0;
}
