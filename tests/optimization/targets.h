// The three targets of the optimisation demos: where each one's programs are and what runs
// them here (nothing for x86-64, qemu-user for the 32-bit ones).
#pragma once

#include "cross_build.h"
#include "run_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace harness
{

struct Target {
    std::string name; // as in the catalog: x86-64, arm, i386
    std::string binDir;
    std::vector<std::string> emulator;
};

inline const Target x86_64{"x86-64", LABS_BIN_DIR, {}};
inline const Target arm{"arm", LABS_ARM_BIN_DIR, LABS_ARM_EMULATOR};
inline const Target i386{"i386", LABS_I386_BIN_DIR, LABS_I386_EMULATOR};

inline std::string programPath(const Target &target, const std::string &program)
{
    const std::string kind = target.name == "x86-64" ? "bin" : target.name;
    return checked(kind, program, target.binDir + "/" + program);
}

// Runs a demo on its target. A missing cross-built program fails the test with the fix.
inline RunResult runOn(const Target &target, const std::string &program, RunOptions options = {})
{
    const std::string path = programPath(target, program);
    if (!std::filesystem::exists(path)) {
        ADD_FAILURE() << path
                      << " is not built: run `make build` (it builds the arm and i386 presets)";
        return {};
    }
    options.prefix = target.emulator;
    return run(path, {}, options);
}

} // namespace harness
