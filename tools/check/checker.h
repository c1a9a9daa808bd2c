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
    std::string path;
    std::vector<Outcome> outcomes;
    Tally tally;
    std::string rejected; // why the build could not be checked ("" when it was)
};

// Runs argv to its end with its output (and errors) in the file output, within seconds;
// returns its wait status (-1 when it was stopped at its time limit).
int runToEnd(const std::vector<std::string> &argv, const std::vector<std::string> &env,
             const fs::path &output, int seconds);
bool succeeded(int wstatus);

// The machine an ELF file is built for, by its header ("" for anything else), and the one a
// deliverable of kind needs.
std::string machineOf(const fs::path &path);
std::string wantedMachine(const std::string &kind);

// Builds sources the way the collection builds the deliverable: each file by its own
// extension (C17 or C++20), the target's compiler and instruction-set flags, debug
// information, no optimisation; a record library as ours are (no start-up code, its API
// exported). A build error rejects the build with the compiler's messages.
fs::path compile(const Context &context, const Deliverable &deliverable,
                 const std::vector<std::string> &sources);

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
std::vector<Outcome> checkModule(Context &context, const Deliverable &deliverable,
                                 const fs::path &module, const std::vector<Case> &cases,
                                 std::vector<std::string> &buildNotes);

// The JUnit XML report of every deliverable checked.
void writeJunit(const fs::path &file, const std::vector<Checked> &all, bool strict);

} // namespace check
