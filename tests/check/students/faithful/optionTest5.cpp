// optionTest5: log(2) fixed when the program is built.
#include <cstdio>

int main(void)
{
    double rst = 0.6931471805599453; // ln 2
    printf("rst:%.2f\n", rst);
    return 0;
}
