// c_src_89: prefix increment changes the variable before it is used in the expression,
// postfix increment after; both variables end at 6, the results differ.
#include <stdio.h>

int main(void)
{
    int a = 5;
    int b = 5;
    int prefixResult;
    int postfixResult;

    prefixResult = (++a) * 3;  // a becomes 6, then 6 * 3
    postfixResult = (b++) * 3; // 5 * 3, then b becomes 6

    printf("Inital value : a = %d, b = %d\n", a, b);
    printf("Prefix : (++a) * 3 = %d, Postfix : (b++) * 3 = %d\n", prefixResult, postfixResult);
    return 0;
}
