// labs-sandbox-run STATUS_FD -- PROGRAM [ARGUMENTS]: the first process inside ./labs check's
// sandbox. It starts PROGRAM (as the user nobody when the sandbox was made by root), waits for
// it, and writes how it ended ("exited N" or "signal N") to STATUS_FD, which PROGRAM does not
// get: the sandbox's own exit status cannot tell a signal from an exit status above 128.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// The signals a test sends to stop what it runs: the runner outlives them to report.
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP};

[[noreturn]] void startProgram(char **argv, int statusFd)
{
    close(statusFd);
    for (const int sig : stopSignals) {
        std::signal(sig, SIG_DFL);
    }
    if (geteuid() == 0) {
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
            setresuid(nobody, nobody, nobody) != 0) {
            std::fprintf(stderr, "labs-sandbox-run: cannot become nobody: %s\n",
                         std::strerror(errno));
            _exit(127);
        }
    }
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    execvp(argv[0], argv);
    std::fprintf(stderr, "labs-sandbox-run: cannot start %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4 || std::string(argv[2]) != "--") {
        std::fprintf(stderr, "usage: labs-sandbox-run STATUS_FD -- PROGRAM [ARGUMENTS]\n");
        return 127;
    }
    const int statusFd = std::atoi(argv[1]);
    for (const int sig : stopSignals) {
        std::signal(sig, SIG_IGN);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    const pid_t pid = fork();
    if (pid < 0) {
        std::fprintf(stderr, "labs-sandbox-run: fork: %s\n", std::strerror(errno));
        return 127;
    }
    if (pid == 0) {
        startProgram(argv + 3, statusFd);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const std::string ending = WIFSIGNALED(status)
                                   ? "signal " + std::to_string(WTERMSIG(status)) + "\n"
                                   : "exited " + std::to_string(WEXITSTATUS(status)) + "\n";
    if (statusFd >= 0) {
        (void)!write(statusFd, ending.data(), ending.size());
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}
