// c_src_76: reads an age and a height, answers in a Korean sentence, then reads a name.
// "%s" takes one word: a name typed as two words keeps only the first.
#include <errno.h>
#include <limits.h>
#include <math.h>
#include <stdio.h>

// Reads "%d%lf": the age, then the height. An age too large or too small for an int, or
// a height too large for a double, counts as unreadable and leaves its variable as it
// was: "%d" would wrap the age around and the height would become infinity. The age goes
// into a long long first (digits beyond even that range give LLONG_MAX or LLONG_MIN);
// the C library sets errno to ERANGE when the height overflows.
void readAgeAndHeight(int *age, double *height)
{
    long long typedAge;
    if (scanf("%lld", &typedAge) != 1) {
        return;
    }
    if (typedAge >= INT_MIN && typedAge <= INT_MAX) {
        *age = (int)typedAge;
    }
    double typedHeight = 0.0;
    errno = 0;
    const int heightRead = scanf("%lf", &typedHeight);
    const bool overflowed = errno == ERANGE && fabs(typedHeight) == HUGE_VAL;
    if (heightRead == 1 && !overflowed) {
        *height = typedHeight;
    }
}

int main(void)
{
    int age = 0;         // 0 when no age could be read
    double height = 0.0; // 0.0 when no height could be read
    char name[80] = "";  // empty when no name could be read

    printf("나이와 키를 입력하세요 : ");
    readAgeAndHeight(&age, &height);
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
