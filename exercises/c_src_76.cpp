// c_src_76: reads an age and a height, answers in a Korean sentence, then reads a name.
// "%s" takes one word: a name typed as two words keeps only the first.
#include <stdio.h>

int main(void)
{
    int age = 0;         // 0 when no age could be read
    double height = 0.0; // 0.0 when no height could be read
    char name[80] = "";  // empty when no name could be read

    printf("나이와 키를 입력하세요 : ");
    scanf("%d%lf", &age, &height);
    printf("나이는 %d살, 키는 %.1lfcm입니다.\n", age, height);

    printf("name ? : ");
    // The width 79 leaves room for the terminator: a longer word keeps its first 79
    // characters instead of running past the end of name.
    if (scanf("%79s", name) != 1) {
        name[0] = '\0';
    }
    printf("name = %s, age = %d, height = %.1f\n", name, age, height);
    return 0;
}
