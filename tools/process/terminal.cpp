// Pseudo-terminals and what /proc tells of a process reading one; see terminal.h.
#include "terminal.h"

#include "process.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace process
{
namespace
{

long completedReads(const std::string &proc)
{
    std::ifstream io(proc + "/io");
    for (std::string line; std::getline(io, line);) {
        if (line.starts_with("syscr: ")) {
            return std::stol(line.substr(7));
        }
    }
    return -1;
}

// The process group of the process whose /proc/PID/stat this is, or -1.
long groupOf(const std::string &proc)
{
    std::ifstream statFile(proc + "/stat");
    std::string stat;
    std::getline(statFile, stat);
    // The fields after the name, which may hold blanks and brackets: state, parent, group.
    std::istringstream fields(stat.substr(stat.rfind(')') + 1));
    char state = 0;
    long parent = 0, group = -1;
    return fields >> state >> parent >> group ? group : -1;
}

} // namespace

Terminal openTerminal(unsigned short rows, unsigned short columns)
{
    Terminal terminal;
    termios settings{};
    settings.c_cflag = CS8 | CREAD;
    settings.c_lflag = ICANON | ECHO;
    settings.c_cc[VEOF] = 4; // Ctrl-D
    settings.c_cc[VMIN] = 1;
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    winsize size{};
    size.ws_row = rows;
    size.ws_col = columns;
    if (openpty(&terminal.ours, &terminal.theirs, nullptr, &settings, rows > 0 ? &size : nullptr) !=
        0) {
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    }
    fcntl(terminal.ours, F_SETFD, FD_CLOEXEC);
    fcntl(terminal.theirs, F_SETFD, FD_CLOEXEC);
    return terminal;
}

ReadState readState(pid_t pid)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    ReadState state;
    state.completed = completedReads(proc);
    std::ifstream syscall(proc + "/syscall");
    std::string call;
    std::getline(syscall, call);
    state.waiting = state.completed >= 0 && call.starts_with("0 0x0 ") &&
                    completedReads(proc) == state.completed;
    return state;
}

bool waitingForInput(int terminal)
{
    char name[128] = {};
    const pid_t group = tcgetpgrp(terminal);
    DIR *processes =
        group > 0 && ptsname_r(terminal, name, sizeof name) == 0 ? opendir("/proc") : nullptr;
    if (processes == nullptr) {
        return false;
    }
    bool waiting = false;
    while (const dirent *entry = readdir(processes)) {
        const std::string pid = entry->d_name;
        if (waiting || pid.find_first_not_of("0123456789") != std::string::npos ||
            groupOf("/proc/" + pid) != group) {
            continue;
        }
        char input[128] = {};
        const std::string inputLink = "/proc/" + pid + "/fd/0";
        waiting = readState(std::stoi(pid)).waiting &&
                  readlink(inputLink.c_str(), input, sizeof input - 1) > 0 &&
                  std::string(input) == name;
    }
    closedir(processes);
    return waiting;
}

} // namespace process
