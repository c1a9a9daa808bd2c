// Mistake: the program ends with status 0 after its result line, where it must end with 1.
#include <cstdio>
#include <cstdlib>

int main(void)
{
    long count = 1;
    char *block = (char *)malloc(1 << 20);
    for (;;) {
        char *bigger = (char *)realloc(block, (size_t)count << 20);
        if (bigger == NULL) {
            printf("할당가능한 동적메모리 영역 - %ld 메가\n", count - 1);
            return 0;
        }
        block = bigger;
        count++;
    }
}
