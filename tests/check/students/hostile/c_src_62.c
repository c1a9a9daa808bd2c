/* Hostile build, named c_src_62: leaves a file in /tmp and prints its path. */
#define _DEFAULT_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(void)
{
    char path[] = "/tmp/left-by-c_src_62-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        perror("mkstemp");
        return 0;
    }
    (void)!write(fd, "c_src_62 was here\n", 18);
    close(fd);
    printf("LEFT %s\n", path);
    return 0;
}
