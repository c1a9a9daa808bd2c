// Volatile globals: every read and write of them stays in the code at every level,
// even the ones whose values the compiler could otherwise have worked out.
#include <stdio.h>

volatile int status;
volatile int ticks;
int plain;

void spin(int rounds)
{
    for (int k = 0; k < rounds; k++) {
        ticks = ticks + 1;
        plain = plain + 1;
    }
    status = 1;
    status = 2;
}

int main(void)
{
    spin(5);
    printf("%d %d %d\n", status, ticks, plain);
    return 0;
}
