/* Reads one line typed at the terminal into a fixed-size buffer.
 * A long line keeps what fits and the rest of it is skipped, so the next read starts on the next
 * line. */
#ifndef LABS_LINE_INPUT_H
#define LABS_LINE_INPUT_H

#include <stdio.h>

/* Stores at most size - 1 characters of the next input line in buffer and always
 * terminates it. The line break is read but not stored; characters past what fits
 * are read and dropped up to and including the line break. At end of input with
 * nothing read, buffer holds the empty text. */
static inline void readLine(char *buffer, int size)
{
    int kept = 0;
    int c;
    while ((c = getchar()) != EOF && c != '\n') {
        if (kept < size - 1) {
            buffer[kept++] = (char)c;
        }
    }
    buffer[kept] = '\0';
}

#endif
