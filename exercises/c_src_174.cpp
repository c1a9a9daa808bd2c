// c_src_174: continue skips the rest of one pass; the counter is incremented before the
// print, so 1 never shows, 5 is skipped and 11 is the last line.
#include <stdio.h>

int main(void)
{
    int count = 1;

    while (count <= 10) {
        count++;
        if (count == 5) {
            continue;
        }
        printf("%d\n", count);
    }
    return 0;
}
