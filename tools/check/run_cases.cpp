// Running the collection's cases against a build: each test program with its cases, a few at
// a time, with the build (or the test program, for a library) in the sandbox, and the
// verdicts read from the programs' reports; the module through the VM lab.
#include "checker.h"
#include "process.h"
#include "sandbox.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace check
{
namespace
{

Outcome outcomeOf(const Case &c)
{
    Outcome outcome;
    outcome.what = c;
    return outcome;
}

// A process of the checker's own: output to a file, a time limit, its own process group.
struct Started {
    std::optional<process::Process> process; // none when it could not be started
    int statusRead = -1;
};

Started spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env,
              const fs::path &output, int seconds, bool withStatus = false)
{
    process::Command command;
    command.argv = argv;
    command.env = env;
    // The sandbox outlives a stop sent to the group, so its runner can report.
    command.holdStopSignals = withStatus;
    process::Pipe status;
    if (withStatus) {
        status = process::makePipe();
        command.fds.emplace_back(3, status.write);
    }
    int in = process::openFile("/dev/null", O_RDONLY);
    int out = process::openFile(output, O_WRONLY | O_CREAT | O_TRUNC);
    command.fds.insert(command.fds.begin(), {{0, in}, {1, out}, {2, out}});
    Started started;
    try {
        started.process.emplace(command, std::chrono::seconds(seconds));
    } catch (const std::runtime_error &error) {
        // Said in its output, as a shell would say it.
        (void)!write(out, error.what(), std::strlen(error.what()));
        (void)!write(out, "\n", 1);
    }
    for (int *fd : {&in, &out, &status.write}) {
        process::closeFd(*fd);
    }
    started.statusRead = status.read;
    return started;
}

// A started process's wait status once it has ended (-1 when it was killed at its time
// limit, 127 as an exit status when it could not be started), killing whatever it left
// behind in its group; nothing while it runs.
std::optional<int> ended(Started &started)
{
    if (!started.process) {
        return W_EXITCODE(127, 0);
    }
    const std::optional<process::Ending> ending = started.process->ended();
    if (!ending) {
        return std::nullopt;
    }
    started.process->stop(SIGKILL);
    return ending->timedOut ? -1 : ending->wstatus;
}

std::string endingOf(int wstatus)
{
    if (wstatus == -1) {
        return "was stopped at its time limit";
    }
    if (WIFSIGNALED(wstatus)) {
        const char *name = sigabbrev_np(WTERMSIG(wstatus));
        return std::string("was killed by SIG") + (name != nullptr ? name : "?");
    }
    return "exited with status " + std::to_string(WEXITSTATUS(wstatus));
}

// The cases each test program has, as it lists them.
const std::vector<std::string> &listedCases(Context &context, const std::string &program)
{
    const auto known = context.listed.find(program);
    if (known != context.listed.end()) {
        return known->second;
    }
    std::vector<std::string> names;
    const fs::path path = context.build / "tests" / program;
    const fs::path output = context.scratch / ("list-" + program + ".txt");
    if (fs::exists(path) &&
        succeeded(runToEnd({path.string(), "--gtest_list_tests"}, {"LABS_CENSUS"}, output, 60))) {
        names = listedNames(readFile(output));
    }
    return context.listed[program] = names;
}

} // namespace

int runToEnd(const std::vector<std::string> &argv, const std::vector<std::string> &env,
             const fs::path &output, int seconds)
{
    Started started = spawn(argv, env, output, seconds);
    std::optional<int> wstatus;
    while (!(wstatus = ended(started))) {
        usleep(5000);
    }
    return *wstatus;
}

bool succeeded(int wstatus)
{
    return wstatus != -1 && WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0;
}

std::vector<Case> selectedCases(Context &context, const Deliverable &deliverable)
{
    std::map<std::string, std::vector<std::string>> listed;
    for (const Row &row : context.table.rows) {
        if (row.deliverable == deliverable.name) {
            listed[row.program] = listedCases(context, row.program);
        }
    }
    std::vector<Case> cases = casesOf(context.table, deliverable.name, listed);
    std::erase_if(cases, [](const Case &c) { return c.kind == Kind::build; });
    return cases;
}

fs::path makeFolder(const fs::path &path)
{
    fs::create_directories(path);
    // The code under check runs as nobody when the check runs as root.
    fs::permissions(path, fs::perms::all);
    return path;
}

