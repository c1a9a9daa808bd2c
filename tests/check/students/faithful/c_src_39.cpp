// c_src_39: 12 in octal and in lower- and upper-case hexadecimal.
#include <cstdio>

int main(void)
{
    printf("%o\n", 12);
    printf("%x\n", 12);
    printf("%X\n", 12);
    return 0;
}
