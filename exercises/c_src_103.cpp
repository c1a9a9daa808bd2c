// c_src_103: prints the storage sizes in bytes of variables, a constant, an expression
// and the arithmetic types, as the size operator gives them.
#include <stdio.h>

int main(void)
{
    int intNum = 10;
    double doubleNum = 3.4;
    // Declared to show the types in use; the lines below measure the types themselves.
    [[maybe_unused]] long longNum = 10;
    [[maybe_unused]] long long longLongNum = 100;
    [[maybe_unused]] long double longDoubleNum = 1000.1;

    printf("int형 변수의 크기 : %d\n", (int)sizeof(intNum));
    printf("double형 변수의 크기 : %d\n", (int)sizeof(doubleNum));
    printf("정수형 상수의 크기: %d\n", (int)sizeof(10));
    // int plus double is computed as a double.
    printf("수식의 결과값의 크기: %d\n", (int)sizeof(intNum + doubleNum));
    printf("char 자료형의 크기 : %d\n", (int)sizeof(char));
    printf("long 자료형의 크기 : %d\n", (int)sizeof(long));
    printf("long long 자료형의 크기 : %d\n", (int)sizeof(long long));
    printf("long double 자료형의 크기 : %d\n", (int)sizeof(long double));
    return 0;
}
