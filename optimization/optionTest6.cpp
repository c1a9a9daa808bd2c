// optionTest6: three locals initialised in one order and printed in another.
// The order of the declarations does not decide the order of the output.
#include <stdio.h>

int main(void)
{
    int lv3 = 30;
    int lv1 = 10;
    int lv2 = 20;

    printf("lv1:%d,lv2:%d,lv3:%d\n", lv1, lv2, lv3);
    puts("Main End...");
    return 0;
}
