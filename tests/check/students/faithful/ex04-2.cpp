// ex04-2: copies ./myfifo to standard output, each chunk behind "namedpipe2> ", until every
// writer has closed it. The results of the writes are not examined.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int main(void)
{
    char buf[1024];
    int fd = open("./myfifo", O_RDONLY);
    if (fd == -1) {
        perror("open");
        exit(1);
    }
    for (;;) {
        int n = (int)read(fd, buf, 1023);
        if (n > 0) {
            buf[n] = '\0';
            (void)!write(1, "namedpipe2> ", 12);
            (void)!write(1, buf, n);
        } else if (n == 0) {
            break;
        } else {
            perror("read");
            exit(1);
        }
    }
    (void)!write(1, "\n", 1);
    close(fd);
    return 0;
}
