// ./labs check: runs the collection's own test cases against someone else's build of a
// deliverable (a program, a record library, the kernel module, or their sources) and reports
// on them. Everything the build supplies runs in the sandbox (sandbox.h); the verdicts are
// read here, outside it, from the test programs' reports. The cases and their kinds come
// from the table tests/check/cases.tsv.
#include "process.h"
#include "results.h"
#include "sandbox.h"
#include "table.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace check;

namespace
{

const char *const usage =
    "usage: ./labs check NAME PATH... [--strict] [--junit FILE] [--timeout SECONDS] "
    "[--kernel default|debug|both] | --dir DIR | --class DIR [--csv FILE]";

// A command line that cannot be followed: one line, status 2.
struct UsageError {
    std::string what;
};

// A build that cannot be checked (not ELF, the wrong machine, a build error): a failure
// of that deliverable, said with its reason.
struct Rejected {
    std::string what;
    std::string detail;
};

struct Options {
    std::string name;
    std::vector<std::string> paths;
    std::string junit, dir, classDir, csv, kernel = "auto";
    bool strict = false;
    int timeout = 10;
};

struct Context {
    fs::path root;  // the source tree
    fs::path build; // the build folder
    Table table;
    Options options;
    fs::path scratch; // this check's own folder, removed at the end
    std::map<std::string, std::vector<std::string>> listed; // program -> its cases
    int folders = 0; // the folders made so far for runs of test programs
};

Outcome outcomeOf(const Case &c)
{
    Outcome outcome;
    outcome.what = c;
    return outcome;
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
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

// The machine an ELF file is built for, by its header ("" for anything else).
std::string machineOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[20] = {};
    if (!in.read(reinterpret_cast<char *>(header), sizeof header) || std::memcmp(header,
                                                                                 "\x7f"
                                                                                 "ELF",
                                                                                 4) != 0) {
        return "";
    }
    const int machine =
        header[5] == 2 ? header[18] << 8 | header[19] : header[19] << 8 | header[18];
    switch (machine) {
    case 62:
        return "x86-64";
    case 40:
        return "ARM";
    case 3:
        return "i386";
    default:
        return "machine " + std::to_string(machine);
    }
}

std::string wantedMachine(const std::string &kind)
{
    return kind == "arm" ? "ARM" : kind == "i386" ? "i386" : "x86-64";
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

// Builds sources the way the collection builds the deliverable: each file by its own
// extension (C17 or C++20), the target's compiler and instruction-set flags, debug
// information, no optimisation; a record library as ours are (no start-up code, its API
// exported). A build error rejects the build with the compiler's messages.
fs::path compile(const Context &context, const Deliverable &deliverable,
                 const std::vector<std::string> &sources)
{
    const fs::path folder = context.scratch / "compiled";
    fs::create_directories(folder);
    const fs::path output = folder / deliverable.file;
    std::string cc = LABS_X86_64_CC, cxx = LABS_X86_64_CXX, targetFlags = LABS_X86_64_FLAGS;
    if (deliverable.kind == "arm") {
        cc = LABS_ARM_CC, cxx = LABS_ARM_CXX, targetFlags = LABS_ARM_FLAGS;
    } else if (deliverable.kind == "i386") {
        cc = LABS_I386_CC, cxx = LABS_I386_CXX, targetFlags = LABS_I386_FLAGS;
    }
    std::vector<std::string> flags = words(targetFlags + " " + LABS_EXAMPLE_OPTIONS);
    std::vector<std::string> includes, libraries;
    if (deliverable.kind == "lib") {
        const auto library = words(std::string("-fPIC ") + LABS_RECORD_LIBRARY_OPTIONS);
        flags.insert(flags.end(), library.begin(), library.end());
        for (const char *dir : {"array", "member", "common", "standins/vecbox"}) {
            includes.push_back("-I" + (context.root / dir).string());
        }
        if (deliverable.file == "libmember.so") {
            libraries = {"-L" + (context.build / "lib").string(), "-lvecbox"};
        }
    }
    if (deliverable.file == "optionTest7") {
        includes.push_back("-I" + (context.root / "standins/minmax").string());
        libraries = {"-L" + (context.build / "lib").string(), "-lminmax", "-Wl,-z,now"};
    }
    const fs::path log = folder / "build.log";
    std::vector<std::string> objects;
    bool anyCpp = false;
    for (const std::string &source : sources) {
        const bool isC = source.ends_with(".c");
        anyCpp = anyCpp || !isC;
        const fs::path object = folder / (fs::path(source).filename().string() + ".o");
        std::vector<std::string> argv = {isC ? cc : cxx};
        argv.push_back(isC ? "-std=c17" : "-std=c++20");
        argv.insert(argv.end(), flags.begin(), flags.end());
        argv.insert(argv.end(), includes.begin(), includes.end());
        argv.insert(argv.end(), {"-c", source, "-o", object.string()});
        const fs::path messages = folder / "compile.log";
        const int status = runToEnd(argv, {}, messages, 180);
        std::ofstream(log, std::ios::app) << readFile(messages);
        if (!succeeded(status)) {
            throw Rejected{"the build failed", readFile(log)};
        }
        objects.push_back(object.string());
    }
    std::vector<std::string> argv = {anyCpp ? cxx : cc};
    argv.insert(argv.end(), flags.begin(), flags.end());
    if (deliverable.kind == "lib") {
        const auto link = words(std::string("-shared ") + LABS_RECORD_LIBRARY_LINK_OPTIONS);
        argv.insert(argv.end(), link.begin(), link.end());
    }
    argv.insert(argv.end(), objects.begin(), objects.end());
    argv.insert(argv.end(), {"-o", output.string()});
    argv.insert(argv.end(), libraries.begin(), libraries.end());
    const fs::path messages = folder / "link.log";
    if (!succeeded(runToEnd(argv, {}, messages, 180))) {
        throw Rejected{"the build failed", readFile(log) + readFile(messages)};
    }
    return output;
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

// Runs the cases of a program or library build: each test program with its cases, a few
// at a time, and reads their reports.
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

// The kernel module: built and tried in the lab's VM by tools/check/module-check, on
// Debian's kernel and (once built) the debugging kernel; each kernel's cases are its own.
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

// One deliverable's check: what was checked, its outcomes and tally.
struct Checked {
    std::string name;
    std::string path;
    std::vector<Outcome> outcomes;
    Tally tally;
    std::string rejected; // why the build could not be checked ("" when it was)
};

std::string xmlEscaped(const std::string &text)
{
    std::string result;
    for (const unsigned char c : text) {
        switch (c) {
        case '&':
            result += "&amp;";
            break;
        case '<':
            result += "&lt;";
            break;
        case '>':
            result += "&gt;";
            break;
        case '"':
            result += "&quot;";
            break;
        default:
            if (c < 0x20 && c != '\n' && c != '\t') {
                result += "?";
            } else {
                result += static_cast<char>(c);
            }
        }
    }
    return result;
}

void writeJunit(const fs::path &file, const std::vector<Checked> &all, bool strict)
{
    std::ofstream out(file);
    int tests = 0, failures = 0;
    for (const Checked &checked : all) {
        tests += checked.tally.passed + checked.tally.failed;
        failures += checked.tally.failed;
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites tests=\"" << tests
        << "\" failures=\"" << failures << "\">\n";
    for (const Checked &checked : all) {
        out << "  <testsuite name=\"labs check " << xmlEscaped(checked.name) << "\" tests=\""
            << checked.tally.passed + checked.tally.failed << "\" failures=\""
            << checked.tally.failed << "\">\n";
        if (!checked.rejected.empty()) {
            out << "    <testcase name=\"build\" classname=\"" << xmlEscaped(checked.name)
                << "\">\n      <failure message=\"" << xmlEscaped(checked.rejected)
                << "\"/>\n    </testcase>\n";
        }
        for (const Outcome &outcome : checked.outcomes) {
            const Verdict verdict = verdictOf(outcome, strict);
            if (verdict == Verdict::unused) {
                continue;
            }
            out << "    <testcase name=\"" << xmlEscaped(outcome.what.name) << "\" classname=\""
                << xmlEscaped(checked.name) << "\">";
            if (verdict == Verdict::fail) {
                out << "\n      <failure message=\"" << kindName(outcome.what.kind) << "\">"
                    << xmlEscaped(capped(outcome.detail)) << "</failure>\n    ";
            } else if (verdict == Verdict::note) {
                out << "\n      <skipped message=\"note (" << kindName(outcome.what.kind)
                    << "): " << xmlEscaped(outcome.what.note) << "\"/>\n    ";
            } else if (verdict == Verdict::skip) {
                out << "\n      <skipped/>\n    ";
            }
            out << "</testcase>\n";
        }
        out << "  </testsuite>\n";
    }
    out << "</testsuites>\n";
}

// Checks one deliverable from its build or sources, printing the report.
Checked checkOne(Context &context, const std::string &name, const std::vector<std::string> &paths,
                 std::ostream &out, bool inFolder = false)
{
    const Deliverable *deliverable = context.table.find(name);
    if (deliverable == nullptr) {
        throw UsageError{"no checks for '" + name + "' (see ./labs list)"};
    }
    Checked checked{name, paths.empty() ? "" : paths[0], {}, {}, ""};
    for (const std::string &path : paths) {
        if (!fs::exists(path)) {
            throw UsageError{path + ": no such file"};
        }
    }
    const std::vector<Case> cases = selectedCases(context, *deliverable);
    try {
        if (deliverable->kind == "ko") {
            if (paths.size() != 1) {
                throw UsageError{"name the module's .ko file or its folder"};
            }
            std::vector<std::string> notes;
            checked.outcomes =
                checkModule(context, *deliverable, fs::absolute(paths[0]), cases, notes);
            checked.tally = report(out, checked.outcomes, context.options.strict);
            for (const std::string &note : notes) {
                out << "  build note: " << note << '\n';
            }
            return checked;
        }
        const bool sources = std::all_of(paths.begin(), paths.end(), [](const std::string &p) {
            return p.ends_with(".c") || p.ends_with(".cpp");
        });
        if (paths.size() > 1 && !sources) {
            throw UsageError{"too many arguments: one build, or its .c and .cpp sources"};
        }
        fs::path build = fs::absolute(paths[0]);
        if (sources) {
            std::vector<std::string> absolute;
            for (const std::string &p : paths) {
                absolute.push_back(fs::absolute(p).string());
            }
            build = compile(context, *deliverable, absolute);
        } else {
            const std::string machine = machineOf(build);
            if (machine.empty()) {
                throw Rejected{paths[0] + " is not an ELF program or library", ""};
            }
            if (machine != wantedMachine(deliverable->kind)) {
                throw Rejected{paths[0] + " is built for " + machine + ", " + name + " needs " +
                                   wantedMachine(deliverable->kind),
                               ""};
            }
        }
        // The build under check is a copy in a folder of its own that the sandbox shows.
        const fs::path copy = makeFolder(context.scratch / "build") / deliverable->file;
        fs::copy_file(build, copy, fs::copy_options::overwrite_existing);
        fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        checked.outcomes = runCases(context, *deliverable, copy, cases);
        checked.tally = report(out, checked.outcomes, context.options.strict);
    } catch (const Rejected &rejected) {
        if (rejected.detail.empty() && !inFolder) {
            throw UsageError{rejected.what}; // a file that is not such a build at all
        }
        out << "labs check: " << rejected.what << (rejected.detail.empty() ? "\n" : ":\n")
            << capped(rejected.detail, 60, 240) << "0 passed, 1 failed\n";
        checked.rejected = rejected.what;
        checked.tally = {0, 1, 0};
    }
    return checked;
}

// The deliverables in a folder, by name: a build named after the deliverable or after the
// file it is built as, its single source NAME.c or NAME.cpp, or a folder NAME/ of sources
// (for the module, its Kbuild folder).
std::vector<std::pair<std::string, std::vector<std::string>>> found(const Context &context,
                                                                    const fs::path &dir)
{
    std::set<std::string> names;
    for (const Deliverable &d : context.table.deliverables) {
        names.insert(d.name);
    }
    std::vector<std::pair<std::string, std::vector<std::string>>> result;
    for (const Deliverable &d : context.table.deliverables) {
        std::vector<std::string> paths;
        const fs::path named = dir / d.name;
        if (fs::is_directory(named)) {
            if (d.kind == "ko") {
                paths.push_back(named.string());
            } else {
                for (const auto &entry : fs::directory_iterator(named)) {
                    const std::string extension = entry.path().extension().string();
                    if (entry.is_regular_file() && (extension == ".c" || extension == ".cpp")) {
                        paths.push_back(entry.path().string());
                    }
                }
                std::sort(paths.begin(), paths.end());
                if (paths.empty()) {
                    paths.push_back(named.string()); // reported as what it is
                }
            }
        } else if (fs::is_regular_file(named)) {
            paths.push_back(named.string());
        } else if (fs::is_regular_file(dir / (d.name + ".c"))) {
            paths.push_back((dir / (d.name + ".c")).string());
        } else if (fs::is_regular_file(dir / (d.name + ".cpp"))) {
            paths.push_back((dir / (d.name + ".cpp")).string());
        } else if (d.file != d.name && !names.contains(d.file) &&
                   fs::is_regular_file(dir / d.file)) {
            paths.push_back((dir / d.file).string());
        }
        if (!paths.empty()) {
            result.emplace_back(d.name, paths);
        }
    }
    return result;
}

// Every deliverable found in a folder; a build that cannot be checked fails that
// deliverable and the check goes on.
std::vector<Checked> checkFolder(Context &context, const fs::path &dir, std::ostream &out)
{
    std::vector<Checked> all;
    for (const auto &[name, paths] : found(context, dir)) {
        out << "=== " << name << " (" << paths[0] << (paths.size() > 1 ? " ..." : "") << ")\n";
        try {
            all.push_back(checkOne(context, name, paths, out, true));
        } catch (const UsageError &error) {
            out << "labs check: " << error.what << "\n0 passed, 1 failed\n";
            all.push_back({name, paths[0], {}, {0, 1, 0}, error.what});
        }
        out.flush();
    }
    return all;
}

std::string cell(const Checked &checked)
{
    std::string text = std::to_string(checked.tally.passed) + "/" +
                       std::to_string(checked.tally.passed + checked.tally.failed);
    if (checked.tally.notes > 0) {
        text += " (" + std::to_string(checked.tally.notes) + ")";
    }
    return text;
}

int checkClass(Context &context, const fs::path &classDir)
{
    std::vector<fs::path> students;
    for (const auto &entry : fs::directory_iterator(classDir)) {
        if (entry.is_directory()) {
            students.push_back(entry.path());
        }
    }
    std::sort(students.begin(), students.end());
    std::vector<std::map<std::string, Checked>> rows;
    std::set<std::string> seen;
    for (const fs::path &student : students) {
        std::ostringstream ignored;
        std::map<std::string, Checked> row;
        for (Checked &checked : checkFolder(context, student, ignored)) {
            seen.insert(checked.name);
            row[checked.name] = std::move(checked);
        }
        rows.push_back(std::move(row));
        std::cerr << "checked " << student.filename().string() << '\n';
    }
    std::vector<std::string> columns;
    for (const Deliverable &d : context.table.deliverables) {
        if (seen.contains(d.name)) {
            columns.push_back(d.name);
        }
    }
    if (columns.empty()) {
        throw UsageError{"no deliverable found in the folders of " + classDir.string()};
    }
    // The terminal's table: a column per deliverable, passed/total of the graded cases and
    // the notes in parentheses.
    std::vector<std::vector<std::string>> table = {{"student"}};
    table[0].insert(table[0].end(), columns.begin(), columns.end());
    std::ostringstream csv;
    csv << "student";
    for (const std::string &column : columns) {
        csv << ',' << column << ',' << column << " notes";
    }
    csv << '\n';
    for (std::size_t s = 0; s < students.size(); ++s) {
        std::vector<std::string> line = {students[s].filename().string()};
        csv << students[s].filename().string();
        for (const std::string &column : columns) {
            const auto at = rows[s].find(column);
            if (at == rows[s].end()) {
                line.emplace_back("-");
                csv << ",-,-";
            } else {
                line.push_back(cell(at->second));
                csv << ',' << at->second.tally.passed << '/'
                    << at->second.tally.passed + at->second.tally.failed << ','
                    << at->second.tally.notes;
            }
        }
        csv << '\n';
        table.push_back(line);
    }
    std::vector<std::size_t> widths(table[0].size(), 0);
    for (const auto &line : table) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], line[i].size());
        }
    }
    for (const auto &line : table) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size()) {
                text += std::string(widths[i] - line[i].size() + 2, ' ');
            }
        }
        std::cout << text << '\n';
    }
    std::cout << "passed/total of the cases the description states; (N): notes, cases where "
                 "the collection\nmends the description or the choice is left to the student, "
                 "not counted\n";
    if (!context.options.csv.empty()) {
        std::ofstream(context.options.csv) << csv.str();
    }
    return 0;
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char *what) {
            if (i + 1 >= argc) {
                throw UsageError{arg + " needs " + what};
            }
            return std::string(argv[++i]);
        };
        if (arg == "--junit") {
            options.junit = value("a file");
        } else if (arg == "--dir") {
            options.dir = value("a folder");
        } else if (arg == "--class") {
            options.classDir = value("a folder");
        } else if (arg == "--csv") {
            options.csv = value("a file");
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--kernel") {
            options.kernel = value("default, debug or both");
            if (options.kernel != "default" && options.kernel != "debug" &&
                options.kernel != "both") {
                throw UsageError{"--kernel takes default, debug or both"};
            }
        } else if (arg == "--timeout") {
            const std::string seconds = value("a number of seconds");
            if (seconds.empty() || seconds.size() > 4 ||
                seconds.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(seconds) == 0) {
                throw UsageError{"--timeout needs a number of seconds"};
            }
            options.timeout = std::stoi(seconds);
        } else if (arg.starts_with("-")) {
            throw UsageError{"unknown option '" + arg + "'"};
        } else if (options.name.empty()) {
            options.name = arg;
        } else {
            options.paths.push_back(arg);
        }
    }
    const int modes = !options.dir.empty() + !options.classDir.empty() + !options.name.empty();
    if (modes != 1 || (!options.name.empty() && options.paths.empty())) {
        throw UsageError{modes == 0 || (!options.name.empty() && options.paths.empty())
                             ? "name a deliverable and a build of it"
                             : "one of NAME PATH, --dir or --class"};
    }
    if (!options.dir.empty() && !fs::is_directory(options.dir)) {
        throw UsageError{options.dir + ": no such folder"};
    }
    if (!options.classDir.empty() && !fs::is_directory(options.classDir)) {
        throw UsageError{options.classDir + ": no such folder"};
    }
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    Context context;
    try {
        context.options = parse(argc, argv);
        const char *root = std::getenv("LABS_ROOT");
        const char *build = std::getenv("LABS_BUILD_DIR");
        if (root == nullptr || build == nullptr) {
            throw UsageError{"run it as ./labs check"};
        }
        context.root = fs::weakly_canonical(fs::absolute(root));
        context.build = fs::weakly_canonical(fs::absolute(build));
        context.table = readTable((context.root / "tests/check/cases.tsv").string());
        std::string why;
        if (!sandbox::available(why)) {
            std::cerr << "labs check: no sandbox to run someone else's code in: " << why << '\n';
            return 2;
        }
    } catch (const UsageError &error) {
        std::cerr << "labs check: " << error.what << " (" << usage << ")\n";
        return 2;
    } catch (const std::exception &error) {
        std::cerr << "labs check: " << error.what() << '\n';
        return 2;
    }
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/labs-check.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::cerr << "labs check: cannot make a scratch folder: " << std::strerror(errno) << '\n';
        return 1;
    }
    context.scratch = pattern;
    // The scratch folder goes however the check ends: a stop from the terminal included.
    static std::string scratchToRemove = context.scratch.string();
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(sig, [](int sig) {
            std::error_code ignored;
            fs::remove_all(scratchToRemove, ignored);
            std::signal(sig, SIG_DFL);
            raise(sig);
        });
    }
    int status = 0;
    try {
        std::vector<Checked> all;
        if (!context.options.classDir.empty()) {
            status = checkClass(context, context.options.classDir);
        } else if (!context.options.dir.empty()) {
            all = checkFolder(context, context.options.dir, std::cout);
            Tally total;
            for (const Checked &checked : all) {
                total.passed += checked.tally.passed;
                total.failed += checked.tally.failed;
                total.notes += checked.tally.notes;
            }
            std::cout << "=== all: " << total.passed << " passed, " << total.failed << " failed";
            if (total.notes > 0) {
                std::cout << ", " << total.notes << " notes";
            }
            std::cout << '\n';
            status = all.empty() ? 2 : total.failed > 0 || total.passed == 0 ? 1 : 0;
            if (all.empty()) {
                std::cerr << "labs check: no deliverable found in " << context.options.dir << '\n';
            }
        } else {
            all.push_back(
                checkOne(context, context.options.name, context.options.paths, std::cout));
            const Tally &tally = all.back().tally;
            status = tally.failed > 0 || tally.passed == 0 ? 1 : 0;
        }
        if (!context.options.junit.empty()) {
            writeJunit(context.options.junit, all, context.options.strict);
        }
    } catch (const UsageError &error) {
        std::cerr << "labs check: " << error.what << '\n';
        status = 2;
    } catch (const std::exception &error) {
        std::cerr << "labs check: " << error.what() << '\n';
        status = 1;
    }
    std::error_code ignored;
    if (std::getenv("LABS_CHECK_KEEP") == nullptr) { // kept for a look at what the cases wrote
        fs::remove_all(context.scratch, ignored);
    } else {
        std::cerr << "labs check: kept " << context.scratch.string() << '\n';
    }
    return status;
}
