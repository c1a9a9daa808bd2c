// c_src_64: prints a 20-byte name buffer as a string, then every one of its bytes,
// including the six zero bytes after the 14-character name.
#include <stdio.h>

int main(void)
{
    char name[20] = "Yo Dalmun Heek";
    int pos;

    printf("My Name is %s\n", name);
    for (pos = 0; pos < 20; pos++) {
        printf("test %d : %c(%d)\n", pos, name[pos], name[pos]);
    }
    return 0;
}
