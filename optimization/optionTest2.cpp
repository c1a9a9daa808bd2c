// optionTest2: two initialised locals, printed once.
// Without optimisation each lives in its own stack slot; with it they become constants.
#include <stdio.h>

int main(void)
{
    int lv1 = 1;
    int lv2 = 20;

    printf("lv1:%d, lv2:%d\n", lv1, lv2);
    return 0;
}
