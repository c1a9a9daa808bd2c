/* Bit masks and shifts in C: flags set, cleared and tested with and, or and not, and
   a rotate written with two shifts. */
#include <stdio.h>

unsigned flags;

unsigned rotateLeft(unsigned value, int by)
{
    return (value << by) | (value >> (32 - by));
}

void setFlags(unsigned set, unsigned clear)
{
    flags = (flags | set) & ~clear;
}

int main(int argc, char **argv)
{
    (void)argv;
    setFlags(0xf0u, 0x30u);
    printf("%x %x %u\n", flags, rotateLeft(0x12345678u, argc + 3), flags & 0x80u);
    return 0;
}
