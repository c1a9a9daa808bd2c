// Process runner for black-box tests: posix_spawn with three pipes, a poll loop that
// feeds standard input while it drains standard output and error, and a time limit.
#include "run_process.h"
#include "spawn_attributes.h"
#include "sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char **environ;

namespace harness
{
namespace
{

struct Pipe {
    int read = -1;
    int write = -1;
};

Pipe makePipe()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
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

// The current environment with the given entries added or replaced.
std::vector<std::string> mergedEnvironment(const std::vector<std::string> &extra)
{
    std::vector<std::string> result;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        result.emplace_back(*entry);
    }
    for (const std::string &add : extra) {
        const std::string key = add.substr(0, add.find('=') + 1);
        std::erase_if(result, [&](const std::string &e) { return e.starts_with(key); });
        result.push_back(add);
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

bool hasSanitizerReport(const std::string &err)
{
    return err.find("ERROR: AddressSanitizer") != std::string::npos ||
           err.find("ERROR: LeakSanitizer") != std::string::npos ||
           err.find("runtime error: ") != std::string::npos;
}

// Starts argv[0] (looked up in PATH) with the given descriptors as its standard input,
// output and error, in its own process group, so that a stop reaches wrappers and what
// they started. Throws when it cannot be started.
pid_t start(const std::vector<std::string> &argv, const RunOptions &options, int in, int out,
            int err, int status = -1)
{
    std::vector<std::string> envp = mergedEnvironment(options.env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, 0);
    if (options.outputFile.empty()) {
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, options.outputFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    if (status >= 0) {
        // The sandbox's runner reports how the program ended on descriptor 3.
        posix_spawn_file_actions_adddup2(&actions, status, 3);
    }
    if (!options.workingDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDir.c_str());
    }
    SpawnAttributes attributes;
    if (status >= 0) {
        // The sandbox itself must outlive a stop signal sent to the group, so that its
        // runner can pass it on and tell how the program took it.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        for (const int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
            sigaddset(&stopSignals, sig);
        }
        short flags = 0;
        posix_spawnattr_getflags(&attributes.value, &flags);
        posix_spawnattr_setflags(&attributes.value, flags | POSIX_SPAWN_SETSIGMASK);
        posix_spawnattr_setsigmask(&attributes.value, &stopSignals);
    }

    pid_t pid = -1;
    std::vector<std::string> args = argv;
    std::vector<char *> argvPointers = pointers(args);
    std::vector<char *> envPointers = pointers(envp);
    const int spawnError = posix_spawnp(&pid, args[0].c_str(), &actions, &attributes.value,
                                        argvPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(spawnError));
    }
    return pid;
}

void setStatus(RunResult &result, int wstatus)
{
    if (WIFEXITED(wstatus)) {
        result.status = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        result.signal = WTERMSIG(wstatus);
    }
}

} // namespace

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
// that crashed, hung or flooded its output.
std::string firstUnsafeRun;

std::string signalName(int sig)
{
    const char *abbreviation = sigabbrev_np(sig);
    return abbreviation != nullptr ? std::string("SIG") + abbreviation : std::to_string(sig);
}

void noteCheckedUse()
{
    if (::testing::UnitTest::GetInstance()->current_test_info() != nullptr) {
        ::testing::Test::RecordProperty("used", "1");
    }
}

void noteCheckedRun(const std::vector<std::string> &args, const std::string &input,
                    const RunResult &result, std::chrono::milliseconds timeout)
{
    if (::testing::UnitTest::GetInstance()->current_test_info() == nullptr) {
        return;
    }
    std::string text = "ran";
    for (const std::string &arg : args) {
        text += " " + arg;
    }
    std::string shown = visible(input.substr(0, 300));
    std::erase(shown, '\n'); // visible() breaks its lines after each "\n"; one line here
    text += " with standard input \"" + shown + (input.size() > 300 ? "...\"" : "\"") + "; it ";
    std::string ending;
    if (result.timedOut) {
        ending = "did not end within " + std::to_string(timeout.count() / 1000) + " s";
    } else if (result.stopped && result.signal == SIGKILL) {
        ending = "flooded its output and was stopped after " +
                 std::to_string(result.out.size() + result.err.size()) + " bytes";
    } else if (result.signal != 0) {
        ending =
            (result.stopped ? "was stopped by " : "was killed by ") + signalName(result.signal);
    } else {
        ending = "exited with status " + std::to_string(result.status);
    }
    text += ending;
    ::testing::Test::RecordProperty("used", "1");
    ::testing::Test::RecordProperty("ran", text);
    const bool crashed = result.signal != 0 && !result.stopped;
    if ((result.timedOut || crashed || (result.stopped && result.signal == SIGKILL)) &&
        firstUnsafeRun.empty()) {
        firstUnsafeRun = text;
        ::testing::Test::RecordProperty("unsafe", text);
    }
}

