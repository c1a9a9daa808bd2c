// c_src_146: a four-operation calculator. The operator is the very first character of the
// input; two integers follow. Impossible divisions print nothing, an operand that cannot be
// read counts as 0, and an operand past 32 bits is taken as the nearest 32-bit value.
#include <climits>
#include <cstdio>

// Reads one integer as "%d" would, but clamps a number past the 32-bit range to its end.
static int readInt(void)
{
    long long value = 0;
    if (scanf("%lld", &value) != 1) {
        return 0;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return (int)value;
}

int main(void)
{
    char op = 0;
    if (scanf("%c", &op) != 1) {
        return 0;
    }
    const int a = readInt();
    const int b = readInt();

    switch (op) {
    case '+':
        printf("+ : %d\n", (int)((unsigned)a + (unsigned)b));
        break;
    case '-':
        printf("- : %d\n", (int)((unsigned)a - (unsigned)b));
        break;
    case 'x':
        printf("* : %d\n", (int)((unsigned)a * (unsigned)b));
        break;
    case '/':
        if (b != 0 && !(a == INT_MIN && b == -1)) {
            printf("/ : %d\n", a / b);
        }
        break;
    default:
        break;
    }
    return 0;
}
