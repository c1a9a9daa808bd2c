// bigstr: joins the lines typed at the terminal into one short text of at most 9 characters.
// Each accepted line is followed by a blank; "..." or a line that would not fit ends it.
#include <stdio.h>
#include <string.h>

int main(void)
{
    char text[10] = {0};  // the joined text, empty at start
    const int limit = 10; // the size of text: text, blanks and terminator must fit
    char line[80];

    for (;;) {
        printf("문자열을 입력하세요.\n");
        printf("추가를 멈추고 싶다면, \"...\"을 입력하세요.\n");

        // End of input ends the joining like the stop word does.
        if (fgets(line, sizeof line, stdin) == NULL) {
            break;
        }
        // A last line that ends without a line break is treated like any other line:
        // its line break is added, so it is measured, compared and joined the same way.
        // (A line with no break that filled the buffer is far too long to fit anyway.)
        size_t length = strlen(line);
        if (length + 1 < sizeof line && (length == 0 || line[length - 1] != '\n')) {
            line[length] = '\n';
            line[length + 1] = '\0';
            length = length + 1;
        }

        // Fit test: the line's newline counts for the blank that will follow it.
        if (strlen(text) + length >= (size_t)limit) {
            break;
        }
        // Stop word.
        if (strcmp(line, "...\n") == 0) {
            break;
        }
        line[length - 1] = '\0'; // drop the newline
        strcat(text, line);
        strcat(text, " ");
    }

    printf("%s\n", text);
    return 0;
}
