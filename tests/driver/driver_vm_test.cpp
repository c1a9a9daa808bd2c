// Boots the lab's virtual machine with the qb_ioctl scenarios (qb_guest_test) and checks that
// each scenario ran and passed with no kernel report in its part of the log, that the run
// ended with its marker, and that the kernel log holds no report from the moment the module
// was first loaded. One boot runs them all; when the kernel crashes (or the VM hangs) in one,
// that one fails with the kernel's report and the VM boots again for those not run yet.
// The other files of this test program boot it with the fuzzer (vm_fuzz_test.cpp), through
// the front door (vm_front_door_test.cpp), on another kernel (vm_kernels_test.cpp) and for
// tools/check/module-check (vm_module_check_test.cpp). With VMLAB_DEBUG_KERNEL=1 every boot
// is on the debugging kernel (all cases are skipped while it is not built).
#include "scenario_log.h"
#include "vm_boot.h"

#include <map>

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

std::string joined(const std::vector<std::string> &lines)
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
    std::vector<std::string> tail = lines(part.output);
    if (tail.size() > reportLinesShown) {
        tail.erase(tail.begin(), tail.end() - reportLinesShown);
    }
    return how + where + "; the last lines it showed:\n" + joined(tail);
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
        const std::filesystem::path script = scratch.path / "scenarios";
        writeScript(script,
                    "exec /lab/qb_guest_test" + (filter.empty() ? "" : filter + "'") + "\n");
        runs.boots.push_back(boot(number == 1 ? name : name + "-" + std::to_string(number),
                                  script.string(),
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
class DriverScenario : public ::testing::TestWithParam<std::string>
{
};

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

} // namespace
} // namespace harness
