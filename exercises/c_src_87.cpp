// c_src_87: 10 divided by 3 as integers (truncated), as floating point, and as integers
// converted to double afterwards; each line also shows the remainder.
#include <stdio.h>

int main(void)
{
    printf("%d, %d\n", 10 / 3, 10 % 3);
    printf("%lf, %d\n", 10.0 / 3, 10 % 3);
    printf("%lf, %d\n", (double)(10 / 3), 10 % 3);
    return 0;
}
