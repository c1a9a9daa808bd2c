// Tail calls: greet's last act is a call to puts, and shout's last act is a call to greet,
// so at -O2 both calls become jumps; the earlier puts calls stay ordinary calls.
#include <stdio.h>

void greet(const char *name)
{
    puts("Hello,");
    puts(name);
    puts("Welcome to the lab.");
    puts("Goodbye.");
}

void shout(const char *name)
{
    puts("HEY!");
    greet(name);
}

int main(void)
{
    shout("student");
    greet("teacher");
    return 0;
}
