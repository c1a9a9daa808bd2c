// typist: runs a command on a pseudo-terminal and types its standard input at it one line
// at a time, each once the command waits for it, so that a transcript shows every answer
// right after the prompt that asked for it, as a person at the terminal sees it.
//   typist COMMAND [ARG...] < input
// The transcript (the command's output with the typed lines echoed) goes to standard output;
// the exit status is the command's (128 + the signal, when a signal ended it).
#include <cerrno>
#include <dirent.h>
#include <fstream>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace
{

const char endOfInput = 4; // what Ctrl-D types: end of input at the start of a line

// A terminal that echoes and hands over whole lines, and changes no byte on the way.
termios plainTerminal()
{
    termios settings{};
    settings.c_cflag = CS8 | CREAD;
    settings.c_lflag = ICANON | ECHO;
    settings.c_cc[VEOF] = endOfInput;
    settings.c_cc[VMIN] = 1;
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    return settings;
}

enum class Drained { quiet, closed };

// Copies what the terminal shows to standard output until nothing more comes for
// quietMs milliseconds, or the command's side of the terminal is closed.
Drained drain(int terminal, int quietMs)
{
    char buffer[4096];
    for (;;) {
        pollfd watch = {terminal, POLLIN, 0};
        const int ready = poll(&watch, 1, quietMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            return Drained::quiet;
        }
        const ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n <= 0) {
            return Drained::closed; // EIO: every process has closed its end
        }
        fwrite(buffer, 1, static_cast<size_t>(n), stdout);
        fflush(stdout);
    }
}

// Whether a process of the terminal's foreground group sits in a read of its standard
// input, that input being the terminal (a pipeline's later members read a pipe there): then
// everything it wrote before has reached the terminal, and it waits for us. Unknown (false)
// where the system does not show what a process is doing.
bool waitingForInput(int terminal)
{
    const char *terminalName = ptsname(terminal);
    const pid_t group = tcgetpgrp(terminal);
    DIR *processes = opendir("/proc");
    if (group <= 0 || processes == nullptr) {
        if (processes != nullptr) {
            closedir(processes);
        }
        return false;
    }
    bool waiting = false;
    while (const dirent *entry = readdir(processes)) {
        const std::string pid = entry->d_name;
        if (waiting || pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream statFile("/proc/" + pid + "/stat");
        std::string stat;
        std::getline(statFile, stat);
        const size_t nameEnd = stat.rfind(')'); // the name may hold blanks and brackets
        if (nameEnd == std::string::npos) {
            continue;
        }
        char state = 0;
        long parent = 0, processGroup = 0;
        if (std::sscanf(stat.c_str() + nameEnd + 1, " %c %ld %ld", &state, &parent,
                        &processGroup) != 3 ||
            processGroup != group) {
            continue;
        }
        std::ifstream syscallFile("/proc/" + pid + "/syscall");
        std::string call;
        std::getline(syscallFile, call);
        char input[64] = {};
        const std::string inputLink = "/proc/" + pid + "/fd/0";
        waiting = call.starts_with("0 0x0 ") && // read(0, ...)
                  terminalName != nullptr &&
                  readlink(inputLink.c_str(), input, sizeof input - 1) > 0 &&
                  std::string(input) == terminalName;
    }
    closedir(processes);
    return waiting;
}

// Shows what the command writes until it waits for input (or, where that cannot be told,
// until it has been quiet for quietMs), or until it is gone.
Drained untilWaiting(int terminal, int quietMs)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (drain(terminal, 5) == Drained::closed) {
            return Drained::closed;
        }
        const auto waited = std::chrono::steady_clock::now() - start;
        if (waitingForInput(terminal) || waited > std::chrono::milliseconds(quietMs * 50)) {
            return Drained::quiet;
        }
        if (drain(terminal, quietMs) == Drained::closed) {
            return Drained::closed;
        }
        if (!std::ifstream("/proc/self/syscall")) {
            return Drained::quiet; // no way to tell: quiet is the best guess
        }
    }
}

void type(int terminal, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(terminal, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) {
            return;
        }
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: typist COMMAND [ARG...] < input\n");
        return 2;
    }
    const std::string input{std::istreambuf_iterator<char>(std::cin),
                            std::istreambuf_iterator<char>()};
    const char *quiet = std::getenv("TYPIST_QUIET_MS");
    const int quietMs = quiet != nullptr ? std::atoi(quiet) : 40;

    termios settings = plainTerminal();
    winsize size{};
    size.ws_row = 40;
    size.ws_col = 120;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, &settings, &size);
    if (pid < 0) {
        std::perror("typist: forkpty");
        return 2;
    }
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        std::perror(argv[1]);
        _exit(127);
    }

    // One line at a time, each when the command waits for it.
    bool closed = false;
    size_t start = 0;
    while (start < input.size() && !closed) {
        closed = untilWaiting(terminal, quietMs) == Drained::closed;
        const size_t end = input.find('\n', start);
        if (end == std::string::npos) {
            // A last line without a line break reaches the command through Ctrl-D.
            type(terminal, input.substr(start) + endOfInput);
            start = input.size();
        } else {
            type(terminal, input.substr(start, end + 1 - start));
            start = end + 1;
        }
    }
    // Then the end of input, typed again while the command keeps reading (a terminal,
    // unlike a pipe, ends the input only for the read that meets Ctrl-D).
    for (int tries = 0; !closed && tries < 50; ++tries) {
        closed = untilWaiting(terminal, quietMs) == Drained::closed;
        if (!closed) {
            type(terminal, std::string(1, endOfInput));
        }
    }
    if (!closed) {
        kill(pid, SIGTERM);
        drain(terminal, quietMs);
    }
    close(terminal);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
