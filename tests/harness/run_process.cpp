// Process runner for black-box tests, over the tools' process library: pipes both ways
// (piped.h) or a pseudo-terminal typed at when the program asks (terminal.h), with the
// check's limits and sandbox for someone else's build (checked_build.h).
#include "run_process.h"
#include "checked_build.h"
#include "piped.h"
#include "terminal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace harness
{
namespace
{

// program with args, in the environment and folder the options give.
process::Command commandFor(const std::string &program, const std::vector<std::string> &args,
                            const RunOptions &options)
{
    process::Command command;
    command.argv = {program};
    command.argv.insert(command.argv.end(), args.begin(), args.end());
    command.env = options.env;
    command.workingDir = options.workingDir;
    return command;
}

void checkSanitizers(const std::string &program, const std::string &output)
{
    const bool reported = output.find("ERROR: AddressSanitizer") != std::string::npos ||
                          output.find("ERROR: LeakSanitizer") != std::string::npos ||
                          output.find("runtime error: ") != std::string::npos;
    if (reported) {
        ADD_FAILURE() << "sanitizer report from " << program << ":\n" << output;
    }
}

} // namespace

RunResult run(const std::string &program, const std::vector<std::string> &args,
              const RunOptions &options)
{
    RunOptions limited = options;
    CheckedRun check(program, limited);
    process::Command command = commandFor(program, args, limited);
    command.argv.insert(command.argv.begin(), limited.prefix.begin(), limited.prefix.end());
    check.wrap(command);
    process::Piped piped = process::runPiped(command, limited);
    RunResult result{
        .out = std::move(piped.out), .err = std::move(piped.err), .stopped = piped.stopped};
    check.finish(args, options.input, piped.ending, result);
    if (options.checkSanitizers) {
        checkSanitizers(program, result.err);
    }
    return result;
}

RunResult runWithInput(const std::string &program, const std::string &input)
{
    RunOptions options;
    options.input = input;
    return run(program, {}, options);
}

RunResult runTyped(const std::string &program, const std::vector<std::string> &args,
                   const std::vector<std::string> &answers, const RunOptions &options)
{
    RunOptions limited = options;
    CheckedRun check(program, limited);
    process::Terminal terminal = process::openTerminal();
    process::Command command = commandFor(program, args, limited);
    command.fds = {{0, terminal.theirs}, {1, terminal.theirs}, {2, terminal.theirs}};
    check.wrap(command);
    std::optional<process::Process> started;
    try {
        started.emplace(command, limited.timeout);
    } catch (...) {
        process::closeFd(terminal.ours);
        process::closeFd(terminal.theirs);
        throw;
    }
    process::Process &running = *started;
    process::closeFd(terminal.theirs);
    // In a sandbox the program is the last of a line of processes (the sandbox, the
    // runner); its reads are watched there.
    pid_t reader = check.sandboxed() ? -1 : running.id();
    fcntl(terminal.ours, F_SETFL, fcntl(terminal.ours, F_GETFL) | O_NONBLOCK);

    RunResult result;
    char buffer[4096];
    // Takes what the terminal shows; false once nothing can come any more.
    auto show = [&] {
        for (;;) {
            const ssize_t n = ::read(terminal.ours, buffer, sizeof buffer);
            if (n > 0) {
                result.out.append(buffer, static_cast<std::size_t>(n));
            } else {
                return n < 0 && (errno == EAGAIN || errno == EINTR);
            }
        }
    };
    std::size_t next = 0;
    long answered = -1; // reads completed when the last answer was typed
    std::optional<process::Ending> ending;
    for (;;) {
        show();
        if ((ending = running.ended())) {
            break;
        }
        if (reader < 0) {
            reader = lastDescendant(running.id());
        }
        const process::ReadState state =
            reader > 0 ? process::readState(reader) : process::ReadState{};
        const bool asking = state.waiting && state.completed != answered;
        if (asking && next == answers.size()) {
            result.stopped = true;
            running.stop(SIGKILL);
            ending = running.wait();
            break;
        }
        if (asking) {
            if (!process::writeAll(terminal.ours, answers[next++] + "\n")) {
                ADD_FAILURE() << "typing at the terminal: " << std::strerror(errno);
            }
            answered = state.completed;
        }
        pollfd watch = {terminal.ours, POLLIN, 0};
        poll(&watch, 1, 1);
    }
    // What the program wrote before it ended is still to be read; then the terminal is
    // closed on its side.
    while (show() && process::Clock::now() < running.deadline()) {
        pollfd watch = {terminal.ours, POLLIN, 0};
        poll(&watch, 1, 100);
    }
    process::closeFd(terminal.ours);
    check.finish(args, "", *ending, result);
    if (options.checkSanitizers) {
        checkSanitizers(program, result.out);
    }
    return result;
}

} // namespace harness
