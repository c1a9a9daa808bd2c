/* main_read_write: main calls the program's own read and write. */
#include <stdio.h>

void read(int n);
void write(void);

int main(void)
{
    puts("main function called");
    read(20);
    write();
    return 0;
}
