// Loading and unloading a module inside the lab's VM, and what /proc says of it: shared by
// the guest's programs.
#pragma once

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

// 0 when the module at path loaded, else the error.
inline int loadModule(const char *path)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const long result = syscall(SYS_finit_module, fd, "", 0);
    const int error = result == 0 ? 0 : errno;
    close(fd);
    return error;
}

// 0 when the module unloaded, else the error (EWOULDBLOCK while a file of it is open).
inline int unloadModule(const char *name)
{
    return syscall(SYS_delete_module, name, O_NONBLOCK) == 0 ? 0 : errno;
}

inline std::string readFile(const char *path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool moduleListed(const std::string &name)
{
    std::istringstream modules(readFile("/proc/modules"));
    std::string line;
    while (std::getline(modules, line)) {
        if (line.rfind(name + " ", 0) == 0) {
            return true;
        }
    }
    return false;
}

// The major number listed for "QB" in /proc/devices, if any.
inline std::optional<int> listedMajor()
{
    std::istringstream devices(readFile("/proc/devices"));
    int major = 0;
    std::string name;
    std::string line;
    while (std::getline(devices, line)) {
        std::istringstream fields(line);
        if (fields >> major >> name && name == "QB") {
            return major;
        }
    }
    return std::nullopt;
}
