// Compiles a source for one target at one optimisation level, with debug information and
// the compiler's optimisation remarks, into a scratch folder.
#pragma once

#include "facts.h"

#include <stdexcept>
#include <string>

namespace explorer
{

// A compiler that refused the source: what it said is in what().
struct CompileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Seconds spent running the compiler and reading what it wrote, summed over calls.
struct Timing {
    double compiling = 0, reading = 0;
};

// Compiles sourcePath for target ("x86-64", "arm", "i386") at level.name ("-O0", ...) into
// folder, then reads the object into level (functions, variables) and the remarks the
// compiler wrote about its optimisations. includeDirs are added with -I.
void compileAndRead(const std::string &sourcePath, const std::string &target, Level &level,
                    const std::string &folder, const std::vector<std::string> &includeDirs,
                    Timing &timing);

// The targets the explorer knows, in the order it shows them.
const std::vector<std::string> &knownTargets();

} // namespace explorer
