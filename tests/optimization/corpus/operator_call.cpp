// A struct Adder with operator(): an object called like a function, and its operator
// used through a reference so that it stays a call of its own at -O0.
#include <stdio.h>

struct Adder {
    int amount;
    int operator()(int value) const
    {
        return value + amount;
    }
};

int useTwice(const Adder &add, int value)
{
    return add(add(value));
}

int main(int argc, char **argv)
{
    (void)argv;
    Adder addFive{5};
    printf("%d %d\n", addFive(argc), useTwice(addFive, argc));
    return 0;
}