std::vector<Outcome> runCases(Context &context, const Deliverable &deliverable,
                              const fs::path &build, const std::vector<Case> &cases)
{
    const fs::path runner = context.build / "tools/labs-sandbox-run";
    std::vector<Outcome> outcomes;
    for (const Case &c : cases) {
        outcomes.push_back(outcomeOf(c));
    }
    // Units of work: a program's cases, in shards so that both cores are busy.
    struct Unit {
        std::string program;
        std::vector<std::size_t> cases;
    };
    std::vector<Unit> units;
    const long cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    std::map<std::string, std::vector<std::size_t>> byProgram;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        byProgram[cases[i].program].push_back(i);
    }
    for (const auto &[program, indices] : byProgram) {
        const std::size_t shards =
            std::min<std::size_t>(indices.size(), std::max<std::size_t>(1, indices.size() / 8));
        const std::size_t perShard = (indices.size() + shards - 1) / shards;
        for (std::size_t start = 0; start < indices.size(); start += perShard) {
            units.push_back(
                {program, std::vector<std::size_t>(
                              indices.begin() + static_cast<long>(start),
                              indices.begin() +
                                  static_cast<long>(std::min(start + perShard, indices.size())))});
        }
    }

    struct Running {
        Started started;
        std::size_t unit;
        fs::path folder;
    };
    std::vector<Running> running;
    std::size_t next = 0;
    auto collect = [&](const Running &r, int wstatus) {
        const fs::path report = r.folder / "work/report.json";
        std::map<std::string, Outcome *> byName;
        for (const std::size_t i : units[r.unit].cases) {
            byName[outcomes[i].what.name] = &outcomes[i];
        }
        readReport(readFile(report), byName);
        sandbox::Ending ending;
        if (r.started.statusRead >= 0) {
            ending = sandbox::readEnding(r.started.statusRead);
            close(r.started.statusRead);
        }
        // A test program that dies (a library crashing inside it) takes the cases after
        // the one that killed it along: each of those runs again on its own.
        if (units[r.unit].cases.size() > 1) {
            for (const std::size_t i : units[r.unit].cases) {
                if (!outcomes[i].ran) {
                    units.push_back({units[r.unit].program, {i}});
                }
            }
            return;
        }
        for (const std::size_t i : units[r.unit].cases) {
            if (!outcomes[i].ran) {
                std::string how = endingOf(wstatus);
                if (ending.exited == 0) {
                    const char *name = sigabbrev_np(ending.value);
                    how = std::string("was killed by SIG") + (name != nullptr ? name : "?");
                } else if (ending.exited == 1) {
                    how = "exited with status " + std::to_string(ending.value);
                }
                outcomes[i].detail =
                    "no result: the test program " + how +
                    " before it reported on this case; its last output:\n" +
                    capped(readFile(r.folder / "output.log").substr(0, 1u << 16), 12, 160);
            }
        }
    };
    while (next < units.size() || !running.empty()) {
        while (next < units.size() && running.size() < static_cast<std::size_t>(cores)) {
            const Unit &unit = units[next];
            // A folder of its own for every run, never one an earlier run wrote in.
            const fs::path folder = context.scratch / ("run" + std::to_string(++context.folders));
            const fs::path work = makeFolder(folder / "work");
            const fs::path tmp = makeFolder(folder / "tmp");
            std::string filter;
            for (const std::size_t i : unit.cases) {
                filter += (filter.empty() ? "" : ":") + outcomes[i].what.name;
            }
            const fs::path program = context.build / "tests" / unit.program;
            std::vector<std::string> argv = {program.string(), "--gtest_filter=" + filter,
                                             "--gtest_output=json:" +
                                                 (work / "report.json").string()};
            std::vector<std::string> env = {
                "LABS_CHECK=" + deliverable.kind + ":" + deliverable.file + "=" + build.string(),
                "LABS_CHECK_TIMEOUT=" + std::to_string(context.options.timeout),
                "LABS_CHECK_FOLDER=" + work.string(),
                "LABS_CHECK_SHARED=" + tmp.string(),
                "TEST_TMPDIR=" + tmp.string() + "/",
                "TMPDIR=" + tmp.string(),
                "LABS_CENSUS",
                "GTEST_COLOR=no",
            };
            bool sandboxed = false;
            if (deliverable.kind == "lib") {
                // The library is loaded into the test programs themselves: they run in the
                // sandbox whole, and find the library before ours.
                const char *path = std::getenv("LD_LIBRARY_PATH");
                env.push_back("LD_LIBRARY_PATH=" + build.parent_path().string() +
                              (path != nullptr && *path != '\0' ? std::string(":") + path : ""));
                env.emplace_back("LABS_CHECK_SANDBOX");
                sandbox::Sandbox box;
                // The build, the library, and the one folder of sources a test program
                // reads as it runs (the sweep's corpus of hostile inputs).
                box.readable = {context.build.string(), build.parent_path().string(),
                                (context.root / "tests/sweep").string()};
                box.writable = {work.string(), tmp.string()};
                box.workingDir = work.string();
                box.runner = runner.string();
                box.statusFd = 3;
                std::vector<std::string> wrapped = sandbox::command(box);
                wrapped.insert(wrapped.end(), argv.begin(), argv.end());
                argv = wrapped;
                sandboxed = true;
            } else {
                env.push_back("LABS_CHECK_SANDBOX=" + runner.string());
            }
            const int limit =
                60 + static_cast<int>(unit.cases.size()) * (context.options.timeout + 5);
            running.push_back(
                {spawn(argv, env, folder / "output.log", limit, sandboxed), next, folder});
            ++next;
        }
        for (std::size_t i = 0; i < running.size();) {
            if (const std::optional<int> wstatus = ended(running[i].started)) {
                collect(running[i], *wstatus);
                running.erase(running.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
        usleep(10000);
    }
    return outcomes;
}

std::vector<Outcome> checkModule(Context &context, const Deliverable &deliverable,
                                 const fs::path &module, const std::vector<Case> &cases,
                                 std::vector<std::string> &buildNotes)
{
    const fs::path out = context.scratch / "module";
    fs::create_directories(out);
    std::string filter;
    for (const Case &c : cases) {
        filter += (filter.empty() ? "" : ":") + c.name;
    }
    std::vector<std::string> env = {"CHECK_FILTER=" + filter,
                                    "LABS_BUILD_DIR=" + context.build.string(), "LABS_CENSUS"};
    if (context.options.kernel == "default" || context.options.kernel == "debug") {
        env.push_back("CHECK_KERNELS=" + context.options.kernel);
    } else if (context.options.kernel == "both") {
        env.emplace_back("CHECK_KERNELS=default debug");
    }
    const fs::path log = out / "module-check.log";
    const int status = runToEnd(
        {(context.root / "tools/check/module-check").string(), module.string(), out.string()}, env,
        log, 3600);
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 2) {
        std::string line = readFile(log);
        line = line.substr(0, line.find('\n'));
        throw UsageError{line};
    }
    if (!succeeded(status)) {
        throw Rejected{"the module could not be tried", capped(readFile(log))};
    }
    std::vector<Outcome> outcomes;
    for (const char *kernel : {"default", "debug"}) {
        const std::string prefix = std::string(kernel) == "debug" ? "debugging kernel: " : "";
        const fs::path notes = out / (std::string(kernel) + ".notes");
        if (fs::exists(notes)) {
            std::istringstream lines(readFile(notes));
            for (std::string line; std::getline(lines, line);) {
                if (!line.empty()) {
                    buildNotes.push_back(prefix + line);
                }
            }
        }
        const fs::path failed = out / (std::string(kernel) + ".build-failed");
        const fs::path report = out / (std::string(kernel) + ".json");
        if (!fs::exists(failed) && !fs::exists(report)) {
            continue;
        }
        std::vector<Outcome> these;
        for (const Case &c : cases) {
            these.push_back(outcomeOf(c));
        }
        if (fs::exists(failed)) {
            for (Outcome &outcome : these) {
                outcome.ran = true;
                outcome.used = true;
                outcome.detail = "the module did not build for this kernel:\n" + readFile(failed);
            }
        } else {
            std::map<std::string, Outcome *> byName;
            for (Outcome &outcome : these) {
                byName[outcome.what.name] = &outcome;
            }
            readReport(readFile(report), byName);
            for (Outcome &outcome : these) {
                outcome.used = true; // every case here boots the VM with the module
                if (!outcome.ran) {
                    outcome.detail = "no result: the VM's test program did not report on it\n";
                }
            }
        }
        for (Outcome &outcome : these) {
            outcome.what.name = prefix + outcome.what.name;
            outcomes.push_back(std::move(outcome));
        }
    }
    (void)deliverable;
    return outcomes;
}

} // namespace check
