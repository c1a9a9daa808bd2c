// optionTest7: two calls into the outside shared library libminmax (max and min).
// The loader finds libminmax.so by its ordinary search and binds both calls at start-up.
#include "minmax.h"

#include <stdio.h>

int main(void)
{
    int first = 5;
    int second = 3;

    printf("MAX : %d\n", max(first, second));
    printf("MIN : %d\n", min(first, second));
    return 0;
}
