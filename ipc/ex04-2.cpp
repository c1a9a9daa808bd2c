// ex04-2: copies everything that arrives on the named pipe ./myfifo to standard output.
// Each chunk that one read returns is shown behind "namedpipe2> "; only open, read, write, close.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

// Writes every one of the size bytes to standard output. A write may take only part of
// the bytes, or be interrupted by a signal, so it is repeated for the rest. When a write
// fails, the output is lost: that is reported and the program ends with status 1.
static void writeAll(const char *data, size_t size)
{
    while (size > 0) {
        ssize_t written = write(1, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            perror("write");
            exit(1);
        }
        data += written;
        size -= (size_t)written;
    }
}

int main(void)
{
    // Without O_NONBLOCK the open waits until some process opens the pipe for writing.
    int fd = open("./myfifo", O_RDONLY);
    if (fd == -1) {
        perror("open");
        return 1;
    }

    char buffer[1024];
    char prefixed[12 + sizeof buffer]; // "namedpipe2> " and one chunk, written together
    for (;;) {
        // At most 1023 bytes, so one byte always stays free for the terminator.
        int length = (int)read(fd, buffer, sizeof buffer - 1);
        if (length == -1) {
            perror("read");
            return 1;
        }
        if (length == 0) {
            break; // every writer has closed the pipe
        }
        buffer[length] = '\0';
        // The prefix and the chunk leave in one write: the same bytes as writing them one
        // after the other, in half the calls (the copy spends its time in them), and
        // whoever reads our output never sees a prefix without its chunk.
        memcpy(prefixed, "namedpipe2> ", 12);
        memcpy(prefixed + 12, buffer, (size_t)length);
        writeAll(prefixed, 12 + (size_t)length);
    }

    writeAll("\n", 1);
    close(fd);
    return 0;
}
