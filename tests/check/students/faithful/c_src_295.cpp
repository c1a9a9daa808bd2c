// c_src_295: upper to lower case by adding 32 to the code.
#include <cstdio>

int main(void)
{
    char capital = 'G';
    char small = capital;
    if (capital >= 'A' && capital <= 'Z') {
        small = (char)(capital + 32);
    }
    printf("Capital : %c\n", capital);
    printf("Small : %c\n", small);
    return 0;
}
