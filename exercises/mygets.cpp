// mygets: reads one line through its own bounded reader and prints it back.
// The reader's first output shows that an array parameter is only a pointer.
#include <stdio.h>

// Stores one line of standard input in buffer, at most limit - 1 characters and always
// a terminator. The line break is read but not stored; a longer line is cut and the
// character that no longer fits is dropped. End of input ends the line too.
void mygets(char *buffer, int limit)
{
    // buffer is a pointer here, whatever the size of the caller's array: this prints 8.
    printf("%ld\n", (long)sizeof(buffer));
    if (limit <= 0) {
        return; // no room even for the terminator
    }

    int position = 0;
    for (;;) {
        int c = getchar();
        if (c == EOF) {
            break;
        }
        if (position >= limit - 1) {
            break; // only the terminator fits now
        }
        if (c == '\n') {
            break;
        }
        buffer[position] = (char)c;
        position = position + 1;
    }
    buffer[position] = '\0';
}

int main(void)
{
    char buffer[80];
    mygets(buffer, 80);
    printf("%s\n", buffer);
    return 0;
}
