// What the runner does differently while ./labs check runs the cases against someone else's
// build (LABS_CHECK=KIND:NAME=PATH): that build's runs get a folder of their own, less time
// and the sandbox, and the test program's report tells how each ended.
// Also the census of the deliverables each case names (LABS_CENSUS).
#pragma once

#include "process.h"
#include "run_process.h"

#include <optional>
#include <string>
#include <vector>

namespace harness
{

// A run of a program as the check sees it, from before its start to after its end.
class CheckedRun
{
  public:
    // Notes program in the census and, when it is (or may load) the build under check,
    // limits options as the check asks and readies the sandbox.
    CheckedRun(const std::string &program, RunOptions &options);
    ~CheckedRun();
    CheckedRun(const CheckedRun &) = delete;
    CheckedRun &operator=(const CheckedRun &) = delete;

    // Puts the sandbox (when there is one) in front of the command and gives it the
    // descriptor its runner reports on.
    void wrap(process::Command &command) const;
    bool sandboxed() const
    {
        return !words.empty();
    }

    // Takes how the program ended into result (the sandbox's word, when it gave one, over
    // the ending seen here), and reports the run to the check (with its arguments and
    // standard input).
    void finish(const std::vector<std::string> &args, const std::string &input,
                const process::Ending &ending, RunResult &result);

  private:
    bool checked = false;
    std::chrono::milliseconds timeout{0};
    std::vector<std::string> words;
    process::Pipe status; // the sandbox's runner tells how the program ended here
};

// The end of the line of only children that starts at pid (the program a sandbox runs, once
// it has started), or -1 while that line still ends in the sandbox's own processes.
pid_t lastDescendant(pid_t pid);

} // namespace harness
