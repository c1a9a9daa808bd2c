// Runs the target's compiler with the same instruction-set flags as the project's own
// builds for that target (the toolchain files' flags, compiled in) and reads the result.
#include "compile.h"

#include "object.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

extern char **environ;

namespace explorer
{
namespace
{

struct Toolchain {
    std::string target, compiler, flags;
};

const std::vector<Toolchain> &toolchains()
{
    static const std::vector<Toolchain> all = {
        {"x86-64", "g++", ""},
        {"arm", LABS_ARM_COMPILER, LABS_ARM_FLAGS},
        {"i386", LABS_I386_COMPILER, LABS_I386_FLAGS},
    };
    return all;
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

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs args with standard output and error into logPath; returns the exit status.
int runLogged(const std::vector<std::string> &args, const std::string &logPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char *> argv;
    for (const std::string &arg : args) {
        argv.push_back(const_cast<char *>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw CompileError(args[0] + ": cannot run the compiler");
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The "optimized:" remarks of -fopt-info for the source itself, by line.
std::vector<Remark> readRemarks(const std::string &path, const std::string &sourcePath)
{
    static const std::regex remark(R"(^(.*):([0-9]+):([0-9]+): optimized: +(.*)$)");
    std::vector<Remark> remarks;
    std::istringstream in(readAll(path));
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, remark) && m[1] == sourcePath) {
            remarks.push_back({std::stoi(m[2]), std::stoi(m[3]), false, "", "", m[4]});
        }
    }
    return remarks;
}

} // namespace

const std::vector<std::string> &knownTargets()
{
    static const std::vector<std::string> names = {"x86-64", "arm", "i386"};
    return names;
}

void compileAndRead(const std::string &sourcePath, const std::string &target, Level &level,
                    const std::string &folder, const std::vector<std::string> &includeDirs)
{
    const Toolchain *toolchain = nullptr;
    for (const Toolchain &t : toolchains()) {
        if (t.target == target) {
            toolchain = &t;
        }
    }
    if (toolchain == nullptr) {
        throw std::runtime_error("unknown target '" + target + "' (x86-64, arm or i386)");
    }
    const std::string base = folder + "/" + target + level.name;
    const std::string object = base + ".o", remarks = base + ".remarks", log = base + ".log";
    // The call frame information goes to .debug_frame, which elfutils relocates in an
    // object file (it does not relocate .eh_frame); the instructions stay the same.
    std::vector<std::string> args = {toolchain->compiler, "-std=c++20", "-fno-exceptions",
                                     "-fno-asynchronous-unwind-tables"};
    for (const std::string &flag : words(toolchain->flags)) {
        args.push_back(flag);
    }
    for (const std::string &dir : includeDirs) {
        args.push_back("-I" + dir);
    }
    args.insert(args.end(), {"-g", level.name, "-fopt-info-optimized=" + remarks, "-c", sourcePath,
                             "-o", object});
    // The compiler adds its remarks to the end of an existing file: start from none.
    std::filesystem::remove(remarks);
    if (runLogged(args, log) != 0) {
        throw CompileError(readAll(log));
    }
    level.remarks = readRemarks(remarks, sourcePath);
    readObject(object, target, sourcePath, level);
}

} // namespace explorer
