// Stand-in libminmax: the greater and the smaller of two ints.
// optionTest7 finds it through the loader's ordinary search (LD_LIBRARY_PATH here).
#include "minmax.h"

int max(int a, int b)
{
    return a > b ? a : b;
}

int min(int a, int b)
{
    return a < b ? a : b;
}
