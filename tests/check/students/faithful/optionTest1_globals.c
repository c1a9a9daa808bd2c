/* optionTest1_globals: three globals and three locals; lv3 is printed before it is
 * assigned (whatever its stack slot holds) and after. */
#include <stdio.h>

int gv1 = 10, gv2 = 20;
int gv3;

#pragma GCC diagnostic ignored "-Wuninitialized"
int main(void)
{
    int lv1 = 1, lv2 = 2, lv3;

    puts("Main Start..");
    printf("gv1:%d, gv2:%d, gv3:%d\n", gv1, gv2, gv3);
    printf("lv1:%d, lv2:%d, lv3:%d\n", lv1, lv2, lv3);
    lv3 = 1000;
    printf("lv1:%d, lv2:%d, lv3:%d\n", lv1, lv2, lv3);
    puts("Main End...");
    return 0;
}
