// The poll loop that feeds a program's standard input while it drains its output; see piped.h.
#include "piped.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace process
{

Piped runPiped(Command command, const PipedOptions &options)
{
    // A program that exits without reading all its input must not kill us.
    std::signal(SIGPIPE, SIG_IGN);
    Pipe in = makePipe(), out = makePipe(), err = makePipe();
    int file = -1; // with an output file, the pipe for standard output stays empty
    std::optional<Process> started;
    try {
        if (!options.outputFile.empty()) {
            file = openFile(options.outputFile, O_WRONLY | O_CREAT | O_TRUNC);
        }
        command.fds.insert(command.fds.begin(),
                           {{0, in.read}, {1, file >= 0 ? file : out.write}, {2, err.write}});
        started.emplace(command, options.timeout);
    } catch (...) {
        for (int *fd : {&in.read, &in.write, &out.read, &out.write, &err.read, &err.write, &file}) {
            closeFd(*fd);
        }
        throw;
    }
    Process &process = *started;
    for (int *fd : {&in.read, &out.write, &err.write, &file}) {
        closeFd(*fd);
    }

    // Feeding input must never block: a program busy writing output would wait for us.
    fcntl(in.write, F_SETFL, fcntl(in.write, F_GETFL) | O_NONBLOCK);
    Piped result;
    std::size_t written = 0;
    if (options.input.empty()) {
        closeFd(in.write);
    }
    char buffer[65536];
    bool late = false;
    while (out.read >= 0 || err.read >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(process.deadline() -
                                                                                Clock::now());
        if (left.count() <= 0) {
            late = true;
            process.stop(SIGKILL);
            break;
        }
        pollfd fds[3] = {{in.write, POLLOUT, 0}, {out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
        if (poll(fds, 3, static_cast<int>(std::min<long long>(left.count(), 1000))) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[0].revents != 0) {
            const ssize_t n = ::write(in.write, options.input.data() + written,
                                      std::min<std::size_t>(options.input.size() - written, 65536));
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            const bool full = n < 0 && (errno == EAGAIN || errno == EINTR);
            if ((n < 0 && !full) || written == options.input.size()) {
                closeFd(in.write);
            }
        }
        for (int i = 1; i <= 2; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            int &fd = i == 1 ? out.read : err.read;
            std::string &sink = i == 1 ? result.out : result.err;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                sink.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                closeFd(fd);
            }
        }
        const bool enough =
            options.stopAfterOutput > 0 && result.out.size() >= options.stopAfterOutput;
        const bool runaway = result.out.size() + result.err.size() > options.outputLimit;
        if ((enough || runaway) && !result.stopped) {
            result.stopped = true;
            process.stop(enough ? options.stopSignal : SIGKILL);
        }
    }
    closeFd(in.write);
    closeFd(out.read);
    closeFd(err.read);
    // Output is closed; the program may still be running (or ignoring the stop).
    result.ending = process.wait();
    result.ending.timedOut = result.ending.timedOut || late;
    return result;
}

} // namespace process
