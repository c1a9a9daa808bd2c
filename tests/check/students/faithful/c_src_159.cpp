// c_src_159: counts 1 to 10 with a while loop, then prints "?" lines without end.
#include <cstdio>

int main(void)
{
    int i = 0;
    while (i < 10) {
        printf("%d\n", i + 1);
        i++;
    }
    while (1) {
        printf("?\n");
    }
}
