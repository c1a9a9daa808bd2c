// c_src_159: a counting loop tested before each pass prints 1 to 10; then an endless
// loop prints "?" lines until the program is stopped from outside (e.g. Ctrl-C).
#include <stdio.h>

int main(void)
{
    int count = 0;

    while (count < 10) {
        printf("%d\n", count + 1);
        count++;
    }
    while (1) {
        printf("?\n");
    }
}
