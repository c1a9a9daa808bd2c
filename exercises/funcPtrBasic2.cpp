// funcPtrBasic2: picks an operation through a function that returns a function pointer.
// Selection 1 adds 10 and 5; every other number subtracts 5 from 10.
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

int add(int first, int second)
{
    return first + second;
}

int sub(int first, int second)
{
    return first - second;
}

// fp_op takes the selection and returns a pointer to a function of two ints giving an int.
int (*fp_op(int selection))(int, int)
{
    if (selection == 1) {
        return add;
    }
    return sub;
}

int main(void)
{
    int first = 10;
    int second = 5;
    int selection = 0;

    printf("Select(1:add, 2:sub) => ");
    if (!readInt(&selection)) {
        selection = 0; // no number that fits an int: 0, which subtracts
    }

    int (*operation)(int, int) = fp_op(selection);
    printf("rst => %d\n", operation(first, second));
    return 0;
}
