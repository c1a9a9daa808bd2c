// Mistake: chunks of up to 2047 bytes are read, not 1023.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int main(void)
{
    char buf[2048];
    int fd = open("./myfifo", O_RDONLY);
    if (fd == -1) {
        perror("open");
        return 1;
    }
    int n;
    while ((n = (int)read(fd, buf, 2047)) > 0) {
        buf[n] = '\0';
        (void)!write(1, "namedpipe2> ", 12);
        (void)!write(1, buf, n);
    }
    if (n < 0) {
        perror("read");
        return 1;
    }
    (void)!write(1, "\n", 1);
    close(fd);
    return 0;
}
