// Loops over int arrays that multiply and shift every element: at -O2 the compiler
// handles several elements per instruction with vector multiplies and shifts.
#include <stdio.h>

#define N 256

int prices[N];
int amounts[N];
int totals[N];

void fill(void)
{
    for (int k = 0; k < N; k++) {
        prices[k] = k * 7 + 3;
        amounts[k] = k % 5;
    }
}

void multiplyAll(void)
{
    for (int k = 0; k < N; k++) {
        totals[k] = (prices[k] * amounts[k] >> 2) + (prices[k] << 3);
    }
}

int main(void)
{
    fill();
    multiplyAll();
    int sum = 0;
    for (int k = 0; k < N; k++) {
        sum += totals[k];
    }
    printf("%d\n", sum);
    return 0;
}
