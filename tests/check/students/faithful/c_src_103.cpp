// c_src_103: storage sizes of variables, a constant, an expression and the arithmetic types.
#include <cstdio>

int main(void)
{
    int num = 10;
    double d = 3.4;
    long l = 10;
    long long ll = 100;
    long double ld = 1000.1;
    printf("int형 변수의 크기 : %d\n", (int)sizeof(num));
    printf("double형 변수의 크기 : %d\n", (int)sizeof(d));
    printf("정수형 상수의 크기: %d\n", (int)sizeof(10));
    printf("수식의 결과값의 크기: %d\n", (int)sizeof(num + d));
    printf("char 자료형의 크기 : %d\n", (int)sizeof(char));
    printf("long 자료형의 크기 : %d\n", (int)sizeof(long));
    printf("long long 자료형의 크기 : %d\n", (int)sizeof(long long));
    printf("long double 자료형의 크기 : %d\n", (int)sizeof(long double));
    (void)l;
    (void)ll;
    (void)ld;
    return 0;
}
