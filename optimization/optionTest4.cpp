// optionTest4: globals and locals that are set and never read.
// Only the two lines are visible; what the variables cost depends on the build options.
#include <stdio.h>

int gv1 = 10;
int gv2;

int main(void)
{
    // Set and never read: the attribute tells the compiler that this is on purpose.
    [[maybe_unused]] int lv1 = 30;
    [[maybe_unused]] int lv2 = 10;
    [[maybe_unused]] int lv3;

    puts("Main Start..");
    lv3 = 10;
    puts("Main End...");
    return 0;
}
