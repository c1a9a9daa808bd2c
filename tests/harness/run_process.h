// Runs a program with given standard input and gives back its output as exact bytes.
// Used by every black-box test: NUL bytes, tabs and trailing blanks all survive.
#pragma once

#include "piped.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace harness
{

// Of process::PipedOptions: input, timeout, stopAfterOutput, stopSignal, outputLimit and
// outputFile.
struct RunOptions : process::PipedOptions {
    std::vector<std::string> env; // "NAME=value" entries added to (or replacing in) the environment
    std::string workingDir;       // empty: the test's own working directory
    std::vector<std::string> prefix; // run the program behind this, e.g. {"qemu-arm", "-L", "..."}
    bool checkSanitizers = true;     // fail the current test when a sanitizer reports on stderr
};

struct RunResult {
    std::string out;       // standard output, exact bytes
    std::string err;       // standard error, exact bytes
    int status = -1;       // exit status when the program exited, else -1
    int signal = 0;        // the signal that ended it, else 0
    bool timedOut = false; // killed because the time limit ran out
    bool stopped = false;  // stopped by us after stopAfterOutput (or outputLimit) bytes

    bool exited(int expected) const
    {
        return signal == 0 && status == expected;
    }
};

// Runs program (a path, or a name looked up in PATH) with args.
RunResult run(const std::string &program, const std::vector<std::string> &args = {},
              const RunOptions &options = {});

// Shorthand for the common case: a program given only its standard input.
RunResult runWithInput(const std::string &program, const std::string &input);

// Runs program on a pseudo-terminal that echoes and translates nothing, and types each of
// answers (with a line break) only once the program is blocked reading its standard input,
// as told by /proc/PID/syscall (so for native x86-64 programs only, not under an emulator).
// out is then the transcript a person sees: each answer right where it was asked for,
// standard error mixed in; err stays empty. A program that asks once more after the last
// answer is killed (stopped). Of options, env, workingDir and timeout apply.
RunResult runTyped(const std::string &program, const std::vector<std::string> &args,
                   const std::vector<std::string> &answers, const RunOptions &options = {});

// Where the built deliverables are. With LABS_CHECK=KIND:NAME=PATH in the environment
// (./labs check), the deliverable NAME of KIND (bin, lib, arm, i386) is PATH instead, and
// run() starts it behind the words of LABS_CHECK_SANDBOX.
std::string checked(const std::string &kind, const std::string &name, const std::string &built);
// True while ./labs check runs the case against someone else's build: a case that asks what
// the description does not (an argument callers must not pass, a value left undefined) is
// then skipped.
bool checkingAnotherBuild();

// A program linked against the record library NAME (found on the library path, where
// ./labs check puts a library under check first) is about to run.
void linkedLibrary(const std::string &name);
std::string bin(const std::string &name);         // build/<preset>/bin/NAME
std::string lib(const std::string &name);         // build/<preset>/lib/NAME
std::string source(const std::string &path);      // a file of the source tree
std::string testProgram(const std::string &name); // build/<preset>/tests/NAME: drivers and doubles

// True in the build made with AddressSanitizer and UndefinedBehaviorSanitizer.
constexpr bool sanitized = LABS_SANITIZED;

// Bytes shown one per character with escapes, for readable failure messages.
std::string visible(const std::string &bytes);

// Compares what a program wrote with what it must write. On a difference the message shows
// a few lines of both around the first one that differs ("expected", then "yours"), escaped
// as visible() does, with that line's number and its first differing byte marked.
::testing::AssertionResult sameOutput(const std::string &yours, const std::string &expected);

// The same as a check of the current case, failing it with that message alone.
#define EXPECT_SAME_OUTPUT(yours, expected)                                                        \
    do {                                                                                           \
        const ::testing::AssertionResult same = ::harness::sameOutput(yours, expected);            \
        if (!same) {                                                                               \
            ADD_FAILURE() << same.message();                                                       \
        }                                                                                          \
    } while (false)

// Splits text into lines at each '\n' (the line breaks are dropped; a last piece
// without a line break is kept).
std::vector<std::string> lines(const std::string &text);

} // namespace harness
