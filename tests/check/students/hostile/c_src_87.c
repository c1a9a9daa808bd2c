/* Hostile build, named c_src_87: starts 150 children that sleep for a minute, and itself
 * prints its lines and exits normally at once, leaving them behind. */
#define _DEFAULT_SOURCE
#include <stdio.h>
#include <sys/types.h>
#include <unistd.h>

int main(void)
{
    for (int i = 0; i < 150; i++) {
        pid_t pid = fork();
        if (pid == 0) {
            sleep(60);
            _exit(0);
        }
        if (pid < 0) {
            perror("fork");
            break;
        }
    }
    printf("%d, %d\n", 10 / 3, 10 % 3);
    printf("%lf, %d\n", 10.0 / 3, 10 % 3);
    printf("%lf, %d\n", (double)(10 / 3), 10 % 3);
    return 0;
}
