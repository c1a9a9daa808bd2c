// A broken libminmax for the tests: it has max but no min. Its max says so when called,
// so a test can tell that the loader stopped the program before any call was made.
#include <stdio.h>

extern "C" int max(int a, int b)
{
    fputs("max was called\n", stderr);
    return a > b ? a : b;
}
