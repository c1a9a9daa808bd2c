/* A constant table of strings and a table of function pointers in C: data that points
   at other data and at functions, and a loop that walks both. */
#include <stdio.h>

static const char *const colours[] = {"red", "green", "blue", "yellow"};

static int small(int v)
{
    return v < 10;
}

static int even(int v)
{
    return v % 2 == 0;
}

static int (*const tests[])(int) = {small, even};

int main(int argc, char **argv)
{
    (void)argv;
    for (int k = 0; k < 4; k++) {
        printf("%s %d %d\n", colours[k], tests[0](argc + k), tests[1](argc + k));
    }
    return 0;
}
