// The module under the fuzzer in the lab's VM: random calls from several processes, each
// result, the kernel log and the buffer checked by the fuzzer itself (DriverFuzz), and on the
// debugging kernel, faulty copies of the module that its instruments must catch (BrokenModule).
#include "vm_boot.h"

#include <iostream>

namespace harness
{
namespace
{

// A guest script that runs the fuzzer with the given arguments.
std::string fuzzScript(const std::filesystem::path &folder, const std::string &arguments)
{
    writeScript(folder / "fuzz", "exec /lab/qb_fuzz " + arguments + "\n");
    return (folder / "fuzz").string();
}

// Several processes make random calls for 20 s (or QB_FUZZ_SECONDS); the fuzzer itself checks
// every result, the kernel log's lines and the buffer at the end. QB_FUZZ_SEED=N replays the
// seed N it printed.
TEST(DriverFuzz, RandomCallsFromSeveralProcessesAllGiveWhatTheDeviceMustGive)
{
    const Scratch scratch;
    const char *seconds = std::getenv("QB_FUZZ_SECONDS");
    const char *seed = std::getenv("QB_FUZZ_SEED");
    const std::string arguments = std::string("--seconds ") +
                                  (seconds != nullptr ? seconds : "20") +
                                  (seed != nullptr ? std::string(" --seed ") + seed : "");
    const VmRun run =
        boot("fuzz", fuzzScript(scratch.path, arguments), {"--add", testProgram("qb_fuzz")});
    std::cout << run.boot.out; // its seed and count of calls, kept in the test's log
    EXPECT_TRUE(run.boot.exited(0)) << shown(run);
    EXPECT_TRUE(run.boot.out.ends_with("qb_fuzz: the kernel log has no report\n")) << shown(run);
    EXPECT_EQ(kernelReportIn(fromFirstLoad(run.kernelLog)), nullptr) << run.kernelLog;
}

// A one-line fault a student could make in the module, and what the debugging kernel reports.
struct Fault {
    const char *name;
    const char *original;
    const char *faulty;
    std::vector<const char *> report;
};

void PrintTo(const Fault &fault, std::ostream *out)
{
    *out << fault.name;
}

class BrokenModule : public ::testing::TestWithParam<Fault>
{
};

// A faulty copy of the module, driven by the fuzzer on the debugging kernel: its
// instruments must report the fault, and the run must fail.
TEST_P(BrokenModule, IsReportedAndTheRunFails)
{
    if (!onDebugKernel()) {
        GTEST_SKIP() << "run on the debugging kernel (VMLAB_DEBUG_KERNEL=1)";
    }
    const Scratch scratch;
    ASSERT_TRUE(
        copyOfTheModule(scratch.path / "module", {{GetParam().original, GetParam().faulty}}));
    RunOptions options;
    options.timeout = std::chrono::seconds(240);
    const RunResult built =
        harness::run(source("vmlab/build-module"),
                     {(scratch.path / "module").string(), (scratch.path / "built").string(),
                      "--kdir", debugKernelTree()},
                     options);
    ASSERT_TRUE(built.exited(0)) << built.err << (built.timedOut ? "(timed out)" : "");

    const VmRun run =
        boot(std::string("broken-") + GetParam().name, fuzzScript(scratch.path, "--seconds 10"),
             {"--add", testProgram("qb_fuzz")},
             {"VMLAB_MODULE=" + (scratch.path / "built/qb_ioctl.ko").string()});
    EXPECT_FALSE(run.boot.exited(0)) << shown(run);
    for (const char *words : GetParam().report) {
        EXPECT_NE(shown(run).find(words), std::string::npos) << words << " not in\n" << shown(run);
    }
}

INSTANTIATE_TEST_SUITE_P(
    DebugKernel, BrokenModule,
    ::testing::Values(
        // The caller's bytes copied without the size check: the usercopy check sees a copy
        // larger than the staging buffer and warns, which panics the kernel.
        Fault{"copyWithoutTheSizeCheck",
              "if (count > QB_DATA_SIZE)\n\t\tstatus = -EINVAL;\n\telse if (copy_from_user",
              "if (copy_from_user",
              {"Kernel panic - not syncing: kernel: panic_on_warn set", "copy_overflow"}},
        // A terminating zero stored after the bytes: one past the end of data after an
        // 11-byte write. Debian's cloud kernel lets this pass unseen; UBSAN does not.
        Fault{"terminatorPastTheEnd",
              "memcpy(data, staged, count);",
              "{ memcpy(data, staged, count); data[count] = '\\0'; }",
              {"UBSAN: array-index-out-of-bounds", "index 11 is out of range for type 'char [11]'",
               "qb_write"}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace harness
