// c_src_39: one integer printed in octal, in lower-case hexadecimal and in
// upper-case hexadecimal.
#include <stdio.h>

int main(void)
{
    printf("%o\n", 12);
    printf("%x\n", 12);
    printf("%X\n", 12);
    return 0;
}
