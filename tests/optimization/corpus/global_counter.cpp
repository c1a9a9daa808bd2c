// A global read and written in a loop: global_var++ a hundred times, one load and one
// store per round at -O0 and a single add of 100 at -O2.
#include <stdio.h>

int global_var;

void count(void)
{
    for (int k = 0; k < 100; k++) {
        global_var++;
    }
}

int main(void)
{
    count();
    printf("%d\n", global_var);
    return 0;
}
