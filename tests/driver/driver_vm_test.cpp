// Boots the lab's virtual machine with the guest's programs that judge the module. The
// scenarios (qb_guest_test): each ran and passed with no kernel report in its part of the log,
// the run ended with its marker, and the kernel log holds no report from the moment the
// module was first loaded. One boot runs them all; when the kernel crashes (or the VM hangs)
// in one, that one fails with the kernel's report and the VM boots again for those not run
// yet. The fuzzer (qb_fuzz, DriverFuzz), and on the debugging kernel, faulty copies of the
// module its instruments must catch under the fuzzer (BrokenModule).
#include "scenario_log.h"
#include "vm_boot.h"

#include <iostream>
#include <map>
#include <span>

namespace harness
{
namespace
{

// The scenarios of qb_guest_test over as many boots as it took: the verdict of each (by the
// name it runs under in the guest) and every boot.
struct Verdict {
    bool passed = false;
    std::string detail; // why not
};

struct ScenarioRuns {
    std::vector<VmRun> boots;
    std::map<std::string, Verdict> verdicts;
    std::string stopped; // why no further boot was tried while some scenarios were left
};

// After a crash the VM boots again for the scenarios left, as long as the boots so far took
// less than this; each boot has its own time limit besides.
constexpr std::chrono::seconds rebootsStopAfter{600};

std::string joined(std::span<const std::string> lines)
{
    std::string text;
    for (const std::string &line : lines) {
        text += line + "\n";
    }
    return text;
}

// Why a boot stopped in the scenario of part, with the first lines of the kernel's report,
// or else the last lines the console showed.
std::string stoppedIn(const VmRun &run, const ScenarioPart &part, int number)
{
    const std::string how =
        run.console.find("VMLAB-END status=") != std::string::npos
            ? "the guest's program ended during this scenario"
        : run.boot.err.find("did not finish within") != std::string::npos || run.boot.timedOut
            ? "the VM hung during this scenario (it did not finish in time)"
        : part.report.empty() ? "the VM stopped during this scenario"
                              : "the kernel crashed during this scenario";
    const std::string where =
        ", in boot " + std::to_string(number) + " (its console and kernel log: " + run.logs + ")";
    if (!part.report.empty()) {
        return how + where + "; the first lines of the kernel's report:\n" + joined(part.report);
    }
    const std::vector<std::string> output = lines(part.output);
    return how + where + "; the last lines it showed:\n" +
           joined(std::span(output).last(std::min(output.size(), reportLinesShown)));
}

// Boots the VM with the scenarios, and again for those left after each boot that stopped
// in one of them: that one fails with the kernel's report, and the others keep their verdicts.
ScenarioRuns runScenarios(const std::string &name, const std::vector<std::string> &env)
{
    ScenarioRuns runs;
    const Scratch scratch;
    const auto started = std::chrono::steady_clock::now();
    for (int number = 1;; ++number) {
        // The first boot runs every scenario; a later one those without a verdict yet.
        std::string filter;
        for (const auto &[scenario, verdict] : runs.verdicts) {
            filter += (filter.empty() ? " '--gtest_filter=-" : ":") + scenario;
        }
        const std::string script =
            writeScript(scratch.path / "scenarios",
                        "exec /lab/qb_guest_test" + (filter.empty() ? "" : filter + "'") + "\n");
        runs.boots.push_back(boot(number == 1 ? name : name + "-" + std::to_string(number), script,
                                  {"--add", testProgram("qb_guest_test"), "--add-module",
                                   source("tests/driver/majors_hog")},
                                  env));
        const VmRun &run = runs.boots.back();
        const std::vector<ScenarioPart> parts = scenarioParts(run.console, run.kernelLog);
        const ScenarioPart *unfinished = nullptr;
        for (const ScenarioPart &part : parts) {
            Verdict &verdict = runs.verdicts[part.name];
            if (!part.finished) {
                unfinished = &part;
                verdict.detail = stoppedIn(run, part, number);
            } else if (!part.report.empty()) {
                verdict.detail = "a kernel report during this scenario:\n" + joined(part.report);
            } else {
                verdict.passed = part.passed;
                verdict.detail = part.output;
            }
        }
        if (unfinished == nullptr) {
            // Every scenario of the boot finished: the run is over (or never got that far).
            if (run.console.find("VMLAB-END status=") == std::string::npos) {
                runs.stopped = "boot " + std::to_string(number) +
                               " stopped outside the scenarios:\n" + shown(run);
            }
            return runs;
        }
        if (std::chrono::steady_clock::now() - started > rebootsStopAfter) {
            runs.stopped = "no boot after boot " + std::to_string(number) + ": the boots took " +
                           "longer than " + std::to_string(rebootsStopAfter.count()) + " s";
            return runs;
        }
    }
}

// The boots every scenario case looks at.
const ScenarioRuns &scenarioRuns()
{
    static const ScenarioRuns runs = runScenarios("scenarios", {});
    return runs;
}

TEST(DriverVm, GuestRunEndsWithItsMarkerAndEveryScenarioPassed)
{
    const ScenarioRuns &runs = scenarioRuns();
    std::string failures;
    for (const auto &[scenario, verdict] : runs.verdicts) {
        failures += verdict.passed ? "" : scenario + ": " + verdict.detail;
    }
    EXPECT_EQ(failures, "");
    EXPECT_EQ(runs.stopped, "");
    EXPECT_EQ(runs.boots.size(), 1u) << "the VM stopped in a scenario and booted again";
    const VmRun &run = runs.boots.back();
    ASSERT_FALSE(run.boot.timedOut) << shown(run);
    EXPECT_TRUE(run.boot.exited(0)) << shown(run);
    EXPECT_NE(run.boot.out.find("[  PASSED  ] "), std::string::npos) << shown(run);
    EXPECT_EQ(run.boot.out.find("[  FAILED  ]"), std::string::npos) << shown(run);
}

// Each scenario asked for, by the name it runs under in the guest.
using DriverScenario = ::testing::TestWithParam<std::string>;

TEST_P(DriverScenario, RanAndPassed)
{
    const ScenarioRuns &runs = scenarioRuns();
    const auto verdict = runs.verdicts.find(GetParam());
    ASSERT_NE(verdict, runs.verdicts.end())
        << GetParam() << " did not run: " << runs.stopped << "\n"
        << shown(runs.boots.back());
    EXPECT_TRUE(verdict->second.passed)
        << GetParam() << " did not pass: " << verdict->second.detail;
}

INSTANTIATE_TEST_SUITE_P(InTheVm, DriverScenario, ::testing::ValuesIn(guestScenarios()),
                         [](const auto &info) { return caseName(info.param); });

// Of every boot: a crashed one has only its console, which shows the kernel's report.
TEST(DriverVm, KernelLogHoldsNoReportOnceTheModuleWasLoaded)
{
    const ScenarioRuns &runs = scenarioRuns();
    bool loaded = false;
    for (const VmRun &run : runs.boots) {
        loaded = loaded || run.kernelLog.find("QB Module is up... ") != std::string::npos;
    }
    ASSERT_TRUE(loaded) << shown(runs.boots.back());
    for (const VmRun &run : runs.boots) {
        EXPECT_EQ(kernelReportIn(fromFirstLoad(run.kernelLog)), nullptr)
            << "a report in the kernel log:\n"
            << fromFirstLoad(run.kernelLog);
        EXPECT_NE(run.console.find("VMLAB-END status="), std::string::npos) << "the VM stopped:\n"
                                                                            << run.console;
    }
}

// One boot running the fuzzer with the given arguments.
VmRun fuzz(const std::string &run, const std::string &arguments, std::vector<std::string> env = {})
{
    const Scratch scratch;
    const std::string script =
        writeScript(scratch.path / "fuzz", "exec /lab/qb_fuzz " + arguments + "\n");
    return boot(run, script, {"--add", testProgram("qb_fuzz")}, std::move(env));
}

// Several processes make random calls for 20 s (or QB_FUZZ_SECONDS); the fuzzer itself checks
// every result, the kernel log's lines and the buffer at the end. QB_FUZZ_SEED=N replays the
// seed N it printed.
TEST(DriverFuzz, RandomCallsFromSeveralProcessesAllGiveWhatTheDeviceMustGive)
{
    const char *seconds = std::getenv("QB_FUZZ_SECONDS");
    const char *seed = std::getenv("QB_FUZZ_SEED");
    const std::string arguments = std::string("--seconds ") +
                                  (seconds != nullptr ? seconds : "20") +
                                  (seed != nullptr ? std::string(" --seed ") + seed : "");
    const VmRun run = fuzz("fuzz", arguments);
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

using BrokenModule = ::testing::TestWithParam<Fault>;

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
    const RunResult built =
        harness::run(source("vmlab/build-module"),
                     {(scratch.path / "module").string(), (scratch.path / "built").string(),
                      "--kdir", debugKernelTree()},
                     labsOptions());
    ASSERT_TRUE(built.exited(0)) << built.err << (built.timedOut ? "(timed out)" : "");

    const VmRun run = fuzz(std::string("broken-") + GetParam().name, "--seconds 10",
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
