// optionTest4: globals and locals that are set and never read.
#include <cstdio>

int gv1 = 10;
int gv2;

int main(void)
{
    [[maybe_unused]] int lv1 = 30;
    [[maybe_unused]] int lv2 = 10;
    puts("Main Start..");
    [[maybe_unused]] int lv3 = 10;
    puts("Main End...");
    return 0;
}
