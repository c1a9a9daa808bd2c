// Boots the lab's virtual machine with the qb_ioctl scenarios (qb_guest_test) and checks that
// each scenario ran and passed with no kernel report in its part of the log, that the run
// ended with its marker, and that the kernel log holds no report from the moment the module
// was first loaded. One boot runs them all; when the kernel crashes (or the VM hangs) in one,
// that one fails with the kernel's report and the VM boots again for those not run yet.
// DriverFuzz boots it with the fuzzer; FrontDoorSession runs `./labs run qb_ioctl` (its own
// boot) and checks the session it shows; LabsVm runs scripts through `./labs vm` and fetches
// the kernel image on a machine that cannot; ModuleCheck runs tools/check/module-check on
// faulty copies of the module. With VMLAB_DEBUG_KERNEL=1 every boot is on the debugging
// kernel (all cases are skipped while it is not built), and BrokenModule shows that its
// instruments catch a faulty copy of the module.
#include "kernel_log.h"
#include "run_process.h"
#include "scenario_log.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace harness
{
namespace
{

struct VmRun {
    RunResult boot;
    std::string kernelLog;
    std::string console; // everything the guest and the kernel showed on it
    std::string logs;    // the folder of both
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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
std::string logsDir(const std::string &run)
{
    const char *logs = std::getenv("VMLAB_LOGS");
    const std::string dir = std::string(logs != nullptr ? logs : VM_LOGS) + "/" + run;
    std::filesystem::create_directories(dir);
    return dir;
}

bool onDebugKernel()
{
    const char *debug = std::getenv("VMLAB_DEBUG_KERNEL");
    return debug != nullptr && std::string(debug) == "1";
}

// The debugging kernel's build tree, or "" while it is not built.
std::string debugKernelTree()
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
const auto *const debugKernelBuilt = ::testing::AddGlobalTestEnvironment(new DebugKernelBuilt);

// One boot of the VM running FILE, with the given files and environment.
VmRun boot(const std::string &run, const std::string &file, std::vector<std::string> arguments,
           std::vector<std::string> env = {})
{
    RunOptions options;
    options.timeout = std::chrono::seconds(240);
    options.checkSanitizers = false;
    options.env = std::move(env);
    const std::string logs = logsDir(run);
    for (std::string argument :
         {std::string("--run"), file, std::string("--build"), std::string(LABS_BIN_DIR) + "/..",
          std::string("--logs"), logs, std::string("--timeout"), std::string("180")}) {
        arguments.push_back(std::move(argument));
    }
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
std::string shown(const VmRun &run)
{
    return run.boot.out + run.boot.err + run.kernelLog;
}

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
        std::ofstream(script) << "#!/bin/sh\nexec /lab/qb_guest_test"
                              << (filter.empty() ? "" : filter + "'") << "\n";
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
class DriverScenario : public ::testing::TestWithParam<const char *>
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

INSTANTIATE_TEST_SUITE_P(
    InTheVm, DriverScenario,
    ::testing::Values("QbDevice.LoadLogsTwoLinesWithAPositiveMajorListedUnderQB",
                      "QbDevice.OpenAndCloseLogOneLineEach",
                      "QbDevice.WriteStoresAtByteZeroAndKeepsTheLaterBytes",
                      "QbDevice.ZeroBytesAreNeitherStoredNorCopied",
                      "QbDevice.ElevenByteReadRightAfterLoadGivesElevenZeroBytes",
                      "QbDevice.ElevenByteReadAfterHelloGivesHelloAndSixZeroBytes",
                      "QbDevice.ShorterReadsCopyOnlyTheirCount",
                      "Counts/QbOversized.ReadIsRefusedWithEinvalAndCopiesNothing/count12",
                      "Counts/QbOversized.WriteIsRefusedWithEinvalAndStoresNothing/count12",
                      "Counts/QbOversized.ReadIsRefusedWithEinvalAndCopiesNothing/count70000",
                      "Counts/QbOversized.WriteIsRefusedWithEinvalAndStoresNothing/count70000",
                      "QbDevice.ElevenBytesWithoutAZeroAreLoggedAsElevenAndNoMore",
                      "QbDevice.ReadsStartAtByteZeroWhateverThePosition",
                      "Commands/QbIoctl.LogsAndReturnsAsDecided/speedUp",
                      "Commands/QbIoctl.LogsAndReturnsAsDecided/speedDown",
                      "Commands/QbIoctl.LogsAndReturnsAsDecided/unknown0x4103",
                      "QbDevice.EveryMinorReachesTheSameBuffer",
                      "QbFaultingBuffer.WriteFromAnUnreadableBufferChangesNothing",
                      "QbFaultingBuffer.ReadIntoAnUnwritableBufferFails",
                      "QbDevice.UnloadLogsItsLineAndReleasesTheMajor",
                      "QbDevice.UnloadIsRefusedWhileAFileIsOpen",
                      "QbDevice.ConcurrentWritersNeverShowAMixedBuffer",
                      "QbModule.TwentyLoadAndUnloadCyclesAreClean",
                      "QbModule.RegistrationFailureFailsTheLoadAfterLoggingBothLines"),
    [](const auto &info) {
        std::string name;
        for (const char c : std::string(info.param)) {
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

// The kernel log from the module's first load on (all of it when the load's lines were
// cleared, as the fuzzer clears them once they passed): boot-time lines are not the module's.
std::string fromFirstLoad(const std::string &kernelLog)
{
    const std::size_t firstLoad = kernelLog.find("QB Module is up... ");
    return firstLoad == std::string::npos ? kernelLog : kernelLog.substr(firstLoad);
}

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

// A guest script that runs the fuzzer with the given arguments.
std::string fuzzScript(const std::filesystem::path &folder, const std::string &arguments)
{
    const std::filesystem::path script = folder / "fuzz";
    std::ofstream(script) << "#!/bin/sh\nexec /lab/qb_fuzz " << arguments << "\n";
    return script.string();
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
    std::string text = readFile(source("driver/qb_ioctl.c"));
    const std::size_t at = text.find(GetParam().original);
    ASSERT_NE(at, std::string::npos) << GetParam().original;
    text.replace(at, std::string(GetParam().original).size(), GetParam().faulty);
    std::filesystem::create_directory(scratch.path / "module");
    std::ofstream(scratch.path / "module/qb_ioctl.c") << text;
    std::filesystem::copy_file(source("driver/Kbuild"), scratch.path / "module/Kbuild");
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

// The session of the front door, run once for all its cases.
const RunResult &session()
{
    static const RunResult run = [] {
        RunOptions options;
        options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
        options.timeout = std::chrono::seconds(240);
        options.checkSanitizers = false;
        return harness::run(source("labs"), {"run", "qb_ioctl"}, options);
    }();
    return run;
}

TEST(FrontDoorSession, EndsWellAndShowsTheKernelLog)
{
    const RunResult &run = session();
    EXPECT_TRUE(run.exited(0)) << run.out << run.err;
    EXPECT_EQ(run.out.rfind("qb-vm# insmod /lab/qb_ioctl.ko\n", 0), 0u) << run.out;
    EXPECT_NE(run.err.find("vmlab: booting "), std::string::npos) << run.err;
    const std::size_t kernelLog =
        run.out.find("\n----- kernel log, from loading qb_ioctl on -----\n");
    ASSERT_NE(kernelLog, std::string::npos) << run.out;
    EXPECT_NE(run.out.find("] QB Module is up... \n", kernelLog), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("] The module is down...\n", kernelLog), std::string::npos) << run.out;
    EXPECT_EQ(kernelReportIn(run.out), nullptr) << "a kernel report in\n" << run.out;
}

using Piece = std::pair<const char *, std::string>; // a name, and the text the session shows

class FrontDoorSessionShows : public ::testing::TestWithParam<Piece>
{
};

TEST_P(FrontDoorSessionShows, ThisPiece)
{
    EXPECT_NE(session().out.find(GetParam().second), std::string::npos) << session().out;
}

INSTANTIATE_TEST_SUITE_P(
    FrontDoorSession, FrontDoorSessionShows,
    ::testing::Values(
        Piece{"loadAndNode",
              std::string("    kernel: QB Module is up... \n    kernel: major number=")},
        Piece{"readRightAfterLoad", std::string("qb-vm# qbctl /dev/qb read 11\n"
                                                "open(\"/dev/qb\", O_RDWR) = 3\n"
                                                "read(3, buf, 11) = 0\n"
                                                "  buf: \"\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\"\n"
                                                "  hex: 00 00 00 00 00 00 00 00 00 00 00\n"
                                                "close(3) = 0\n"
                                                "    kernel: Device has been opened...\n"
                                                "    kernel: 0 data >>> \n"
                                                "    kernel: Device has been closed...\n")},
        Piece{"echoWrites", std::string("qb-vm# echo -n hello > /dev/qb\n"
                                        "    kernel: Device has been opened...\n"
                                        "    kernel: data >>> hello\n"
                                        "    kernel: Device has been closed...\n")},
        Piece{"abcOverHello", std::string("qb-vm# qbctl /dev/qb write abc read 11\n"
                                          "open(\"/dev/qb\", O_RDWR) = 3\n"
                                          "write(3, \"abc\", 3) = 3\n"
                                          "read(3, buf, 11) = 0\n"
                                          "  buf: \"abclo\\0\\0\\0\\0\\0\\0\"\n"
                                          "  hex: 61 62 63 6c 6f 00 00 00 00 00 00\n"
                                          "close(3) = 0\n"
                                          "    kernel: Device has been opened...\n"
                                          "    kernel: data >>> abclo\n"
                                          "    kernel: 0 data >>> abclo\n"
                                          "    kernel: Device has been closed...\n")},
        Piece{"twelveBytesRefused",
              std::string("write(3, \"123456789012\", 12) = -1 EINVAL 22 (Invalid argument)\n")},
        Piece{"ddWritesElevenBytes", std::string("    kernel: data >>> ABCDEFGHIJK\n")},
        Piece{"ddSeesEndOfFile",
              std::string("qb-vm# dd if=/dev/qb bs=11 count=1 | od -c\n0+0 records in\n")},
        Piece{"headIsRefused", std::string("as \"Input/output error\":\n"
                                           "qb-vm# head -c 11 /dev/qb | od -c\n"
                                           "head: /dev/qb: Input/output error\n"
                                           "0000000\n"
                                           "    kernel: Device has been opened...\n"
                                           "    kernel: 4096 data >>> ABCDEFGHIJK\n")},
        Piece{"ioctls",
              std::string("ioctl(3, 0x4101) = 0\n"
                          "ioctl(3, 0x4102) = 0\n"
                          "ioctl(3, 0x4103) = -1 ENOTTY 25 (Inappropriate ioctl for device)\n"
                          "close(3) = 0\n"
                          "(exit status 1)\n"
                          "    kernel: Device has been opened...\n"
                          "    kernel: speed up\n"
                          "    kernel: speed down\n"
                          "    kernel: Device has been closed...\n")},
        Piece{"unload", std::string("qb-vm# rmmod qb_ioctl\n    kernel: The module is down...\n")}),
    [](const auto &info) { return std::string(info.param.first); });

RunOptions labsOptions()
{
    RunOptions options;
    options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
    options.timeout = std::chrono::seconds(240);
    options.checkSanitizers = false;
    return options;
}

// A failing script still shows its whole transcript (every command run, multi-line ones
// whole), ends with its last command's status as sh would end it, and says so in a line,
// with no boot or kernel log.
TEST(LabsVm, PipedScriptShowsItsTranscriptAndEndsWithItsLastCommandsStatus)
{
    RunOptions options = labsOptions();
    options.input = "qbctl /dev/qb read eleven 2>/dev/null\n"
                    "for text in abc hello; do\n"
                    "  echo -n $text > /dev/qb\n"
                    "done\n"
                    "qbctl /dev/qb read 12\n";
    const RunResult run = harness::run(source("labs"), {"vm"}, options);
    EXPECT_TRUE(run.exited(1)) << run.out << run.err;
    const std::size_t start = run.out.find("qb-vm# qbctl /dev/qb read eleven");
    ASSERT_NE(start, std::string::npos) << run.out << run.err;
    EXPECT_EQ(run.out.substr(start), "qb-vm# qbctl /dev/qb read eleven 2>/dev/null\n"
                                     "(exit status 2)\n"
                                     "qb-vm# for text in abc hello; do\n"
                                     ">   echo -n $text > /dev/qb\n"
                                     "> done\n"
                                     "    kernel: Device has been opened...\n"
                                     "    kernel: data >>> abc\n"
                                     "    kernel: Device has been closed...\n"
                                     "    kernel: Device has been opened...\n"
                                     "    kernel: data >>> hello\n"
                                     "    kernel: Device has been closed...\n"
                                     "qb-vm# qbctl /dev/qb read 12\n"
                                     "open(\"/dev/qb\", O_RDWR) = 3\n"
                                     "read(3, buf, 12) = -1 EINVAL 22 (Invalid argument)\n"
                                     "  buf: \"############\"\n"
                                     "  hex: 23 23 23 23 23 23 23 23 23 23 23 23\n"
                                     "close(3) = 0\n"
                                     "(exit status 1)\n"
                                     "    kernel: Device has been opened...\n"
                                     "    kernel: 12 data >>> hello\n"
                                     "    kernel: Device has been closed...\n");
    EXPECT_TRUE(run.err.ends_with("\nvmlab: the guest's run ended with exit status 1\n"))
        << run.err;
    EXPECT_EQ(lines(run.err).size(), 3u) << run.err; // what runs, the boot's progress, the status
}

// A closed terminal sends HUP to the programs in its foreground: the VM is stopped and no
// file is left behind. The script starts ./labs vm in a session of its own, waits for qemu
// to write its console, hangs the session up and reports what is left.
TEST(LabsVm, HangupStopsTheVmAndRemovesItsFiles)
{
    const Scratch scratch;
    std::filesystem::create_directory(scratch.path / "tmp");
    RunOptions options = labsOptions();
    options.env.push_back("TMPDIR=" + (scratch.path / "tmp").string());
    const std::string script = R"sh(
        echo 'qbctl /dev/qb read 11' >"$1/input"
        setsid "$0" vm <"$1/input" >/dev/null 2>&1 &
        labs=$!
        tries=0
        until ls "$1"/tmp/*/console.log >/dev/null 2>&1 || [ $tries -ge 1200 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
        kill -HUP -$labs
        wait $labs
        echo "status $?"
        echo "left: $(ls -A "$1/tmp")"
        echo "running: $(ps -o comm= -s $labs)"
    )sh";
    const RunResult run =
        harness::run("sh", {"-c", script, source("labs"), scratch.path.string()}, options);
    EXPECT_EQ(run.out, "status 129\nleft: \nrunning: \n") << run.err;
}

// tools/check/module-check on a copy of the module in a folder of its own, each text of
// faults replaced, on the kernel under test: what it wrote into OUTDIR and how it ended.
struct ModuleCheck {
    Scratch scratch;
    RunResult run;
    std::string kernel; // "default" or "debug"

    std::string written(const std::string &suffix) const
    {
        return readFile((scratch.path / "out" / (kernel + suffix)).string());
    }
};

std::unique_ptr<ModuleCheck>
checkCopy(const std::vector<std::pair<std::string, std::string>> &faults)
{
    auto check = std::make_unique<ModuleCheck>();
    check->kernel = onDebugKernel() ? "debug" : "default";
    std::string text = readFile(source("driver/qb_ioctl.c"));
    for (const auto &[original, faulty] : faults) {
        const std::size_t at = text.find(original);
        EXPECT_NE(at, std::string::npos) << original;
        if (at != std::string::npos) {
            text.replace(at, original.size(), faulty);
        }
    }
    const std::filesystem::path module = check->scratch.path / "module";
    std::filesystem::create_directory(module);
    std::ofstream(module / "qb_ioctl.c") << text;
    std::filesystem::copy_file(source("driver/Kbuild"), module / "Kbuild");
    RunOptions options;
    options.timeout = std::chrono::seconds(900);
    options.checkSanitizers = false;
    options.env = {"CHECK_KERNELS=" + check->kernel, "CHECK_FILTER=DriverVm.*:InTheVm/*",
                   std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
    check->run = harness::run(source("tools/check/module-check"),
                              {module.string(), (check->scratch.path / "out").string()}, options);
    return check;
}

// A case's entry in gtest's JSON report: from its name to the next name ("" if absent).
std::string reportEntry(const std::string &json, const std::string &testName)
{
    std::string escaped;
    for (const char c : testName) {
        escaped += c == '/' ? std::string("\\/") : std::string(1, c);
    }
    const std::size_t start = json.find("\"name\": \"" + escaped + "\"");
    if (start == std::string::npos) {
        return "";
    }
    return json.substr(start, json.find("\"name\": \"", start + 1) - start);
}

// The scenarios of InTheVm whose cases failed in the JSON report, each with its entry.
std::map<std::string, std::string> failedScenarios(const std::string &json)
{
    std::map<std::string, std::string> failed;
    for (int suite = 0; suite < ::testing::UnitTest::GetInstance()->total_test_suite_count();
         ++suite) {
        const ::testing::TestSuite *cases = ::testing::UnitTest::GetInstance()->GetTestSuite(suite);
        if (std::string(cases->name()) != "InTheVm/DriverScenario") {
            continue;
        }
        for (int at = 0; at < cases->total_test_count(); ++at) {
            const ::testing::TestInfo *info = cases->GetTestInfo(at);
            const std::string entry = reportEntry(json, info->name());
            if (entry.empty() || entry.find("\"failures\": [") != std::string::npos) {
                const std::string quoted = info->value_param(); // "\"QbDevice.X\""
                failed[quoted.substr(1, quoted.size() - 2)] = entry;
            }
        }
    }
    return failed;
}

TEST(ModuleCheck, GlobalsWithoutDeclarationsAreNotedAndAnOopsFailsOnlyItsScenario)
{
    if (onDebugKernel()) {
        GTEST_SKIP() << "run on Debian's kernel";
    }
    // As a student may well write it: the globals with no declaration before them (sparse asks
    // whether they should be static), and a NULL pointer written through by one command.
    const auto check = checkCopy({{"extern int result;\nextern char data[QB_DATA_SIZE];\n"
                                   "extern const struct file_operations qb_fops;\n",
                                   ""},
                                  {"printk(\"speed down\\n\");",
                                   "printk(\"speed down\\n\");\n\t\t*(volatile int *)0 = 1;"}});
    ASSERT_TRUE(check->run.exited(0)) << check->run.out << check->run.err;
    EXPECT_EQ(check->run.err, "");
    EXPECT_FALSE(std::filesystem::exists(check->scratch.path / "out/default.build-failed"))
        << check->written(".build-failed");
    const std::vector<std::string> notes = lines(check->written(".notes"));
    EXPECT_EQ(notes.size(), 3u) << check->written(".notes"); // result, data and qb_fops
    bool resultNoted = false;
    for (const std::string &note : notes) {
        EXPECT_TRUE(note.starts_with("qb_ioctl.c:")) << note;
        resultNoted = resultNoted || note.ends_with(": warning: symbol 'result' was not declared. "
                                                    "Should it be static?");
    }
    EXPECT_TRUE(resultNoted) << check->written(".notes");

    // Only the scenario of that command fails, with the oops; those after it ran and passed.
    const std::string json = check->written(".json");
    const std::map<std::string, std::string> failed = failedScenarios(json);
    ASSERT_EQ(failed.size(), 1u) << json;
    EXPECT_EQ(failed.begin()->first, "Commands/QbIoctl.LogsAndReturnsAsDecided/speedDown");
    for (const char *words : {"the kernel crashed during this scenario",
                              "BUG: kernel NULL pointer dereference", "RIP: 0010:qb_ioctl"}) {
        EXPECT_NE(failed.begin()->second.find(words), std::string::npos) << words << " not in\n"
                                                                         << failed.begin()->second;
    }
}

TEST(ModuleCheck, UnboundedPrintOfTheStackCopyFailsTheElevenByteWritesWithKasan)
{
    if (!onDebugKernel()) {
        GTEST_SKIP() << "run on the debugging kernel (VMLAB_DEBUG_KERNEL=1)";
    }
    // Eleven bytes without a zero, logged with %s: printk reads past the stack copy. Debian's
    // kernel passes every case; KASAN reports the read, and the kernel panics on the report.
    const auto check = checkCopy(
        {{"printk(\"data >>> %.11s\\n\", snapshot);", "printk(\"data >>> %s\\n\", snapshot);"}});
    ASSERT_TRUE(check->run.exited(0)) << check->run.out << check->run.err;
    EXPECT_EQ(check->written(".notes"), "");
    const std::string json = check->written(".json");
    const std::map<std::string, std::string> failed = failedScenarios(json);
    std::vector<std::string> names;
    for (const auto &[name, entry] : failed) {
        names.push_back(name);
        for (const char *words : {"BUG: KASAN: stack-out-of-bounds", "qb_write"}) {
            EXPECT_NE(entry.find(words), std::string::npos) << words << " not in\n" << entry;
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "QbDevice.ConcurrentWritersNeverShowAMixedBuffer",
                         "QbDevice.ElevenBytesWithoutAZeroAreLoggedAsElevenAndNoMore"}))
        << json;
}

// What module-check cannot try is refused in one line, before anything is built or booted.
using Refusal = std::pair<const char *, std::string>; // the case, the line (MODULE for its path)

class ModuleCheckRefused : public ::testing::TestWithParam<Refusal>
{
};

TEST_P(ModuleCheckRefused, InOneLine)
{
    const Scratch scratch;
    const std::string which = GetParam().first;
    std::string module = (scratch.path / "qb_ioctl.ko").string();
    if (which == "notAModule") {
        module = source("README.md");
    } else if (which == "noKbuild") {
        module = scratch.path.string();
        std::ofstream(scratch.path / "qb_ioctl.c") << "";
    } else if (which == "anotherKernel") {
        // The module built here, with the vermagic of another kernel.
        std::ofstream(scratch.path / "modinfo", std::ios::binary)
            << std::string("license=GPL") + '\0' +
                   "vermagic=5.15.0-48-generic SMP mod_unload modversions " + '\0';
        const RunResult copied = harness::run(
            "objcopy", {"--update-section", ".modinfo=" + (scratch.path / "modinfo").string(),
                        std::string(LABS_BIN_DIR) + "/../driver/qb_ioctl/qb_ioctl.ko", module});
        ASSERT_TRUE(copied.exited(0)) << copied.err;
    }
    RunOptions options = labsOptions();
    options.env.push_back("CHECK_KERNELS=default");
    const RunResult run = harness::run(source("tools/check/module-check"),
                                       {module, (scratch.path / "out").string()}, options);
    EXPECT_TRUE(run.exited(2)) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    std::string expected = GetParam().second;
    expected.replace(expected.find("MODULE"), 6, module);
    const RunResult release = harness::run(source("vmlab/kernel-version"));
    if (expected.ends_with("RELEASE")) {
        expected.replace(expected.find("RELEASE"), 7,
                         release.out.substr(0, release.out.find('\n')));
    }
    EXPECT_EQ(run.err, expected + "\n");
    EXPECT_FALSE(std::filesystem::exists(scratch.path / "out"));
}

INSTANTIATE_TEST_SUITE_P(
    ModuleCheck, ModuleCheckRefused,
    ::testing::Values(Refusal{"noSuchFile", "MODULE: no such file"},
                      Refusal{"notAModule", "MODULE is not a kernel module"},
                      Refusal{"noKbuild", "MODULE has no Kbuild file"},
                      Refusal{
                          "anotherKernel",
                          "MODULE is built for kernel 5.15.0-48-generic, the lab runs RELEASE"}),
    [](const auto &info) { return std::string(info.param.first); });

// The kernel under test: the debugging kernel's tree on it, else the default (no --kdir).
// The tree the module is built against for the kernel under test: the debugging kernel's,
// the headers of the series VMLAB_SERIES names, or (no arguments) the lab's default.
std::vector<std::string> kdirArguments()
{
    if (onDebugKernel()) {
        return {"--kdir", debugKernelTree()};
    }
    const char *series = std::getenv("VMLAB_SERIES");
    if (series == nullptr || *series == '\0') {
        return {};
    }
    const RunResult fetched = harness::run(source("vmlab/fetch-series"), {series});
    EXPECT_TRUE(fetched.exited(0)) << fetched.err;
    const std::vector<std::string> paths = lines(fetched.out);
    return {"--kdir", paths.empty() ? "" : paths.back()};
}

// `./labs module build` builds the module for a kernel tree and says where it is and for
// which kernel, as the module itself records it.
TEST(KernelChoice, ModuleBuildSaysWhereTheModuleIsAndForWhichKernel)
{
    std::vector<std::string> arguments = {"module", "build"};
    for (const std::string &argument : kdirArguments()) {
        arguments.push_back(argument);
    }
    const RunResult built = harness::run(source("labs"), arguments, labsOptions());
    ASSERT_TRUE(built.exited(0)) << built.out << built.err;
    const std::vector<std::string> said = lines(built.out);
    ASSERT_EQ(said.size(), 3u) << built.out;
    const std::string module = said[0].substr(said[0].find('/'));
    const std::string modinfo = readFile(module);
    const std::size_t start = modinfo.find("vermagic=") + 9;
    std::string vermagic = modinfo.substr(start, modinfo.find('\0', start) - start);
    vermagic.erase(vermagic.find_last_not_of(' ') + 1);
    const std::string release = vermagic.substr(0, vermagic.find(' '));
    EXPECT_EQ(said[0], "module:      " + std::string(LABS_BIN_DIR) + "/../vmlab/modules/" +
                           release + "/qb_ioctl/qb_ioctl.ko");
    EXPECT_EQ(said[1], "kernel:      " + release + " (vermagic: " + vermagic + ")");
    EXPECT_TRUE(said[2].starts_with("versioning:  on (the symbol versions of ")) << said[2];
    // Reading the module's vermagic leaves the machine's own files alone.
    EXPECT_TRUE(std::filesystem::is_symlink("/dev/stdout"));
}

// Only the one warning a kernel's W=1 gives for the module's missing description is let
// pass: any other warning, here an unused variable, still fails the build on every kernel
// series (VMLAB_SERIES; make test-kernels runs it on each).
TEST(KernelChoice, AnyOtherWarningFailsTheModulesBuild)
{
    if (std::getenv("VMLAB_SERIES") == nullptr) {
        GTEST_SKIP() << "run for each kernel series (make test-kernels)";
    }
    const Scratch scratch;
    const std::filesystem::path copy = scratch.path / "source";
    std::filesystem::create_directories(copy);
    for (const char *file : {"Kbuild", "qb_ioctl.c"}) {
        std::filesystem::copy_file(source(std::string("driver/") + file), copy / file);
    }
    std::ofstream(copy / "qb_ioctl.c", std::ios::app) << "static int unused_in_this_copy;\n";
    std::vector<std::string> arguments = {copy.string(), (scratch.path / "built").string()};
    for (const std::string &argument : kdirArguments()) {
        arguments.push_back(argument);
    }
    const RunResult built = harness::run(source("vmlab/build-module"), arguments);
    EXPECT_TRUE(built.exited(1)) << built.err;
    EXPECT_NE(built.err.find("unused_in_this_copy"), std::string::npos) << built.err;
    EXPECT_NE(built.err.find("[-Wunused-variable]"), std::string::npos) << built.err;
    EXPECT_NE(built.err.find("build-module: qb_ioctl did not build cleanly for "),
              std::string::npos)
        << built.err;
}

// A kernel choice that cannot work is refused before anything is built or booted, in one
// line: ./labs vm checks it before it reads its script.
using ChoiceCase = std::pair<const char *, std::string>; // the case, the line's end

class KernelChoiceRefused : public ::testing::TestWithParam<ChoiceCase>
{
};

TEST_P(KernelChoiceRefused, InOneLine)
{
    const Scratch scratch;
    const RunResult image = harness::run(source("vmlab/fetch-kernel"));
    ASSERT_TRUE(image.exited(0)) << image.err;
    const std::string kernel = image.out.substr(0, image.out.find('\n'));
    // A headers folder with what the checks read: its release and configuration.
    const auto headers = [&](const std::string &release, const std::string &config) {
        std::filesystem::create_directories(scratch.path / "include/generated");
        std::ofstream(scratch.path / "Makefile") << "";
        std::ofstream(scratch.path / ".config") << config;
        std::ofstream(scratch.path / "include/generated/utsrelease.h")
            << "#define UTS_RELEASE \"" << release << "\"\n";
        return scratch.path.string();
    };
    const RunResult kernelVersion = harness::run(source("vmlab/kernel-version"));
    const std::string cloud = kernelVersion.out.substr(0, kernelVersion.out.find('\n'));
    std::vector<std::string> arguments = {"vm"};
    const std::string which = GetParam().first;
    if (which == "notAnImage") {
        arguments.insert(arguments.end(), {"--kernel", source("README.md")});
    } else if (which == "notATree") {
        arguments.insert(arguments.end(), {"--kernel", kernel, "--kdir", scratch.path.string()});
    } else if (which == "anotherRelease") {
        arguments.insert(arguments.end(), {"--kernel", kernel, "--kdir",
                                           headers("5.15.0-91-generic", "CONFIG_MODVERSIONS=y\n")});
    } else {
        arguments.insert(arguments.end(),
                         {"--kernel", kernel, "--kdir", headers(cloud, "CONFIG_MODULES=y\n")});
    }
    RunOptions options = labsOptions();
    options.input = "uname -r\n";
    const RunResult run = harness::run(source("labs"), arguments, options);
    EXPECT_TRUE(run.exited(2)) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    ASSERT_EQ(lines(run.err).size(), 1u) << run.err;
    std::string expected = GetParam().second;
    for (const auto &[name, value] :
         {std::pair{"IMAGE", kernel}, std::pair{"TREE", scratch.path.string()},
          std::pair{"RELEASE", cloud}, std::pair{"README", source("README.md")}}) {
        for (std::size_t at = expected.find(name); at != std::string::npos;
             at = expected.find(name, at + value.size())) {
            expected.replace(at, std::string(name).size(), value);
        }
    }
    EXPECT_EQ(run.err, expected + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    KernelChoice, KernelChoiceRefused,
    ::testing::Values(
        ChoiceCase{"notAnImage", "vmlab: README is not a kernel image (no bzImage header)"},
        ChoiceCase{
            "notATree",
            "vmlab: TREE is not a kernel build tree or headers folder (no Makefile, .config and "
            "include/generated/utsrelease.h)"},
        ChoiceCase{
            "anotherRelease",
            "vmlab: TREE builds modules for kernel 5.15.0-91-generic, but IMAGE is kernel RELEASE"},
        ChoiceCase{"noModuleVersioning",
                   "vmlab: IMAGE loads only modules with symbol versions, but TREE has no "
                   "module versioning (CONFIG_MODVERSIONS)"}),
    [](const auto &info) { return std::string(info.param.first); });

// As someone other than root, a download that fails (stale package lists, say) tells what
// to run; as root, the lists were refreshed already. apt-get and id are stand-ins here.
using FetchCase = std::pair<const char *, std::string>; // id -u's answer, the last line said

class LabsVmFetch : public ::testing::TestWithParam<FetchCase>
{
};

TEST_P(LabsVmFetch, FailedDownloadSaysWhatToDo)
{
    const Scratch scratch;
    const auto stub = [&](const char *name, const std::string &body) {
        const std::filesystem::path file = scratch.path / name;
        std::ofstream(file) << "#!/bin/sh\n" << body;
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    };
    stub("apt-get", "for arg; do [ \"$arg\" = update ] && exit 0; done\nexit 100\n");
    stub("id", std::string("[ \"$1\" = -u ] && echo ") + GetParam().first + " || echo student\n");
    RunOptions options;
    options.env = {"PATH=" + scratch.path.string() + ":" + std::getenv("PATH"),
                   "VMLAB_CACHE=" + (scratch.path / "cache").string()};
    const RunResult release = harness::run(source("vmlab/kernel-version"));
    ASSERT_TRUE(release.exited(0)) << release.err;
    const std::string package = "linux-image-" + release.out.substr(0, release.out.find('\n'));
    const RunResult fetch = harness::run(source("vmlab/fetch-kernel"), {}, options);
    EXPECT_TRUE(fetch.exited(1));
    EXPECT_EQ(fetch.out, "");
    EXPECT_EQ(fetch.err, "vmlab: fetching " + package +
                             " (kernel image only, not installed) ...\n" +
                             "vmlab: could not download " + package + " from the package archive" +
                             GetParam().second + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    LabsVm, LabsVmFetch,
    ::testing::Values(FetchCase{"1000",
                                "\nvmlab: refresh the package lists with 'sudo apt-get update'"
                                " (as root: 'apt-get update') and try again"},
                      FetchCase{"0", ", even with freshly updated package lists"}),
    [](const auto &info) { return std::string(info.param.first) == "0" ? "root" : "user"; });

// Fetching a kernel series that cannot be had: one line saying why, a failing status, and
// nothing left in the cache but the lock file. apt-get and apt-cache are stand-ins where the
// archive is not reached at all; "unreachable" asks the real ones, of a port that answers none.
struct SeriesCase {
    const char *name;
    const char *series;
    std::map<std::string, std::string> stubs; // program name: its script
    int status;
    std::string lastLine; // the beginning of what it said last
};

class KernelChoiceSeries : public ::testing::TestWithParam<SeriesCase>
{
};

TEST_P(KernelChoiceSeries, RefusedInOneLineLeavingNoTree)
{
    const Scratch scratch;
    for (const auto &[name, body] : GetParam().stubs) {
        const std::filesystem::path file = scratch.path / name;
        std::ofstream(file) << "#!/bin/sh\n" << body;
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    }
    const std::filesystem::path cache = scratch.path / "cache";
    RunOptions options;
    options.env = {"PATH=" + scratch.path.string() + ":" + std::getenv("PATH"),
                   "VMLAB_CACHE=" + cache.string(),
                   "VMLAB_SERIES_MIRROR=http://127.0.0.1:9/debian"};
    // "busy": another fetch of the series holds its lock meanwhile.
    int held = -1;
    if (std::string(GetParam().name) == "busy") {
        std::filesystem::create_directories(cache / "series");
        held = open((cache / "series/.5.10.lock").c_str(), O_CREAT | O_RDWR, 0644);
        ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    }
    const RunResult fetch =
        harness::run(source("vmlab/fetch-series"), {GetParam().series}, options);
    if (held >= 0) {
        close(held);
    }
    EXPECT_TRUE(fetch.exited(GetParam().status)) << fetch.err;
    EXPECT_EQ(fetch.out, "");
    const std::string last = fetch.err.substr(fetch.err.rfind('\n', fetch.err.size() - 2) + 1);
    EXPECT_EQ(last.rfind(GetParam().lastLine, 0), 0U) << fetch.err;
    EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 1) << fetch.err;
    // No folder at all (a half-unpacked tree or the download's leftovers): only lock files.
    if (std::filesystem::exists(cache / "series")) {
        for (const auto &entry : std::filesystem::directory_iterator(cache / "series")) {
            EXPECT_TRUE(entry.is_regular_file() && entry.path().extension() == ".lock")
                << entry.path();
        }
    }
}

// A package list naming one 5.10 cloud kernel, whose downloads all arrive cut short.
const std::map<std::string, std::string> cutShort = {
    {"apt-get",
     "for arg; do case $arg in\n"
     "  update) exit 0 ;;\n"
     "  linux-*=*) printf '!<arch>\\ndebian-binary   16' >\"${arg%%=*}_1_amd64.deb\" ;;\n"
     "esac; done\n"},
    {"apt-cache", "for arg; do last=$arg; done\n"
                  "case \" $* \" in\n"
                  "  *\" pkgnames \"*) echo linux-image-5.10.0-32-cloud-amd64 ;;\n"
                  "  *) printf 'Package: %s\\nVersion: 1\\nDepends: linux-headers-5.10.0-32-common"
                  " (= 1), linux-kbuild-5.10 (>= 1), linux-compiler-gcc-10-x86\\n' \"$last\" ;;\n"
                  "esac\n"}};

INSTANTIATE_TEST_SUITE_P(
    KernelChoice, KernelChoiceSeries,
    ::testing::Values(
        SeriesCase{"unknown",
                   "5.15",
                   {},
                   2,
                   "vmlab: no kernel series '5.15' (the lab has: 5.10, 6.1, 6.12)"},
        SeriesCase{"unreachable",
                   "6.12",
                   {},
                   1,
                   "vmlab: could not read the package list of bookworm-backports from "
                   "http://127.0.0.1:9/debian: "},
        SeriesCase{"cutShort", "5.10", cutShort, 1,
                   "vmlab: linux-headers-5.10.0-32-cloud-amd64_1_amd64.deb is damaged (a download "
                   "cut short?): "},
        SeriesCase{"busy",
                   "5.10",
                   {},
                   1,
                   "vmlab: another fetch of kernel series 5.10 is running; try again when it is "
                   "done"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace harness
