// c_src_295: turns a capital letter into its small letter by adding 32, the distance
// between 'A' and 'a' in ASCII.
#include <stdio.h>

int main(void)
{
    char capital = 'G';
    char small = capital;

    if (capital >= 'A' && capital <= 'Z') {
        small = capital + 32;
    }
    printf("Capital : %c\n", capital);
    printf("Small : %c\n", small);
    return 0;
}
