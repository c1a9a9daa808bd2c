// A do-while loop that runs its body before testing: the digits of a number, counted
// and summed, with the test at the bottom of the loop.
#include <stdio.h>

int digitSum(unsigned number, int *count)
{
    int sum = 0;
    *count = 0;
    do {
        sum += number % 10;
        number /= 10;
        ++*count;
    } while (number != 0);
    return sum;
}

int main(void)
{
    int count;
    int sum = digitSum(9071234u, &count);
    printf("%d digits, sum %d\n", count, sum);
    return 0;
}
