// caseconv: copies standard input to standard output, swapping the case of every letter.
// Only A to Z and a to z change (the default locale); every other byte passes unchanged.
#include <ctype.h>
#include <stdio.h>

int main(void)
{
    int c; // an int, so that EOF stays apart from every byte value
    while ((c = getchar()) != EOF) {
        if (isupper(c)) {
            c = tolower(c);
        } else if (islower(c)) {
            c = toupper(c);
        }
        if (putchar(c) == EOF) {
            perror("write");
            return 1;
        }
    }
    // Output is buffered: the last of it is written here, and may fail here too.
    if (fflush(stdout) == EOF) {
        perror("write");
        return 1;
    }
    return 0;
}
