// The runner's part in ./labs check and in its census; see checked_build.h.
#include "checked_build.h"
#include "sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace harness
{
namespace
{

// The build ./labs check puts in place of one of ours: LABS_CHECK=KIND:NAME=PATH.
struct CheckedBuild {
    std::string kind, name, path;
};

std::optional<CheckedBuild> checkedBuild()
{
    const char *check = std::getenv("LABS_CHECK");
    if (check == nullptr) {
        return std::nullopt;
    }
    const std::string entry = check;
    const std::size_t colon = entry.find(':'), equals = entry.find('=');
    if (colon == std::string::npos || equals == std::string::npos || equals < colon) {
        return std::nullopt;
    }
    return CheckedBuild{entry.substr(0, colon), entry.substr(colon + 1, equals - colon - 1),
                        entry.substr(equals + 1)};
}

// What ./labs check reads besides the verdict, as properties of each case in the test
// program's report: "used" once the case ran (or loaded) the build under check, "ran" for
// its last run (arguments, standard input, how it ended), and "unsafe" for the first run
// that crashed, hung or flooded its output (the case that has reported one is kept here).
const ::testing::TestInfo *reportedUnsafe = nullptr;

std::string signalName(int sig)
{
    const char *abbreviation = sigabbrev_np(sig);
    return abbreviation != nullptr ? std::string("SIG") + abbreviation : std::to_string(sig);
}

void noteCheckedRun(const std::vector<std::string> &args, const std::string &input,
                    const RunResult &result, std::chrono::milliseconds timeout)
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test == nullptr) {
        return;
    }
    std::string text = "ran";
    for (const std::string &arg : args) {
        text += " " + arg;
    }
    std::string shown = visible(input.substr(0, 300));
    std::erase(shown, '\n'); // visible() breaks its lines after each "\n"; one line here
    text += " with standard input \"" + shown + (input.size() > 300 ? "...\"" : "\"") + "; it ";
    if (result.timedOut) {
        text += "did not end within " + std::to_string(timeout.count() / 1000) + " s";
    } else if (result.stopped && result.signal == SIGKILL) {
        text += "flooded its output and was stopped after " +
                std::to_string(result.out.size() + result.err.size()) + " bytes";
    } else if (result.signal != 0) {
        text += (result.stopped ? "was stopped by " : "was killed by ") + signalName(result.signal);
    } else {
        text += "exited with status " + std::to_string(result.status);
    }
    ::testing::Test::RecordProperty("used", "1");
    ::testing::Test::RecordProperty("ran", text);
    const bool crashed = result.signal != 0 && !result.stopped;
    if ((result.timedOut || crashed || (result.stopped && result.signal == SIGKILL)) &&
        reportedUnsafe != test) {
        reportedUnsafe = test;
        ::testing::Test::RecordProperty("unsafe", text);
    }
}

// With LABS_CENSUS=FOLDER, each case that names a deliverable is written down there
// ("PROGRAM<TAB>CASE<TAB>KIND<TAB>NAME" lines, a file per test process): the list that
// ./labs check's table of cases is held against.
void noteCensus(const std::string &kind, const std::string &name)
{
    const char *folder = std::getenv("LABS_CENSUS");
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (folder == nullptr || test == nullptr) {
        return;
    }
    static std::ofstream census = [&] {
        std::filesystem::create_directories(folder);
        return std::ofstream(std::string(folder) + "/" + std::to_string(getpid()) + ".tsv",
                             std::ios::app);
    }();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").filename().string();
    census << self << '\t' << test->test_suite_name() << '.' << test->name() << '\t' << kind << '\t'
           << name << '\n'
           << std::flush;
}

// A program of the build run by path (some cases name theirs before any case runs).
void noteProgramCensus(const std::string &program)
{
    const std::string folder = std::string(LABS_BIN_DIR) + "/";
    if (program.starts_with(folder) && program.find('/', folder.size()) == std::string::npos) {
        noteCensus("bin", program.substr(folder.size()));
    }
}

} // namespace

