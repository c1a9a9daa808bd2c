// c_src_209: reads five integers into an array, one prompt each, and echoes them.
// The reads take numbers wherever they stand: all five may be typed on one line.
#include <stdio.h>

int main(void)
{
    int values[5];

    for (int i = 0; i < 5; i++) {
        printf("Enter value to array[%d] --> ", i);
        // Text that is not a number stays in the input, so the later reads fail too;
        // an element whose read failed holds 0.
        if (scanf("%d", &values[i]) != 1) {
            values[i] = 0;
        }
    }

    for (int i = 0; i < 5; i++) {
        printf("%d ", values[i]);
    }
    printf("\n");
    return 0;
}