class CheckedRunReport : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo &) override
    {
        firstUnsafeRun.clear();
    }
};

const bool checkedRunReport = [] {
    if (std::getenv("LABS_CHECK") != nullptr) {
        ::testing::UnitTest::GetInstance()->listeners().Append(new CheckedRunReport);
    }
    return true;
}();

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

// A run of the build under check goes into ./labs check's sandbox when it asks for one
// (LABS_CHECK_SANDBOX is the sandbox's runner): it sees the build folders, the check's own
// folders and the system, and tells how the program ended through a pipe.
struct SandboxedRun {
    std::vector<std::string> words;
    Pipe status;
};

std::optional<SandboxedRun> sandboxFor(const CheckedBuild &check, const RunOptions &limited)
{
    const char *runner = std::getenv("LABS_CHECK_SANDBOX");
    if (runner == nullptr || *runner == '\0') {
        return std::nullopt;
    }
    sandbox::Sandbox box;
    box.runner = runner;
    box.readable = {std::filesystem::path(LABS_BIN_DIR).parent_path().string(),
                    std::filesystem::path(check.path).parent_path().string()};
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
    box.workingDir = limited.workingDir;
    if (!box.workingDir.empty() &&
        std::find(box.writable.begin(), box.writable.end(), box.workingDir) == box.writable.end()) {
        // A folder the case made for the run (a pipe to make there, files to write): the
        // program's own, so nobody may write it too.
        box.writable.push_back(box.workingDir);
        if (geteuid() == 0) {
            (void)!chown(box.workingDir.c_str(), 65534, 65534);
        }
    }
    SandboxedRun result;
    result.status = makePipe();
    box.statusFd = 3;
    result.words = sandbox::command(box);
    return result;
}

// How the program in a sandbox ended, once the sandbox is gone: the runner's word when it
// gave one, else what the harness saw (a stop, a time limit).
void takeSandboxEnding(SandboxedRun &box, RunResult &result)
{
    closeFd(box.status.write);
    fcntl(box.status.read, F_SETFL, fcntl(box.status.read, F_GETFL) | O_NONBLOCK);
    const sandbox::Ending ending = sandbox::readEnding(box.status.read);
    closeFd(box.status.read);
    if (ending.exited == 1) {
        result.status = ending.value;
        result.signal = 0;
    } else if (ending.exited == 0) {
        result.status = -1;
        result.signal = ending.value;
    }
}

} // namespace

RunResult run(const std::string &program, const std::vector<std::string> &args,
              const RunOptions &options)
{
    // A program that exits without reading all its input must not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    noteProgramCensus(program);

    std::vector<std::string> argv = options.prefix;
    // Someone else's build runs without network and, under root, as nobody, and gets no
    // more time than ./labs check allows (LABS_CHECK_TIMEOUT seconds).
    RunOptions limited = options;
    // A library under check is found first on the library path, and every program that
    // may load it runs in the sandbox as well.
    const std::optional<CheckedBuild> check = checkedBuild();
    const bool libraryUnderCheck = check && check->kind == "lib";
    if (libraryUnderCheck) {
        // ./labs check puts the library's folder first on the inherited path; a case that
        // sets a path of its own gets the folder in front of that one.
        const std::string folder = check->path.substr(0, check->path.rfind('/'));
        for (std::string &entry : limited.env) {
            if (entry.starts_with("LD_LIBRARY_PATH=")) {
                entry.insert(16, folder + ":");
            }
        }
    }
    const bool checkedRun = libraryUnderCheck || (check && check->path == program);
    if (checkedRun) {
        // In a folder of its own, unless the case gives one.
        if (const char *folder = std::getenv("LABS_CHECK_FOLDER");
            folder != nullptr && limited.workingDir.empty()) {
            limited.workingDir = folder;
        }
        if (const char *seconds = std::getenv("LABS_CHECK_TIMEOUT")) {
            limited.timeout =
                std::min(limited.timeout, std::chrono::milliseconds(1000 * std::atol(seconds)));
        }
        // A flood is stopped early: what matters is that it was one.
        limited.outputLimit = std::min<std::size_t>(limited.outputLimit, 4u << 20);
    }
    std::optional<SandboxedRun> box;
    if (checkedRun) {
        box = sandboxFor(*check, limited);
    }
    if (box) {
        argv.insert(argv.begin(), box->words.begin(), box->words.end());
    }
    argv.push_back(program);
    argv.insert(argv.end(), args.begin(), args.end());

    Pipe in = makePipe(), out = makePipe(), err = makePipe();
    pid_t pid = -1;
    try {
        pid = start(argv, limited, in.read, out.write, err.write, box ? box->status.write : -1);
    } catch (...) {
        for (int *fd : {&in.read, &in.write, &out.read, &out.write, &err.read, &err.write}) {
            closeFd(*fd);
        }
        throw;
    }
    if (box) {
        closeFd(box->status.write);
    }
    closeFd(in.read);
    closeFd(out.write);
    closeFd(err.write);

    // Feeding input must never block: a program busy writing output would wait for us.
    fcntl(in.write, F_SETFL, fcntl(in.write, F_GETFL) | O_NONBLOCK);

    RunResult result;
    std::size_t written = 0;
    if (options.input.empty()) {
        closeFd(in.write);
    }
    const auto deadline = std::chrono::steady_clock::now() + limited.timeout;
    auto stop = [&](int sig) { kill(-pid, sig); };

    char buffer[65536];
    while (out.read >= 0 || err.read >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            stop(SIGKILL);
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
            stop(enough ? options.stopSignal : SIGKILL);
        }
    }
    closeFd(in.write);
    closeFd(out.read);
    closeFd(err.read);

    // Output is closed; the program may still be running (or ignoring the stop).
    int wstatus = 0;
    while (waitpid(pid, &wstatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            stop(SIGKILL);
            waitpid(pid, &wstatus, 0);
            break;
        }
        usleep(2000);
    }
    setStatus(result, wstatus);
    if (box) {
        takeSandboxEnding(*box, result);
    }
    if (options.checkSanitizers && hasSanitizerReport(result.err)) {
        ADD_FAILURE() << "sanitizer report from " << program << ":\n" << result.err;
    }
    if (checkedRun) {
        noteCheckedRun(args, options.input, result, limited.timeout);
    }
    return result;
}

