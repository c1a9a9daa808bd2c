// c_src_161: a loop tested after its body (do-while), so the body runs once before
// the first test; it prints 1 to 10.
#include <stdio.h>

int main(void)
{
    int count = 0;

    do {
        printf("%d\n", count + 1);
        count++;
    } while (count <= 9);
    return 0;
}
