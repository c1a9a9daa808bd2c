// c_src_174: a counting loop that skips 5 with continue; the increment comes first.
#include <cstdio>

int main(void)
{
    int i = 1;
    while (i <= 10) {
        i++;
        if (i == 5) {
            continue;
        }
        printf("%d\n", i);
    }
    return 0;
}
