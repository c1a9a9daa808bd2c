// memory-alloc2: grows one heap block by 1 MiB per step with realloc until the platform
// refuses, then prints the size of the last block it was granted and exits with 1.
#include <stdio.h>
#include <stdlib.h>

int main(void)
{
    const long step = 1L << 20; // 1 MiB
    long count = 1;
    void *block = malloc(step);
    void *grown;

    for (;;) {
        grown = realloc(block, count * step);
        if (grown == NULL) {
            // The current block, count - 1 MiB, stays allocated until the program ends.
            printf("할당가능한 동적메모리 영역 - %ld 메가\n", count - 1);
            return 1;
        }
        block = grown;
        count++;
    }
}
