// A static function kept out of line and placed in a section of its own (.text.helpers),
// called from main: the call crosses from .text to another section.
#include <stdio.h>

static int helper(int value) __attribute__((noinline, section(".text.helpers")));

static int helper(int value)
{
    printf("helping with %d\n", value);
    return value * 3 + 1;
}

int main(int argc, char **argv)
{
    (void)argv;
    int result = helper(argc);
    result += helper(result);
    printf("%d\n", result);
    return 0;
}
