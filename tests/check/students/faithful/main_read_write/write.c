/* The program's own write: prints its line twice. */
#include <stdio.h>

void write(void)
{
    puts("write function called");
    puts("write function called");
}
