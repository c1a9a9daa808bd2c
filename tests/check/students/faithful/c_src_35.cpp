// c_src_35: a division result inside a Korean sentence.
#include <cstdio>

int main(void)
{
    printf("%d을 %d로 나누면 %lf입니다\n", 1, 2, 0.5);
    return 0;
}
