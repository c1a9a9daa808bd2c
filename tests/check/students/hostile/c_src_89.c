/* Hostile build, named c_src_89: kills its parent process, then every process it may signal
 * (kill(-1, SIGKILL)). */
#define _DEFAULT_SOURCE
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

int main(void)
{
    printf("killing parent %d\n", (int)getppid());
    fflush(stdout);
    kill(getppid(), SIGKILL);
    kill(-1, SIGKILL);
    puts("still here");
    return 0;
}
