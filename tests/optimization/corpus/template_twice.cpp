// A function template instantiated twice, for int and for long: two symbols from one
// definition, each with its own demangled name.
#include <stdio.h>

template <typename T> T largest(const T *values, int n)
{
    T best = values[0];
    for (int k = 1; k < n; k++) {
        if (values[k] > best) {
            best = values[k];
        }
    }
    return best;
}

int ints[] = {3, 9, 2, 7};
long longs[] = {30L, 10L, 90L, 20L};

int main(void)
{
    printf("%d %ld\n", largest(ints, 4), largest(longs, 4));
    return 0;
}
