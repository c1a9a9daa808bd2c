// c_src_58: 33000 narrowed into a short, then the codes 0 to 127 as numbers and raw bytes.
#include <cstdio>

int main(void)
{
    int intNum = 33000;
    short sint;
    printf("intNum = %d\n", intNum);
    sint = (short)intNum;
    printf("sint = %d\n", sint);
    for (int i = 0; i <= 127; i++) {
        printf("test %d : %c\n", i, i);
    }
    return 0;
}
