// Static variables: a static local that keeps its value between calls and a static
// global, both visible to this file only and named as local symbols.
#include <stdio.h>

static int calls;

int nextId(void)
{
    static int lastId = 100;
    calls++;
    return ++lastId;
}

int main(void)
{
    for (int k = 0; k < 3; k++) {
        printf("%d\n", nextId());
    }
    printf("%d calls\n", calls);
    return 0;
}
