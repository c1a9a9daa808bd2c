// c_src_64: a 20-byte name buffer printed as a string and then byte by byte.
#include <cstdio>

int main(void)
{
    char name[20] = "Yo Dalmun Heek";
    printf("My Name is %s\n", name);
    for (int i = 0; i < 20; i++) {
        printf("test %d : %c(%d)\n", i, name[i], name[i]);
    }
    return 0;
}
