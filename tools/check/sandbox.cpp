// Builds bubblewrap's command line for a sandbox; see sandbox.h.
#include "sandbox.h"
#include "process.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace sandbox
{
namespace
{

namespace fs = std::filesystem;

// The folders above path, outermost first ("/a/b/c" gives "/a", "/a/b").
std::vector<std::string> parents(const std::string &path)
{
    std::vector<std::string> result;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        result.push_back(path.substr(0, slash));
    }
    return result;
}

} // namespace

std::vector<std::string> command(const Sandbox &sandbox)
{
    const bool root = geteuid() == 0;
    std::vector<std::string> words = {"bwrap", "--die-with-parent"};
    if (root) {
        // No user namespace: inside one made by root, files would still be opened with
        // root's rights. The runner drops to nobody instead.
        for (const char *space : {"--unshare-pid", "--unshare-net", "--unshare-ipc",
                                  "--unshare-uts", "--unshare-cgroup-try"}) {
            words.emplace_back(space);
        }
    } else {
        words.emplace_back("--unshare-all");
    }
    // The system's programs and libraries (Debian keeps them all under /usr), and the few
    // files of /etc that programs and the C library read.
    words.insert(words.end(), {"--ro-bind", "/usr", "/usr"});
    for (const char *link : {"bin", "sbin", "lib", "lib32", "lib64", "libx32"}) {
        const std::string top = std::string("/") + link;
        if (fs::is_symlink(top)) {
            words.insert(words.end(), {"--symlink", fs::read_symlink(top).string(), top});
        } else if (fs::is_directory(top)) {
            words.insert(words.end(), {"--ro-bind", top, top});
        }
    }
    words.insert(words.end(), {"--perms", "0755", "--dir", "/etc"});
    for (const char *file : {"/etc/ld.so.cache", "/etc/ld.so.conf", "/etc/passwd", "/etc/group",
                             "/etc/localtime", "/etc/alternatives"}) {
        words.insert(words.end(), {"--ro-bind-try", file, file});
    }
    words.insert(words.end(), {"--proc", "/proc", "--dev", "/dev", "--perms", "1777", "--size",
                               std::to_string(sandbox.tmpBytes), "--tmpfs", "/tmp"});
    std::vector<std::pair<std::string, const char *>> all;
    for (const std::string &path : sandbox.readable) {
        all.emplace_back(path, "--ro-bind");
    }
    if (!sandbox.runner.empty()) {
        all.emplace_back(sandbox.runner, "--ro-bind");
    }
    for (const std::string &path : sandbox.writable) {
        all.emplace_back(path, "--bind");
    }
    // Outer paths first, so that a path inside another one is placed over it.
    std::stable_sort(all.begin(), all.end(), [](const auto &a, const auto &b) {
        return std::count(a.first.begin(), a.first.end(), '/') <
               std::count(b.first.begin(), b.first.end(), '/');
    });
    // Each named path at its own place, with the folders above it made (readable by all)
    // in the sandbox's own root first.
    std::set<std::string> made = {"/etc", "/tmp", "/usr", "/proc", "/dev"};
    for (const auto &[path, how] : all) {
        const std::string absolute = fs::absolute(path).lexically_normal().string();
        for (const std::string &parent : parents(absolute)) {
            if (made.insert(parent).second) {
                words.insert(words.end(), {"--perms", "0755", "--dir", parent});
            }
        }
        made.insert(absolute);
        words.insert(words.end(), {how, absolute, absolute});
    }
    words.insert(words.end(),
                 {"--chdir", sandbox.workingDir.empty() ? "/" : sandbox.workingDir, "--"});
    if (!sandbox.runner.empty()) {
        words.push_back(sandbox.runner);
        words.push_back(std::to_string(sandbox.statusFd));
        words.emplace_back("--");
    }
    return words;
}

bool available(std::string &why)
{
    std::vector<std::string> words = command(Sandbox{});
    words.emplace_back("/bin/true");
    process::Command trial;
    trial.argv = words;
    int null = process::openFile("/dev/null", O_WRONLY);
    trial.fds = {{1, null}, {2, null}};
    process::Ending ending;
    try {
        ending = process::Process(trial).wait();
    } catch (const std::runtime_error &) {
        ending.wstatus = W_EXITCODE(127, 0); // no bubblewrap to start
    }
    process::closeFd(null);
    if (ending.status() == 0) {
        return true;
    }
    why = ending.status() == 127
              ? "bubblewrap (bwrap) is not installed: install the Debian package bubblewrap "
                "(tools/setup does)"
              : "bubblewrap (bwrap) cannot make a sandbox on this machine (are user "
                "namespaces turned off?)";
    return false;
}

Ending readEnding(int fd)
{
    std::string text;
    char buffer[64];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    int value = 0;
    if (std::sscanf(text.c_str(), "exited %d", &value) == 1) {
        return {1, value};
    }
    if (std::sscanf(text.c_str(), "signal %d", &value) == 1) {
        return {0, value};
    }
    return {};
}

} // namespace sandbox
