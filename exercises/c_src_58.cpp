// c_src_58: an int of 33000 assigned to a 16-bit short keeps only its low 16 bits
// (-32536); then every code from 0 to 127 is printed as a number and as a raw byte.
#include <stdio.h>

int main(void)
{
    int intNum = 33000;
    short sint;
    int code;

    printf("intNum = %d\n", intNum);
    sint = intNum; // 33000 does not fit: 33000 - 65536 = -32536
    printf("sint = %d\n", sint);

    // Control codes go out as they are: NUL, line feed, carriage return, DEL.
    for (code = 0; code <= 127; code++) {
        printf("test %d : %c\n", code, code);
    }
    return 0;
}
