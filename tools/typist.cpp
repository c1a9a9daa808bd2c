// typist: runs a command on a pseudo-terminal and types its standard input at it one line
// at a time, each once the command waits for it, so that a transcript shows every answer
// right after the prompt that asked for it, as a person at the terminal sees it.
//   typist COMMAND [ARG...] < input
// The transcript (the command's output with the typed lines echoed) goes to standard output;
// the exit status is the command's (128 + the signal, when a signal ended it).
#include "process.h"
#include "terminal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace
{

const char endOfInput = 4; // what Ctrl-D types: end of input at the start of a line

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
        if (process::waitingForInput(terminal) ||
            waited > std::chrono::milliseconds(quietMs * 50)) {
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

    // The command runs in a session of its own with the terminal as its controlling one,
    // as at a login: the terminal's foreground group is then the command's.
    process::Terminal pty;
    std::optional<process::Process> command;
    try {
        pty = process::openTerminal(40, 120);
        process::Command start;
        start.argv.assign(argv + 1, argv + argc);
        start.fds = {{0, pty.theirs}, {1, pty.theirs}, {2, pty.theirs}};
        start.session = true;
        command.emplace(start);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "typist: %s\n", error.what());
        return 127;
    }
    process::closeFd(pty.theirs);
    const int terminal = pty.ours;

    // One line at a time, each when the command waits for it; then the end of input, typed
    // again while the command keeps reading (a terminal, unlike a pipe, ends the input only
    // for the read that meets Ctrl-D).
    bool closed = false;
    size_t start = 0;
    for (int ends = 0; !closed && ends < 50;) {
        closed = untilWaiting(terminal, quietMs) == Drained::closed;
        if (start < input.size()) {
            const size_t end = std::min(input.find('\n', start), input.size() - 1) + 1;
            std::string line = input.substr(start, end - start);
            if (line.back() != '\n') {
                line += endOfInput; // a last line without a line break reaches it through Ctrl-D
            }
            process::writeAll(terminal, line);
            start = end;
        } else if (!closed) {
            process::writeAll(terminal, std::string(1, endOfInput));
            ++ends;
        }
    }
    if (!closed) {
        kill(command->id(), SIGTERM);
        drain(terminal, quietMs);
    }
    close(terminal);
    const process::Ending ending = command->wait();
    return ending.signal() != 0 ? 128 + ending.signal() : ending.status();
}
