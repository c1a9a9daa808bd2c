/* The program's own read: prints its argument. */
#include <stdio.h>

void read(int n)
{
    printf("read function called : %d\n", n);
    puts("read function end");
}
