// optionTest7: two calls into the shared library libminmax.
#include "minmax.h"

#include <cstdio>

int main(void)
{
    int a = 5, b = 3;
    printf("MAX : %d\n", max(a, b));
    printf("MIN : %d\n", min(a, b));
    return 0;
}
