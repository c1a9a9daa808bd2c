// Mistake: fp_op returns a null pointer for a selection other than 1 or 2, which the main
// routine then calls: a selection of 0, 3 or -1 ends in SIGSEGV.
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
    if (sel == 2) {
        return sub;
    }
    return nullptr;
}

int main(void)
{
    int a = 10, b = 5, sel = 0;
    printf("Select(1:add, 2:sub) => ");
    scanf("%d", &sel);
    printf("rst => %d\n", fp_op(sel)(a, b));
    return 0;
}