RunResult runWithInput(const std::string &program, const std::string &input)
{
    RunOptions options;
    options.input = input;
    return run(program, {}, options);
}

namespace
{

// A terminal that echoes and hands over whole lines, and changes no byte on the way.
termios plainTerminal()
{
    termios settings{};
    settings.c_cflag = CS8 | CREAD;
    settings.c_lflag = ICANON | ECHO;
    settings.c_cc[VEOF] = 4;
    settings.c_cc[VMIN] = 1;
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    return settings;
}

// Whether the process is in a read of its standard input (x86-64: system call 0 with first
// argument 0), and how many reads it had completed before that one. The count tells a new
// read from the one just answered, which still shows until the process runs again. It is
// taken before and after the look at the system call and must not change in between:
// otherwise a read that ended meanwhile could be taken for the one seen.
struct ReadState {
    long completed = -1;
    bool waiting = false;
};

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

void type(int terminal, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(terminal, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            ADD_FAILURE() << "typing at the terminal: " << std::strerror(errno);
            return;
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

// The end of the line of only children that starts at pid (the program a sandbox runs, once
// it has started), or -1 while that line still ends in the sandbox's own processes. They are
// told by their names (comm), not by the paths of their programs: those show differently to
// a reader under another root (a chroot).
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

} // namespace

RunResult runTyped(const std::string &program, const std::vector<std::string> &args,
                   const std::vector<std::string> &answers, const RunOptions &options)
{
    noteProgramCensus(program);
    int terminal = -1, side = -1;
    termios settings = plainTerminal();
    if (openpty(&terminal, &side, nullptr, &settings, nullptr) != 0) {
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    }
    fcntl(terminal, F_SETFD, FD_CLOEXEC);
    fcntl(side, F_SETFD, FD_CLOEXEC);
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions terminalOnly = options;
    terminalOnly.outputFile.clear();
    // A build under check gets the same folder, time limit and sandbox as in run().
    const std::optional<CheckedBuild> check = checkedBuild();
    const bool checkedRun = check && (check->kind == "lib" || check->path == program);
    std::optional<SandboxedRun> box;
    if (checkedRun) {
        if (const char *folder = std::getenv("LABS_CHECK_FOLDER");
            folder != nullptr && terminalOnly.workingDir.empty()) {
            terminalOnly.workingDir = folder;
        }
        if (const char *seconds = std::getenv("LABS_CHECK_TIMEOUT")) {
            terminalOnly.timeout = std::min(terminalOnly.timeout,
                                            std::chrono::milliseconds(1000 * std::atol(seconds)));
        }
        box = sandboxFor(*check, terminalOnly);
    }
    if (box) {
        argv.insert(argv.begin(), box->words.begin(), box->words.end());
    }
    pid_t pid = -1;
    try {
        pid = start(argv, terminalOnly, side, side, side, box ? box->status.write : -1);
    } catch (...) {
        closeFd(terminal);
        closeFd(side);
        throw;
    }
    closeFd(side);
    if (box) {
        closeFd(box->status.write);
    }
    // In a sandbox the program is the last of a line of processes (the sandbox, the
    // runner); its reads are watched there.
    pid_t reader = box ? -1 : pid;
    fcntl(terminal, F_SETFL, fcntl(terminal, F_GETFL) | O_NONBLOCK);

    RunResult result;
    char buffer[4096];
    // Takes what the terminal shows; false once nothing can come any more.
    auto show = [&] {
        for (;;) {
            const ssize_t n = ::read(terminal, buffer, sizeof buffer);
            if (n > 0) {
                result.out.append(buffer, static_cast<std::size_t>(n));
            } else {
                return n < 0 && (errno == EAGAIN || errno == EINTR);
            }
        }
    };
    const auto deadline = std::chrono::steady_clock::now() + terminalOnly.timeout;
    std::size_t next = 0;
    long answered = -1; // reads completed when the last answer was typed
    int wstatus = 0;
    for (;;) {
        show();
        if (waitpid(pid, &wstatus, WNOHANG) == pid) {
            break;
        }
        if (reader < 0) {
            reader = lastDescendant(pid);
        }
        const ReadState state = reader > 0 ? readState(reader) : ReadState{};
        const bool asking = state.waiting && state.completed != answered;
        const bool late = std::chrono::steady_clock::now() >= deadline;
        if (late || (asking && next == answers.size())) {
            (late ? result.timedOut : result.stopped) = true;
            kill(-pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            break;
        }
        if (asking) {
            type(terminal, answers[next++] + "\n");
            answered = state.completed;
        }
        pollfd watch = {terminal, POLLIN, 0};
        poll(&watch, 1, 1);
    }
    // What the program wrote before it ended is still to be read; then the terminal is
    // closed on its side.
    while (show() && std::chrono::steady_clock::now() < deadline) {
        pollfd watch = {terminal, POLLIN, 0};
        poll(&watch, 1, 100);
    }
    closeFd(terminal);
    setStatus(result, wstatus);
    if (box) {
        takeSandboxEnding(*box, result);
    }
    if (options.checkSanitizers && hasSanitizerReport(result.out)) {
        ADD_FAILURE() << "sanitizer report from " << program << ":\n" << result.out;
    }
    if (checkedRun) {
        noteCheckedRun(args, "", result, terminalOnly.timeout);
    }
    return result;
}

std::string checked(const std::string &kind, const std::string &name, const std::string &built)
{
    noteCensus(kind, name);
    const std::optional<CheckedBuild> check = checkedBuild();
    if (check && check->kind == kind && check->name == name) {
        noteCheckedUse(); // run, loaded or read by the case
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

std::string visible(const std::string &bytes)
{
    std::string shown;
    for (const unsigned char c : bytes) {
        if (c == '\n') {
            shown += "\\n\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c == '\\') {
            shown += "\\\\";
        } else if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

namespace
{

// Line number (from 1) and where it starts, of the byte at offset in text.
std::pair<std::size_t, std::size_t> lineOf(const std::string &text, std::size_t offset)
{
    std::size_t number = 1, start = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++number;
            start = i + 1;
        }
    }
    return {number, start};
}

// Lines first to last (from 1) of text, escaped one per output line, the marked one with
// a caret under its byte at column.
std::string excerpt(const std::string &text, std::size_t first, std::size_t last,
                    std::size_t marked, std::size_t column)
{
    std::string shown;
    std::size_t number = 1, start = 0;
    while (start <= text.size() && number <= last) {
        std::size_t end = text.find('\n', start);
        const bool whole = end != std::string::npos;
        end = whole ? end + 1 : text.size();
        if (number >= first) {
            std::string line = visible(text.substr(start, std::min<std::size_t>(end - start, 200)));
            std::erase(line, '\n');
            shown += (number == marked ? "  > " : "    ") + line +
                     (end - start > 200 ? "..." : "") + "\n";
            if (number == marked) {
                std::string before = visible(text.substr(start, column));
                std::erase(before, '\n');
                shown +=
                    "    " + std::string(std::min<std::size_t>(before.size(), 220), ' ') + "^\n";
            }
        }
        if (!whole || end == text.size()) {
            break;
        }
        start = end;
        ++number;
    }
    return shown;
}

} // namespace

::testing::AssertionResult sameOutput(const std::string &yours, const std::string &expected)
{
    if (yours == expected) {
        return ::testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < yours.size() && at < expected.size() && yours[at] == expected[at]) {
        ++at;
    }
    const auto [number, start] = lineOf(expected, at);
    const std::size_t column = at - start;
    const std::size_t first = number > 2 ? number - 2 : 1, last = number + 2;
    return ::testing::AssertionFailure()
           << "the output differs from line " << number << ", byte " << column + 1
           << " on (expected " << expected.size() << " bytes, yours " << yours.size()
           << "):\nexpected:\n"
           << excerpt(expected, first, last, number, column) << "yours:\n"
           << excerpt(yours, first, last, number, column);
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            result.push_back(text.substr(start));
            break;
        }
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

} // namespace harness
