// What the parts of ./labs check share: the command line, the check's context, what one
// deliverable's check came to, and the steps that building and running the cases take.
#pragma once

#include "process.h"
#include "results.h"
#include "table.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace check
{

namespace fs = std::filesystem;
using process::readFile;

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

// One deliverable's check: what was checked, its outcomes and tally.
struct Checked {
    std::string name;
    std::vector<Outcome> outcomes;
    Tally tally;
    std::string rejected; // why the build could not be checked ("" when it was)
};

// Runs argv to its end with its output (and errors) in the file output, within seconds, and
// kills whatever it left behind; an ending with status 127 when it cannot be started.
process::Ending runToEnd(const std::vector<std::string> &argv, const std::vector<std::string> &env,
                         const fs::path &output, int seconds);

// The build under check, made from the paths given (a build, or its .c and .cpp sources):
// a copy in a folder of its own that the sandbox shows. A file that is no build for the
// deliverable's machine, or sources that do not build, are rejected.
fs::path buildUnderCheck(const Context &context, const Deliverable &deliverable,
                         const std::vector<std::string> &paths);

// A folder the code under check may write in.
fs::path makeFolder(const fs::path &path);

// The deliverable's cases that are run (every kind but build).
std::vector<Case> selectedCases(Context &context, const Deliverable &deliverable);

// Runs the cases of a program or library build: each test program with its cases, a few
// at a time, and reads their reports.
std::vector<Outcome> runCases(Context &context, const Deliverable &deliverable,
                              const fs::path &build, const std::vector<Case> &cases);

// The kernel module: built and tried in the lab's VM by tools/check/module-check, on
// Debian's kernel and (once built) the debugging kernel; each kernel's cases are its own.
std::vector<Outcome> checkModule(Context &context, const fs::path &module,
                                 const std::vector<Case> &cases,
                                 std::vector<std::string> &buildNotes);

// The JUnit XML report of every deliverable checked.
void writeJunit(const fs::path &file, const std::vector<Checked> &all, bool strict);

} // namespace check
