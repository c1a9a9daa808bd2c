// c_src_161: a do-while loop prints 1 to 10.
#include <cstdio>

int main(void)
{
    int i = 0;
    do {
        printf("%d\n", i + 1);
        i++;
    } while (i <= 9);
    return 0;
}
