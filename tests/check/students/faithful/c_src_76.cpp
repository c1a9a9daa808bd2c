// c_src_76: an age and a height, a Korean sentence, then a name. The name buffer holds 79
// characters; a longer word is cut there. Values that cannot be read stay 0.
#include <cstdio>

int main(void)
{
    int age = 0;
    double height = 0.0;
    char name[80] = "";

    printf("나이와 키를 입력하세요 : ");
    if (scanf("%d%lf", &age, &height) != 2) {
        // whatever was read stays; the rest is 0
    }
    printf("나이는 %d살, 키는 %.1lfcm입니다.\n", age, height);
    printf("name ? : ");
    if (scanf("%79s", name) != 1) {
        name[0] = '\0';
    }
    printf("name = %s, age = %d, height = %.1f\n", name, age, height);
    return 0;
}
