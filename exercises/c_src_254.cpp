// c_src_254: swaps two ints in the caller by passing their addresses to swap,
// which exchanges the values through a temporary.
#include <stdio.h>

void swap(int *first, int *second)
{
    int temp = *first;
    *first = *second;
    *second = temp;
}

int main(void)
{
    int x = 20;
    int y = 30;

    printf("x : %d, y : %d\n", x, y);
    swap(&x, &y);
    printf("x : %d, y : %d\n", x, y);
    return 0;
}
