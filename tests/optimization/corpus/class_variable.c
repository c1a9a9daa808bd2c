/* C, not C++: a variable named class and one named new, words that are keywords in
   C++, so this file compiles only as C. */
#include <stdio.h>

int class = 4;
int new[3] = {1, 2, 3};

int roomFor(int students)
{
    int rooms = students / class;
    return rooms + new[students % 3];
}

int main(void)
{
    printf("%d\n", roomFor(30));
    return 0;
}
