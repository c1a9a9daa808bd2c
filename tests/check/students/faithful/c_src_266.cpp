// c_src_266: walks five doubles with an incremented pointer.
#include <cstdio>

int main(void)
{
    double arr[5] = {1.2, 2.3, 3.4, 4.5, 5.6};
    double *p = arr;
    for (int i = 0; i < 5; i++) {
        printf("%.1lf\t", *p);
        p++;
    }
    printf("\n");
    return 0;
}
