/* optionTest1: three globals and three locals; the locals are printed once, after lv3 is
 * assigned. */
#include <stdio.h>

int gv1 = 10, gv2 = 20;
int gv3;

int main(void)
{
    int lv1 = 1, lv2 = 2, lv3;

    puts("Main Start..");
    lv3 = 1000;
    printf("lv1:%d, lv2:%d, lv3:%d\n", lv1, lv2, lv3);
    puts("Main End...");
    return 0;
}
