// What the host's tests of the module share: booting the lab's VM with a script and files of
// the build, its scratch and log folders, the debugging kernel's state, the guest's scenarios
// and copies of the module with faults put in.
#pragma once

#include "kernel_log.h"
#include "run_process.h"
#include "table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace harness
{

struct VmRun {
    RunResult boot;
    std::string kernelLog;
    std::string console; // everything the guest and the kernel showed on it
    std::string logs;    // the folder of both
};

using process::readFile;

// A scratch folder of its own, removed at the end.
struct Scratch {
    std::filesystem::path path;
    Scratch()
    {
        std::string name = (std::filesystem::temp_directory_path() / "labs-vm-XXXXXX").string();
        path = mkdtemp(name.data());
    }
    ~Scratch()
    {
        std::filesystem::remove_all(path);
    }
};

// Where a boot keeps its console and kernel log: a folder of its own under VMLAB_LOGS
// (./labs check gives each check its own), else under the build's folder.
inline std::string logsDir(const std::string &run)
{
    const char *logs = std::getenv("VMLAB_LOGS");
    const std::string dir = std::string(logs != nullptr ? logs : VM_LOGS) + "/" + run;
    std::filesystem::create_directories(dir);
    return dir;
}

inline bool onDebugKernel()
{
    const char *debug = std::getenv("VMLAB_DEBUG_KERNEL");
    return debug != nullptr && std::string(debug) == "1";
}

// The debugging kernel's build tree, or "" while it is not built.
inline std::string debugKernelTree()
{
    const RunResult tree = harness::run(source("vmlab/debug-kernel/build"), {"--if-built"});
    return tree.exited(0) ? tree.out.substr(0, tree.out.find('\n')) : "";
}

// On the debugging kernel, every case needs it built; building it takes minutes, so that is
// left to `make debug-kernel`.
class DebugKernelBuilt : public ::testing::Environment
{
  public:
    void SetUp() override
    {
        if (onDebugKernel() && debugKernelTree().empty()) {
            GTEST_SKIP()
                << "the debugging kernel is not built yet (build it once: make debug-kernel)";
        }
    }
};
inline const auto *const debugKernelBuilt =
    ::testing::AddGlobalTestEnvironment(new DebugKernelBuilt);

// How the front door is run here: on this build, as it is (nothing built first).
inline RunOptions labsOptions()
{
    RunOptions options;
    options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
    options.timeout = std::chrono::seconds(240);
    options.checkSanitizers = false;
    return options;
}

// One boot of the VM running FILE, with the given files and environment.
inline VmRun boot(const std::string &run, const std::string &file,
                  std::vector<std::string> arguments, std::vector<std::string> env = {})
{
    RunOptions options = labsOptions();
    options.env = std::move(env);
    const std::string logs = logsDir(run);
    arguments.insert(arguments.end(), {"--run", file, "--build", std::string(LABS_BIN_DIR) + "/..",
                                       "--logs", logs, "--timeout", "180"});
    VmRun result;
    result.boot = harness::run(source("vmlab/boot"), arguments, options);
    result.kernelLog = readFile(logs + "/kernel.log");
    result.console = readFile(logs + "/console.log");
    std::erase(result.console, '\r');
    result.logs = logs;
    return result;
}

// What the run printed (the console and kernel log too, when the VM itself failed), and
// the kernel log.
inline std::string shown(const VmRun &run)
{
    return run.boot.out + run.boot.err + run.kernelLog;
}

// The kernel log from the module's first load on (all of it when the load's lines were
// cleared, as the fuzzer clears them once they passed): boot-time lines are not the module's.
inline std::string fromFirstLoad(const std::string &kernelLog)
{
    const std::size_t firstLoad = kernelLog.find("QB Module is up... ");
    return firstLoad == std::string::npos ? kernelLog : kernelLog.substr(firstLoad);
}

// An executable shell script with the given body; its path.
inline std::string writeScript(const std::filesystem::path &file, const std::string &body)
{
    std::ofstream(file) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    return file.string();
}

// A copy of the module's sources in folder, each original text replaced by its faulty one;
// false (with a failure) when an original is not in the source.
inline bool copyOfTheModule(const std::filesystem::path &folder,
                            const std::vector<std::pair<std::string, std::string>> &faults)
{
    std::string text = readFile(source("driver/qb_ioctl.c"));
    bool found = true;
    for (const auto &[original, faulty] : faults) {
        const std::size_t at = text.find(original);
        EXPECT_NE(at, std::string::npos) << original;
        found = found && at != std::string::npos;
        if (at != std::string::npos) {
            text.replace(at, original.size(), faulty);
        }
    }
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "qb_ioctl.c") << text;
    std::filesystem::copy_file(source("driver/Kbuild"), folder / "Kbuild");
    return found;
}

// The scenarios of qb_guest_test by the names it runs them under, as it lists them (it is an
// x86-64 program, so it runs here too): a scenario added there is a case here as it is. When
// it lists none, a name that never runs stands in, so that its case fails.
inline const std::vector<std::string> &guestScenarios()
{
    static const std::vector<std::string> names = [] {
        const RunResult listing = run(testProgram("qb_guest_test"), {"--gtest_list_tests"});
        const std::vector<std::string> listed = check::listedNames(listing.out);
        return listing.exited(0) && !listed.empty()
                   ? listed
                   : std::vector<std::string>{"qb_guest_test lists no scenarios"};
    }();
    return names;
}

// The case of InTheVm/DriverScenario for a scenario: its name with '_' for other than letters
// and digits.
inline std::string caseName(std::string scenario)
{
    std::ranges::replace_if(
        scenario, [](unsigned char c) { return !std::isalnum(c); }, '_');
    return scenario;
}

} // namespace harness