CheckedRun::CheckedRun(const std::string &program, RunOptions &options)
{
    noteProgramCensus(program);
    // A library under check is found first on the library path, and every program that
    // may load it runs in the sandbox as well.
    const std::optional<CheckedBuild> check = checkedBuild();
    const bool libraryUnderCheck = check && check->kind == "lib";
    if (libraryUnderCheck) {
        // ./labs check puts the library's folder first on the inherited path; a case that
        // sets a path of its own gets the folder in front of that one.
        const std::string folder = check->path.substr(0, check->path.rfind('/'));
        for (std::string &entry : options.env) {
            if (entry.starts_with("LD_LIBRARY_PATH=")) {
                entry.insert(16, folder + ":");
            }
        }
    }
    checked = libraryUnderCheck || (check && check->path == program);
    if (!checked) {
        return;
    }
    // Someone else's build runs in a folder of its own (unless the case gives one), without
    // network and, under root, as nobody, and gets no more time than ./labs check allows
    // (LABS_CHECK_TIMEOUT seconds).
    if (const char *folder = std::getenv("LABS_CHECK_FOLDER");
        folder != nullptr && options.workingDir.empty()) {
        options.workingDir = folder;
    }
    if (const char *seconds = std::getenv("LABS_CHECK_TIMEOUT")) {
        options.timeout =
            std::min(options.timeout, std::chrono::milliseconds(1000 * std::atol(seconds)));
    }
    timeout = options.timeout;

    // It goes into ./labs check's sandbox when the check asks for one (LABS_CHECK_SANDBOX is
    // the sandbox's runner): it sees the build folders, the check's own folders and the
    // system, and tells how the program ended through a pipe.
    const char *runner = std::getenv("LABS_CHECK_SANDBOX");
    if (runner == nullptr || *runner == '\0') {
        return;
    }
    sandbox::Sandbox box;
    box.runner = runner;
    box.readable = {std::filesystem::path(LABS_BIN_DIR).parent_path().string(),
                    std::filesystem::path(check->path).parent_path().string()};
    if (const char *more = std::getenv("LABS_CHECK_READABLE")) {
        std::istringstream paths(more);
        for (std::string path; std::getline(paths, path, ':');) {
            if (!path.empty()) {
                box.readable.push_back(path);
            }
        }
    }
    for (const char *name : {"LABS_CHECK_FOLDER", "LABS_CHECK_SHARED"}) {
        if (const char *folder = std::getenv(name); folder != nullptr && *folder != '\0') {
            box.writable.emplace_back(folder);
        }
    }
    box.workingDir = options.workingDir;
    if (!box.workingDir.empty() &&
        std::find(box.writable.begin(), box.writable.end(), box.workingDir) == box.writable.end()) {
        // A folder the case made for the run (a pipe to make there, files to write): the
        // program's own, so nobody may write it too.
        box.writable.push_back(box.workingDir);
        if (geteuid() == 0) {
            (void)!chown(box.workingDir.c_str(), 65534, 65534);
        }
    }
    status = process::makePipe();
    box.statusFd = 3;
    words = sandbox::command(box);
}

CheckedRun::~CheckedRun()
{
    process::closeFd(status.read);
    process::closeFd(status.write);
}

void CheckedRun::wrap(process::Command &command) const
{
    if (sandboxed()) {
        command.argv.insert(command.argv.begin(), words.begin(), words.end());
        command.fds.emplace_back(3, status.write);
        // The sandbox itself must outlive a stop signal sent to the group, so that its
        // runner can pass it on and tell how the program took it.
        command.holdStopSignals = true;
    }
}

void CheckedRun::finish(const std::vector<std::string> &args, const std::string &input,
                        const process::Ending &ending, RunResult &result)
{
    result.status = ending.status();
    result.signal = ending.signal();
    result.timedOut = ending.timedOut;
    if (sandboxed()) {
        // How the program in the sandbox ended, once the sandbox is gone: the runner's word
        // when it gave one, else what the harness saw (a stop, a time limit).
        process::closeFd(status.write);
        fcntl(status.read, F_SETFL, fcntl(status.read, F_GETFL) | O_NONBLOCK);
        const sandbox::Ending inside = sandbox::readEnding(status.read);
        process::closeFd(status.read);
        if (inside.exited == 1) {
            result.status = inside.value;
            result.signal = 0;
        } else if (inside.exited == 0) {
            result.status = -1;
            result.signal = inside.value;
        }
    }
    if (checked) {
        noteCheckedRun(args, input, result, timeout);
    }
}

// The sandbox's processes are told by their names (comm), not by the paths of their programs:
// those show differently to a reader under another root (a chroot).
pid_t lastDescendant(pid_t pid)
{
    const std::string runner =
        std::filesystem::path(std::getenv("LABS_CHECK_SANDBOX")).filename().string().substr(0, 15);
    for (int depth = 0; depth < 8; ++depth) {
        const std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid);
        std::ifstream children(task + "/children");
        pid_t child = -1;
        if (!(children >> child)) {
            break;
        }
        pid = child;
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        if (std::getline(comm, name) && name != "bwrap" && name != runner) {
            return pid;
        }
    }
    return -1;
}

std::string checked(const std::string &kind, const std::string &name, const std::string &built)
{
    noteCensus(kind, name);
    const std::optional<CheckedBuild> check = checkedBuild();
    if (check && check->kind == kind && check->name == name) {
        if (::testing::UnitTest::GetInstance()->current_test_info() != nullptr) {
            ::testing::Test::RecordProperty("used", "1"); // run, loaded or read by the case
        }
        return check->path;
    }
    return built;
}

bool checkingAnotherBuild()
{
    return checkedBuild().has_value();
}

void linkedLibrary(const std::string &name)
{
    checked("lib", name, "");
}

std::string bin(const std::string &name)
{
    return checked("bin", name, std::string(LABS_BIN_DIR) + "/" + name);
}

std::string lib(const std::string &name)
{
    return checked("lib", name, std::string(LABS_LIB_DIR) + "/" + name);
}

std::string testProgram(const std::string &name)
{
    return std::string(LABS_TEST_DIR) + "/" + name;
}

std::string source(const std::string &path)
{
    return std::string(LABS_SOURCE_DIR) + "/" + path;
}

} // namespace harness
