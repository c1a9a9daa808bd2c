// write: the program's own global write, taking the place of the platform's write in
// main_read_write; it prints the same line twice.
#include <stdio.h>

extern "C" void write(void)
{
    puts("write function called");
    puts("write function called");
}
