// c_src_310: reads integers until a 0 or something that is not an integer.
// Which of the two ended it shows in the message and in the exit status.
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

int main(void)
{
    int number;

    for (;;) {
        // Not a number, a number that does not fit an int, or end of input: bad input.
        if (!readInt(&number)) {
            printf("Incorrect Input\n");
            return 1;
        }
        if (number == 0) {
            printf("normal exit\n");
            return 0;
        }
    }
}
