// Mistake: the "?" loop ends after 1000 lines and the program exits, where it must run
// until it is stopped from outside.
#include <cstdio>

int main(void)
{
    for (int i = 0; i < 10; i++) {
        printf("%d\n", i + 1);
    }
    for (int k = 0; k < 1000; k++) {
        printf("?\n");
    }
    return 0;
}
