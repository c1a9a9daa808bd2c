// Several early returns that all run the same cleanup call: the compiler places the
// cleanup once and jumps back to it from later checks, a backward jump that is no loop.
#include <stdio.h>

static int opened;

void closeAll(void)
{
    opened = 0;
    puts("closed");
}

int check(int a, int b, int c)
{
    opened = 1;
    if (a < 0) {
        closeAll();
        return -1;
    }
    puts("a is fine");
    if (b < 0) {
        closeAll();
        return -2;
    }
    puts("b is fine");
    if (c < 0) {
        closeAll();
        return -3;
    }
    puts("c is fine");
    closeAll();
    return a + b + c;
}

int main(int argc, char **argv)
{
    (void)argv;
    printf("%d\n", check(argc, argc - 2, argc - 3));
    return 0;
}
