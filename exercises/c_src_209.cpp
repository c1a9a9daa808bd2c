// c_src_209: reads five integers into an array, one prompt each, and echoes them.
// The reads take numbers wherever they stand: all five may be typed on one line.
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
    int values[5];

    for (int i = 0; i < 5; i++) {
        printf("Enter value to array[%d] --> ", i);
        // Text that is not a number stays in the input, so the later reads fail too;
        // an element whose read failed holds 0. A number that does not fit an int is
        // read past and holds 0 as well.
        if (!readInt(&values[i])) {
            values[i] = 0;
        }
    }

    for (int i = 0; i < 5; i++) {
        printf("%d ", values[i]);
    }
    printf("\n");
    return 0;
}
