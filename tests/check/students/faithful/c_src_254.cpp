// c_src_254: swap exchanges two ints of its caller through their addresses.
#include <cstdio>

void swap(int *a, int *b)
{
    int t = *a;
    *a = *b;
    *b = t;
}

int main(void)
{
    int x = 20, y = 30;
    printf("x : %d, y : %d\n", x, y);
    swap(&x, &y);
    printf("x : %d, y : %d\n", x, y);
    return 0;
}
