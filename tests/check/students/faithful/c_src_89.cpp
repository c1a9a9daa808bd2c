// c_src_89: prefix against postfix increment inside an expression.
#include <cstdio>

int main(void)
{
    int a = 5, b = 5;
    int pre = (++a) * 3;
    int post = (b++) * 3;
    printf("Inital value : a = %d, b = %d\n", a, b);
    printf("Prefix : (++a) * 3 = %d, Postfix : (b++) * 3 = %d\n", pre, post);
    return 0;
}
