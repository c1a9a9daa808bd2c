// Nested loops: a multiplication table filled row by row, then summed with a loop
// inside a loop inside a loop, so each level has its own loop head.
#include <stdio.h>

int table[10][10];

int main(void)
{
    for (int row = 0; row < 10; row++) {
        for (int col = 0; col < 10; col++) {
            table[row][col] = row * col;
        }
    }
    long sum = 0;
    for (int round = 0; round < 3; round++) {
        for (int row = 0; row < 10; row++) {
            for (int col = 0; col <= row; col++) {
                sum += table[row][col] + round;
            }
        }
    }
    printf("%ld\n", sum);
    return 0;
}
