// Starts processes with posix_spawn and waits for them; see process.h.
#include "process.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace process
{
namespace
{

[[noreturn]] void fail(const std::string &what, int error)
{
    throw std::runtime_error(what + ": " + std::strerror(error));
}

// The current environment with the command's entries set or removed.
std::vector<std::string> environment(const std::vector<std::string> &changes)
{
    std::vector<std::string> result;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        result.emplace_back(*entry);
    }
    for (const std::string &change : changes) {
        const std::size_t equals = change.find('=');
        const std::string key = change.substr(0, equals) + "=";
        std::erase_if(result, [&](const std::string &e) { return e.starts_with(key); });
        if (equals != std::string::npos) {
            result.push_back(change);
        }
    }
    return result;
}

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> result;
    for (std::string &s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

pid_t spawn(const Command &command)
{
    if (command.argv.empty()) {
        throw std::runtime_error("cannot start a process without a program");
    }
    // Each of our descriptors first goes above every descriptor the process gets, so that
    // placing one cannot overwrite another that is still to be placed.
    int highest = 2;
    for (const auto &[theirs, ours] : command.fds) {
        highest = std::max(highest, theirs);
    }
    std::vector<int> copies;
    for (const auto &[theirs, ours] : command.fds) {
        copies.push_back(fcntl(ours, F_DUPFD_CLOEXEC, highest + 1));
        if (copies.back() < 0) {
            const int error = errno;
            for (int &copy : copies) {
                closeFd(copy);
            }
            fail("cannot start " + command.argv[0], error);
        }
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        posix_spawn_file_actions_adddup2(&actions, copies[i], command.fds[i].first);
    }
    if (!command.workingDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, command.workingDir.c_str());
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // On a terminal, a session (which is a process group too) makes the terminal it opens
    // first its controlling one: descriptor 0 is opened again by name for that.
    short flags = POSIX_SPAWN_SETSIGDEF;
    if (command.session) {
        flags |= POSIX_SPAWN_SETSID;
    } else if (command.ownGroup) {
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    sigset_t defaults, mask;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    if (command.holdStopSignals) {
        flags |= POSIX_SPAWN_SETSIGMASK;
        pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        for (const int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
            sigaddset(&mask, sig);
        }
        posix_spawnattr_setsigmask(&attributes, &mask);
    }
    posix_spawnattr_setflags(&attributes, flags);
    posix_spawnattr_setpgroup(&attributes, 0);
    char terminal[128] = {};
    for (const auto &[theirs, ours] : command.fds) {
        if (command.session && theirs == 0 && ttyname_r(ours, terminal, sizeof terminal) == 0) {
            posix_spawn_file_actions_addopen(&actions, 0, terminal, O_RDWR, 0);
        }
    }
    std::vector<std::string> args = command.argv, env = environment(command.env);
    std::vector<char *> argv = pointers(args), envp = pointers(env);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (const int fd : copies) {
        close(fd);
    }
    if (error != 0) {
        fail("cannot start " + command.argv[0], error);
    }
    return pid;
}

} // namespace

Pipe makePipe()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        fail("pipe2", errno);
    }
    return {fds[0], fds[1]};
}

void closeFd(int &fd)
{
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

int openFile(const std::string &path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail(path, errno);
    }
    return fd;
}

std::vector<std::string> words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) {
        result.push_back(word);
    }
    return result;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool writeAll(int fd, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    return true;
}

int Ending::status() const
{
    return !timedOut && WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}

int Ending::signal() const
{
    return WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
}

Process::Process(const Command &command, std::chrono::milliseconds limit)
    : pid(spawn(command)), until(Clock::now() + limit), group(command.ownGroup || command.session)
{
}

Process::Process(Process &&other) noexcept
    : pid(std::exchange(other.pid, -1)), until(other.until), group(other.group),
      ending(other.ending)
{
}

Process &Process::operator=(Process &&other) noexcept
{
    // What this held is ended when other goes.
    std::swap(pid, other.pid);
    std::swap(until, other.until);
    std::swap(group, other.group);
    std::swap(ending, other.ending);
    return *this;
}

Process::~Process()
{
    if (pid > 0 && !ending) {
        stop(SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

void Process::stop(int sig) const
{
    kill(group ? -pid : pid, sig);
}

std::optional<Ending> Process::ended()
{
    if (ending || pid <= 0) {
        return ending;
    }
    int wstatus = 0;
    if (waitpid(pid, &wstatus, WNOHANG) == pid) {
        ending = Ending{wstatus, false};
    } else if (Clock::now() >= until) {
        stop(SIGKILL);
        while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
        }
        ending = Ending{wstatus, true};
    }
    return ending;
}

std::optional<Ending> Process::waitUntil(Clock::time_point by)
{
    // Its pidfd turns readable when it ends: poll() waits for that, or for by or the deadline,
    // whichever comes first. Where no pidfd can be had, it looks again every 10 ms.
    int fd = pid > 0 && !ending ? static_cast<int>(syscall(SYS_pidfd_open, pid, 0)) : -1;
    while (!ended() && Clock::now() < by) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(std::min(by, until) - Clock::now());
        pollfd watch = {fd, POLLIN, 0};
        poll(&watch, 1,
             fd < 0 ? 10 : static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX)));
    }
    closeFd(fd);
    return ending;
}

} // namespace process
