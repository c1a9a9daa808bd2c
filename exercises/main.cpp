// main_read_write: one program over three sources; main calls the program's own read and
// write, which replace the platform's functions of the same names in this program.
#include <stdio.h>

// Defined in read.cpp and write.cpp, with C linkage like the functions they replace.
extern "C" void read(int value);
extern "C" void write(void);

int main(void)
{
    puts("main function called");
    read(20);
    write();
    return 0;
}
