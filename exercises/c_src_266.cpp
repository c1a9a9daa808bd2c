// c_src_266: walks an array of five doubles with a pointer that moves one element
// per step; every value is followed by a tab, the last one too.
#include <stdio.h>

int main(void)
{
    double values[5] = {1.2, 2.3, 3.4, 4.5, 5.6};
    double *ptr = values;
    int i;

    for (i = 0; i < 5; i++) {
        printf("%.1lf\t", *ptr);
        ptr++;
    }
    printf("\n");
    return 0;
}
