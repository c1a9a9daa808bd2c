// globalVarOpt: a global counter incremented in a loop of 100 calls; prints nothing.
int global_var;

int f2(void)
{
    return 1;
}

void f1(void)
{
    for (int i = 0; i <= 99; i++) {
        if (f2()) {
            global_var++;
        }
    }
}

int main(void)
{
    f1();
    return 0;
}
