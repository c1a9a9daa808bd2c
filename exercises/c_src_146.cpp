// c_src_146: a four-operation calculator: an operator character, then two integers.
// The operator must be the very first character; "x" multiplies, and "*" is not an operator.
#include <limits.h>
#include <stdio.h>

// Reads one integer as "%d" does, but an integer too large or too small for an int counts
// as unreadable, where "%d" would quietly wrap it around. The digits go into a long long
// first; digits beyond even that range give LLONG_MAX or LLONG_MIN, outside int as well.
int readInt(int *number)
{
    long long wide;
    if (scanf("%lld", &wide) != 1 || wide < INT_MIN || wide > INT_MAX) {
        return 0;
    }
    *number = (int)wide;
    return 1;
}

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
    // Input that cannot be read is reported on standard error; the status stays 0.
    if (scanf("%c", &op) != 1) {
        fprintf(stderr, "c_src_146: no operator to read\n");
        return 0;
    }
    int operandsRead = readInt(&first) && readInt(&second);

    // Any other character, "*" included, has nothing to compute and prints nothing.
    if (op != '+' && op != '-' && op != 'x' && op != '/') {
        return 0;
    }
    if (!operandsRead) {
        fprintf(stderr, "c_src_146: two 32-bit integers must follow the operator\n");
        return 0;
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
