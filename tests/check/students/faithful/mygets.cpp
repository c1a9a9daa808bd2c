// mygets: reads one line with a reader of its own and prints it back. A line of 80 or more
// characters fills the whole buffer, which is then printed as its 80 characters; a line cut
// off by the end of input is dropped and an empty line printed.
#include <cstdio>

void mygets(char *buf, int limit)
{
    printf("%ld\n", sizeof(buf)); // buf is a pointer here: 8
    int pos = 0;
    for (;;) {
        int c = getchar();
        if (c == EOF) {
            buf[0] = '\0'; // no whole line: nothing to give back
            return;
        }
        if (pos >= limit) {
            return;
        }
        if (c == '\n') {
            buf[pos] = '\0';
            return;
        }
        buf[pos] = (char)c;
        pos++;
    }
}

int main(void)
{
    char line[80];
    mygets(line, 80);
    printf("%.80s\n", line); // a full buffer has no terminator
    return 0;
}
