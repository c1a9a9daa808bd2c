// c_src_35: a floating-point division result printed inside a Korean sentence
// together with the two integers it came from.
#include <stdio.h>

int main(void)
{
    printf("%d을 %d로 나누면 %lf입니다\n", 1, 2, (double)1 / 2);
    return 0;
}
