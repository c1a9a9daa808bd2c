// funcPtrBasic1: calls an allocation function through a function pointer, then fills
// the heap block as three ints and prints each element twice.
#include <stdio.h>
#include <stdlib.h>

// A heap block of count * size bytes; the product is formed as an int.
void *memAlloc(int count, int size)
{
    int bytes = count * size;
    return malloc(bytes);
}

int main(void)
{
    void *(*allocate)(int, int) = memAlloc;
    int *numbers = (int *)allocate(3, 4);
    int i;

    if (numbers == NULL) {
        fprintf(stderr, "funcPtrBasic1: cannot allocate 12 bytes\n");
        return 1;
    }
    for (i = 0; i < 3; i++) {
        numbers[i] = i * 10;
    }
    for (i = 0; i < 3; i++) {
        printf("%d, %d\n", numbers[i], *(numbers + i));
    }
    free(numbers);
    return 0;
}
