/* Hostile build, named ex04-2: never opens ./myfifo and sleeps for ten minutes, so a
 * writer waiting for a reader waits in vain. */
#include <unistd.h>

int main(void)
{
    sleep(600);
    return 0;
}
