// read: the program's own global read, taking the place of the platform's read in
// main_read_write; it only prints its argument.
#include <stdio.h>

extern "C" void read(int value)
{
    printf("read function called : %d\n", value);
    puts("read function end");
}
