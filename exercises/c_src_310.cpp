// c_src_310: reads integers until a 0 or something that is not an integer.
// Which of the two ended it shows in the message and in the exit status.
#include <stdio.h>

int main(void)
{
    int number;

    for (;;) {
        // scanf gives 1 when it read an integer; not a number or end of input gives less.
        if (scanf("%d", &number) != 1) {
            printf("Incorrect Input\n");
            return 1;
        }
        if (number == 0) {
            printf("normal exit\n");
            return 0;
        }
    }
}
