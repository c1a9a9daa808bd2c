/* A plain C program: functions without mangled names, a static helper and a global
   array walked with a pointer. */
#include <stdio.h>

int marks[6] = {55, 70, 81, 64, 90, 47};

static int passed(int mark)
{
    return mark >= 60;
}

int countPassed(const int *p, int n)
{
    int count = 0;
    for (const int *end = p + n; p != end; p++) {
        count += passed(*p);
    }
    return count;
}

int main(void)
{
    printf("%d passed\n", countPassed(marks, 6));
    return 0;
}
