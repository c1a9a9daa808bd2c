/* caseconv: copies standard input to standard output, swapping the case of every letter,
 * until the input ends. */
#include <ctype.h>
#include <stdio.h>

int main(void)
{
    int c;
    while ((c = getchar()) != EOF) {
        if (isupper(c)) {
            putchar(tolower(c));
        } else if (islower(c)) {
            putchar(toupper(c));
        } else {
            putchar(c);
        }
    }
    return 0;
}
