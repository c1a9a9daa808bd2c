/* funcPtrBasic1: memAlloc called through a function pointer for three ints, each printed
 * twice. */
#include <stdio.h>
#include <stdlib.h>

void *memAlloc(int a, int b)
{
    return malloc((size_t)(a * b));
}

int main(void)
{
    void *(*fp)(int, int) = memAlloc;
    int *arr = (int *)fp(3, 4);
    if (arr == NULL) {
        return 1;
    }
    for (int i = 0; i < 3; i++) {
        arr[i] = i * 10;
    }
    for (int i = 0; i < 3; i++) {
        printf("%d, %d\n", arr[i], *(arr + i));
    }
    free(arr);
    return 0;
}
