// Mistake: the reader ignores its limit, so a long line comes back whole instead of cut.
#include <cstdio>

void mygets(char *buf, int limit)
{
    (void)limit;
    printf("%ld\n", sizeof(buf));
    int pos = 0;
    int c;
    while ((c = getchar()) != EOF && c != '\n' && pos < 4095) {
        buf[pos++] = (char)c;
    }
    buf[pos] = '\0';
}

int main(void)
{
    char line[4096];
    mygets(line, 80);
    printf("%s\n", line);
    return 0;
}
