// A lambda kept in a variable and called in a loop, plus one passed to a function
// template: each lambda is a function of its own, named after main.
#include <stdio.h>

template <typename F> int applyAll(F f, int n)
{
    int total = 0;
    for (int k = 0; k < n; k++) {
        total += f(k);
    }
    return total;
}

int main(int argc, char **argv)
{
    (void)argv;
    int offset = argc;
    auto square = [offset](int v) { return v * v + offset; };
    for (int k = 0; k < 3; k++) {
        printf("%d\n", square(k));
    }
    printf("%d\n", applyAll([](int v) { return v * 3; }, argc + 4));
    return 0;
}
