// Starting a program and ending it: every process the tools and the tests start goes through
// here. A process gets a process group of its own (or a session, on a terminal), so that a
// stop reaches wrappers and whatever they started, and SIGPIPE at its default action,
// whatever the starter does with it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace process
{

using Clock = std::chrono::steady_clock;

// The two ends of a pipe, both closed on exec; throws when none can be made.
struct Pipe {
    int read = -1;
    int write = -1;
};
Pipe makePipe();

// Closes fd when it is open and marks it closed (-1).
void closeFd(int &fd);

// Opens path (closed on exec) for a started process to get: flags as for open(2), a file
// created with mode 0644. Throws with the path and the reason when it cannot be opened.
int openFile(const std::string &path, int flags);

// The words of a command line written as one string, split at blanks (none has a blank).
std::vector<std::string> words(const std::string &text);

// The whole of a file, such as the output a process left in it ("" when it cannot be read).
std::string readFile(const std::string &path);

// Writes all of text to fd (trying again while a non-blocking one is full); false when it
// cannot be written.
bool writeAll(int fd, const std::string &text);

// What to start, and with what.
struct Command {
    std::vector<std::string> argv; // argv[0] is a path, or a name looked up in PATH
    std::vector<std::string> env;  // over the current environment: "NAME=value" sets, "NAME" unsets
    std::string workingDir;        // empty: ours
    std::vector<std::pair<int, int>> fds; // {its descriptor, ours}: anything not named is inherited
    bool holdStopSignals = false;         // SIGINT, SIGTERM, SIGQUIT and SIGHUP blocked (a sandbox
                                  // that passes them on and reports how the program took them)
    bool session = false; // a session of its own, whose controlling terminal is the
                          // terminal it gets as descriptor 0
    bool ownGroup = true; // false: it stays in our group, so that a Ctrl-C at the
                          // terminal reaches it too, and stop() reaches it alone
};

// How a process ended.
struct Ending {
    int wstatus = 0;       // as waitpid() tells it
    bool timedOut = false; // killed because its time ran out
    int status() const;    // the exit status when it exited, else -1
    int signal() const;    // the signal that ended it, else 0
};

// A started process, ended (its whole group killed) and reaped at the latest when this goes.
class Process
{
  public:
    // Starts command; throws std::runtime_error ("cannot start NAME: why") when it cannot.
    explicit Process(const Command &command,
                     std::chrono::milliseconds limit = std::chrono::hours(24 * 365));
    ~Process();
    Process(Process &&other) noexcept;
    Process &operator=(Process &&other) noexcept;
    Process(const Process &) = delete;

    pid_t id() const
    {
        return pid;
    }
    Clock::time_point deadline() const
    {
        return until;
    }
    // Sends sig to its whole group (once it has ended: to what it left in the group).
    void stop(int sig) const;
    // Its ending once it has ended, without waiting; at its deadline its group is killed first.
    std::optional<Ending> ended();
    // Waits for it to end until by at the latest; at its deadline its group is killed.
    std::optional<Ending> waitUntil(Clock::time_point by);
    // Waits for it to end; at its deadline its group is killed.
    Ending wait()
    {
        return *waitUntil(Clock::time_point::max());
    }

  private:
    pid_t pid = -1;
    Clock::time_point until;
    bool group = true;
    std::optional<Ending> ending;
};

} // namespace process
