// A global struct and an array of structs: fields reached at an offset inside the
// variable, and elements of the array found through a register and an index.
#include <stdio.h>

struct Point {
    int x;
    int y;
    long weight;
};

Point origin = {1, 2, 3};
Point path[5];

long walk(int steps)
{
    long total = 0;
    for (int k = 0; k < steps; k++) {
        path[k].x = origin.x + k;
        path[k].y = origin.y * k;
        total += path[k].x + path[k].y + origin.weight;
    }
    return total;
}

int main(int argc, char **argv)
{
    (void)argv;
    printf("%ld\n", walk(argc + 3));
    return 0;
}
