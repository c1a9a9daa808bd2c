// The sandbox that ./labs check runs someone else's code in: bubblewrap with no network, its
// own process, IPC and host-name namespaces, a private /tmp, and only the named folders of
// this machine in view. Started as root, the code inside runs as the user nobody.
#pragma once

#include <string>
#include <vector>

namespace sandbox
{

struct Sandbox {
    std::vector<std::string> readable;         // folders and files seen read-only, at the same path
    std::vector<std::string> writable;         // folders seen read-write, at the same path
    std::string workingDir;                    // where the code starts ("" for /)
    std::string runner;                        // the labs-sandbox-run program (must be readable)
    int statusFd = -1;                         // where the runner tells how the code ended (or -1)
    unsigned long long tmpBytes = 64ull << 20; // the size of the private /tmp
};

// The words to put in front of a command to run it in the sandbox.
std::vector<std::string> command(const Sandbox &sandbox);

// Whether bubblewrap can make a sandbox here; when it cannot, why, in one line.
bool available(std::string &why);

// How a sandboxed command ended, as the runner wrote it to its status descriptor:
// {exited, value} with value the status or the signal. {-1, 0} when nothing was written
// (the sandbox itself was stopped).
struct Ending {
    int exited = -1; // 1: exited with value; 0: ended by signal value; -1: unknown
    int value = 0;
};
Ending readEnding(int fd);

} // namespace sandbox
