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
#include <optional>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace check
{
namespace
{

// Starts command with no input and its output (and errors) in the file output, in a group
// of its own that is killed at its time limit. Nothing when it cannot be started: why is
// said in its output, as a shell would say it.
std::optional<process::Process> start(process::Command command, const fs::path &output, int seconds)
{
    int in = process::openFile("/dev/null", O_RDONLY);
    int out = process::openFile(output, O_WRONLY | O_CREAT | O_TRUNC);
    command.fds.insert(command.fds.begin(), {{0, in}, {1, out}, {2, out}});
    std::optional<process::Process> started;
    try {
        started.emplace(command, std::chrono::seconds(seconds));
    } catch (const std::runtime_error &error) {
        const std::string line = error.what() + std::string("\n");
        (void)!write(out, line.data(), line.size());
    }
    process::closeFd(in);
    process::closeFd(out);
    return started;
}

// An outcome for each case, none of them run yet.
std::vector<Outcome> outcomesOf(const std::vector<Case> &cases)
{
    std::vector<Outcome> outcomes(cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        outcomes[i].what = cases[i];
    }
    return outcomes;
}

// A started process's ending once it has ended (127 as an exit status when it could not be
// started), killing whatever it left behind in its group; nothing while it runs.
std::optional<process::Ending> ended(std::optional<process::Process> &started)
{
    if (!started) {
        return process::Ending{W_EXITCODE(127, 0), false};
    }
    const std::optional<process::Ending> ending = started->ended();
    if (ending) {
        started->stop(SIGKILL);
    }
    return ending;
}

// How a test program ended, in words: in the sandbox, as the sandbox's runner saw it.
std::string endingOf(process::Ending ending, const sandbox::Ending &inside)
{
    if (inside.exited != -1) {
        ending = {inside.exited == 1 ? W_EXITCODE(inside.value, 0) : W_EXITCODE(0, inside.value),
                  false};
    }
    if (ending.timedOut) {
        return "was stopped at its time limit";
    }
    if (ending.signal() != 0) {
        const char *name = sigabbrev_np(ending.signal());
        return std::string("was killed by SIG") + (name != nullptr ? name : "?");
    }
    return "exited with status " + std::to_string(ending.status());
}

// The cases each test program has, as it lists them.
const std::vector<std::string> &listedCases(Context &context, const std::string &program)
{
    if (const auto known = context.listed.find(program); known != context.listed.end()) {
        return known->second;
    }
    std::vector<std::string> &names = context.listed[program];
    const fs::path path = context.build / "tests" / program;
    const fs::path output = context.scratch / ("list-" + program + ".txt");
    const std::vector<std::string> argv = {path.string(), "--gtest_list_tests"};
    if (fs::exists(path) && runToEnd(argv, {"LABS_CENSUS"}, output, 60).status() == 0) {
        names = listedNames(readFile(output));
    }
    return names;
}

// A test program's run on some of the cases, in a folder of its own.
struct Unit {
    std::string program;
    std::vector<Outcome *> cases;
};

struct Run {
    Unit unit;
    fs::path folder;
    std::optional<process::Process> process; // none when it could not be started
    int status = -1; // in the sandbox: where its runner tells how the program ended
};

Run startRun(Context &context, const Deliverable &deliverable, const fs::path &build, Unit unit)
{
    // A folder of its own for every run, never one an earlier run wrote in.
    Run run{std::move(unit), context.scratch / ("run" + std::to_string(++context.folders)), {}, -1};
    const fs::path work = makeFolder(run.folder / "work");
    const fs::path tmp = makeFolder(run.folder / "tmp");
    std::string filter;
    for (const Outcome *outcome : run.unit.cases) {
        filter += (filter.empty() ? "" : ":") + outcome->what.name;
    }
    process::Command command;
    command.argv = {(context.build / "tests" / run.unit.program).string(),
                    "--gtest_filter=" + filter,
                    "--gtest_output=json:" + (work / "report.json").string()};
    command.env = {
        "LABS_CHECK=" + deliverable.kind + ":" + deliverable.file + "=" + build.string(),
        "LABS_CHECK_TIMEOUT=" + std::to_string(context.options.timeout),
        "LABS_CHECK_FOLDER=" + work.string(),
        "LABS_CHECK_SHARED=" + tmp.string(),
        "TEST_TMPDIR=" + tmp.string() + "/",
        "TMPDIR=" + tmp.string(),
        "LABS_CENSUS",
        "GTEST_COLOR=no",
    };
    const fs::path runner = context.build / "tools/labs-sandbox-run";
    process::Pipe status;
    if (deliverable.kind == "lib") {
        // The library is loaded into the test programs themselves: they run in the
        // sandbox whole, and find the library before ours.
        const char *path = std::getenv("LD_LIBRARY_PATH");
        command.env.push_back("LD_LIBRARY_PATH=" + build.parent_path().string() +
                              (path != nullptr && *path != '\0' ? std::string(":") + path : ""));
        command.env.emplace_back("LABS_CHECK_SANDBOX");
        sandbox::Sandbox box;
        // The build, the library, and the one folder of sources a test program
        // reads as it runs (the sweep's corpus of hostile inputs).
        box.readable = {context.build.string(), build.parent_path().string(),
                        (context.root / "tests/sweep").string()};
        box.writable = {work.string(), tmp.string()};
        box.workingDir = work.string();
        box.runner = runner.string();
        box.statusFd = 3;
        std::vector<std::string> argv = sandbox::command(box);
        argv.insert(argv.end(), command.argv.begin(), command.argv.end());
        command.argv = argv;
        // The sandbox outlives a stop sent to the group, so that its runner can report.
        command.holdStopSignals = true;
        status = process::makePipe();
        command.fds = {{3, status.write}};
    } else {
        command.env.push_back("LABS_CHECK_SANDBOX=" + runner.string());
    }
    const int limit = 60 + static_cast<int>(run.unit.cases.size()) * (context.options.timeout + 5);
    run.process = start(command, run.folder / "output.log", limit);
    process::closeFd(status.write);
    run.status = status.read;
    return run;
}

// The verdicts of an ended run from its report. A test program that dies (a library
// crashing inside it) takes the cases after the one that killed it along: each of those is
// queued to run again on its own.
void collect(Run &run, const process::Ending &ending, std::vector<Unit> &queue)
{
    std::map<std::string, Outcome *> byName;
    for (Outcome *outcome : run.unit.cases) {
        byName[outcome->what.name] = outcome;
    }
    readReport(readFile(run.folder / "work/report.json"), byName);
    sandbox::Ending inside;
    if (run.status >= 0) {
        inside = sandbox::readEnding(run.status);
        process::closeFd(run.status);
    }
    for (Outcome *outcome : run.unit.cases) {
        if (outcome->ran) {
            continue;
        }
        if (run.unit.cases.size() > 1) {
            queue.push_back({run.unit.program, {outcome}});
        } else {
            outcome->detail =
                "no result: the test program " + endingOf(ending, inside) +
                " before it reported on this case; its last output:\n" +
                capped(readFile(run.folder / "output.log").substr(0, 1u << 16), 12, 160);
        }
    }
}

} // namespace

process::Ending runToEnd(const std::vector<std::string> &argv, const std::vector<std::string> &env,
                         const fs::path &output, int seconds)
{
    process::Command command;
    command.argv = argv;
    command.env = env;
    std::optional<process::Process> started = start(command, output, seconds);
    std::optional<process::Ending> ending;
    while (!(ending = ended(started))) {
        usleep(5000);
    }
    return *ending;
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
    std::vector<Outcome> outcomes = outcomesOf(cases);
    // A program's cases in shards of about eight, so that both cores are busy.
    std::map<std::string, std::vector<Outcome *>> byProgram;
    for (Outcome &outcome : outcomes) {
        byProgram[outcome.what.program].push_back(&outcome);
    }
    std::vector<Unit> queue;
    for (const auto &[program, all] : byProgram) {
        const std::size_t shards = std::max<std::size_t>(1, all.size() / 8);
        const std::size_t perShard = (all.size() + shards - 1) / shards;
        for (std::size_t start = 0; start < all.size(); start += perShard) {
            const auto first = all.begin() + static_cast<long>(start);
            queue.push_back(
                {program,
                 {first, first + static_cast<long>(std::min(perShard, all.size() - start))}});
        }
    }
    const std::size_t cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    std::vector<Run> running;
    for (std::size_t next = 0; next < queue.size() || !running.empty(); usleep(10000)) {
        while (next < queue.size() && running.size() < cores) {
            running.push_back(startRun(context, deliverable, build, queue[next++]));
        }
        for (auto run = running.begin(); run != running.end();) {
            if (const std::optional<process::Ending> ending = ended(run->process)) {
                collect(*run, *ending, queue);
                run = running.erase(run);
            } else {
                ++run;
            }
        }
    }
    return outcomes;
}

std::vector<Outcome> checkModule(Context &context, const fs::path &module,
                                 const std::vector<Case> &cases,
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
    const std::string &kernels = context.options.kernel;
    if (kernels != "auto") {
        env.push_back("CHECK_KERNELS=" + (kernels == "both" ? "default debug" : kernels));
    }
    const fs::path log = out / "module-check.log";
    const process::Ending ending = runToEnd(
        {(context.root / "tools/check/module-check").string(), module.string(), out.string()}, env,
        log, 3600);
    if (ending.status() == 2) {
        const std::string text = readFile(log);
        throw UsageError{text.substr(0, text.find('\n'))};
    }
    if (ending.status() != 0) {
        throw Rejected{"the module could not be tried", capped(readFile(log))};
    }
    std::vector<Outcome> outcomes;
    for (const std::string kernel : {"default", "debug"}) {
        const std::string prefix = kernel == "debug" ? "debugging kernel: " : "";
        std::istringstream notes(readFile(out / (kernel + ".notes")));
        for (std::string line; std::getline(notes, line);) {
            if (!line.empty()) {
                buildNotes.push_back(prefix + line);
            }
        }
        const fs::path failed = out / (kernel + ".build-failed");
        const fs::path report = out / (kernel + ".json");
        const bool built = !fs::exists(failed);
        if (built && !fs::exists(report)) {
            continue;
        }
        std::vector<Outcome> these = outcomesOf(cases);
        std::map<std::string, Outcome *> byName;
        for (Outcome &outcome : these) {
            byName[outcome.what.name] = &outcome;
        }
        if (built) {
            readReport(readFile(report), byName);
        }
        for (Outcome &outcome : these) {
            outcome.used = true; // every case here boots the VM with the module
            if (!built) {
                outcome.ran = true;
                outcome.detail = "the module did not build for this kernel:\n" + readFile(failed);
            } else if (!outcome.ran) {
                outcome.detail = "no result: the VM's test program did not report on it\n";
            }
            outcome.what.name = prefix + outcome.what.name;
            outcomes.push_back(std::move(outcome));
        }
    }
    return outcomes;
}

} // namespace check
