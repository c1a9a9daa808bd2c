// c_src_146: a four-operation calculator: an operator character, then two integers.
// The operator must be the very first character; "x" multiplies, and "*" is not an operator.
#include <limits.h>
#include <stdio.h>

// Sum, difference and product wrap around in two's complement when they overflow.
// Unsigned arithmetic wraps by definition; converting back gives the 32-bit result.
int wrappedSum(int first, int second)
{
    return (int)((unsigned int)first + (unsigned int)second);
}

int wrappedDifference(int first, int second)
{
    return (int)((unsigned int)first - (unsigned int)second);
}

int wrappedProduct(int first, int second)
{
    return (int)((unsigned int)first * (unsigned int)second);
}

int main(void)
{
    char op;
    int first;
    int second;

    // "%c" skips nothing: a blank in front of the operator is taken as the operator.
    if (scanf("%c", &op) != 1) {
        fprintf(stderr, "c_src_146: no operator to read\n");
        return 1;
    }
    int operandsRead = scanf("%d %d", &first, &second);

    // Any other character, "*" included, has nothing to compute and prints nothing.
    if (op != '+' && op != '-' && op != 'x' && op != '/') {
        return 0;
    }
    if (operandsRead != 2) {
        fprintf(stderr, "c_src_146: two integers must follow the operator\n");
        return 1;
    }

    switch (op) {
    case '+':
        printf("+ : %d\n", wrappedSum(first, second));
        break;
    case '-':
        printf("- : %d\n", wrappedDifference(first, second));
        break;
    case 'x':
        printf("* : %d\n", wrappedProduct(first, second));
        break;
    case '/':
        // The two divisions that have no 32-bit result are refused.
        if (second == 0) {
            fprintf(stderr, "c_src_146: division by zero\n");
            return 1;
        }
        if (first == INT_MIN && second == -1) {
            fprintf(stderr, "c_src_146: the quotient %d / -1 does not fit in 32 bits\n", INT_MIN);
            return 1;
        }
        printf("/ : %d\n", first / second);
        break;
    }
    return 0;
}
