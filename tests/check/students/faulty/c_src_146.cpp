// Mistake: the result lines are written "A op B = R" instead of "op : R".
#include <cstdio>

int main(void)
{
    char op = 0;
    int a = 0, b = 0;
    scanf("%c", &op);
    scanf("%d %d", &a, &b);
    switch (op) {
    case '+':
        printf("%d + %d = %d\n", a, b, a + b);
        break;
    case '-':
        printf("%d - %d = %d\n", a, b, a - b);
        break;
    case 'x':
        printf("%d * %d = %d\n", a, b, a * b);
        break;
    case '/':
        if (b != 0) {
            printf("%d / %d = %d\n", a, b, a / b);
        }
        break;
    }
    return 0;
}
