// memory-alloc2: grows one heap block by 1 MiB per realloc until refused, prints the last
// size granted and exits with status 1.
#include <cstdio>
#include <cstdlib>

int main(void)
{
    long count = 1;
    void *block = malloc(1 << 20);
    for (;;) {
        void *bigger = realloc(block, (size_t)count << 20);
        if (bigger == NULL) {
            printf("할당가능한 동적메모리 영역 - %ld 메가\n", count - 1);
            return 1;
        }
        block = bigger;
        count++;
    }
}
