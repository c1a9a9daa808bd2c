// optionTest2: two initialised locals.
#include <cstdio>

int main(void)
{
    int lv1 = 1, lv2 = 20;
    printf("lv1:%d, lv2:%d\n", lv1, lv2);
    return 0;
}
