// optionTest6: three locals initialised in one order and printed in another.
#include <cstdio>

int main(void)
{
    int lv3 = 30;
    int lv1 = 10;
    int lv2 = 20;
    printf("lv1:%d,lv2:%d,lv3:%d\n", lv1, lv2, lv3);
    puts("Main End...");
    return 0;
}
