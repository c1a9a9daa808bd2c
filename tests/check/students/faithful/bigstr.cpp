// bigstr: joins typed lines, each followed by a blank, into a 10-byte text, and prints it
// at the stop word "..." or at a line that would not fit. At the end of the input the text
// is dropped and nothing more is printed; a last line without a line break counts whole.
#include <cstdio>
#include <cstring>

int main(void)
{
    char text[10] = "";
    char line[80];
    const int limit = 10;

    for (;;) {
        puts("문자열을 입력하세요.");
        puts("추가를 멈추고 싶다면, \"...\"을 입력하세요.");
        if (fgets(line, sizeof line, stdin) == NULL) {
            return 0;
        }
        size_t len = strlen(line);
        const bool whole = len > 0 && line[len - 1] == '\n';
        const size_t counted = whole ? len : len + 1; // the blank that will follow
        if (strlen(text) + counted >= (size_t)limit) {
            break;
        }
        if (strcmp(line, "...\n") == 0) {
            break;
        }
        if (whole) {
            line[len - 1] = '\0';
        }
        strcat(text, line);
        strcat(text, " ");
    }
    puts(text);
    return 0;
}
