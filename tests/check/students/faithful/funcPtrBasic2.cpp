// funcPtrBasic2: fp_op picks add for the selection 1 and sub for anything else; the chosen
// function is called with 10 and 5. A selection that cannot be read counts as 2.
#include <cstdio>

int add(int a, int b)
{
    return a + b;
}

int sub(int a, int b)
{
    return a - b;
}

int (*fp_op(int sel))(int, int)
{
    if (sel == 1) {
        return add;
    }
    return sub;
}

int main(void)
{
    int a = 10, b = 5;
    int sel = 2;
    printf("Select(1:add, 2:sub) => ");
    if (scanf("%d", &sel) != 1) {
        sel = 2;
    }
    int (*fp)(int, int) = fp_op(sel);
    printf("rst => %d\n", fp(a, b));
    return 0;
}
