// Boots the lab's virtual machine once with the qb_ioctl scenarios (qb_guest_test) and checks
// that the run ended with its marker, that each scenario ran and passed, and that the kernel
// log holds no warning from the moment the module was first loaded.
#include "run_process.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>

namespace harness {
namespace {

struct VmRun {
    RunResult boot;
    std::string kernelLog;
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The one boot every case looks at.
const VmRun &vmRun()
{
    static const VmRun run = [] {
        RunOptions options;
        options.timeout = std::chrono::seconds(240);
        options.checkSanitizers = false;
        VmRun result;
        result.boot = harness::run(source("vmlab/boot"),
                                   {"--run", testProgram("qb_guest_test"), "--add", HOG_MODULE, "--build",
                                    std::string(LABS_BIN_DIR) + "/..", "--logs", VM_LOGS, "--timeout", "180"},
                                   options);
        result.kernelLog = readFile(std::string(VM_LOGS) + "/kernel.log");
        return result;
    }();
    return run;
}

// What the run printed, and on a failure the console and kernel log the lab shows.
std::string shown(const VmRun &run) { return run.boot.out + run.boot.err; }

TEST(DriverVm, GuestRunEndsWithItsMarkerAndEveryScenarioPassed)
{
    const VmRun &run = vmRun();
    ASSERT_FALSE(run.boot.timedOut) << shown(run);
    EXPECT_TRUE(run.boot.exited(0)) << shown(run);
    EXPECT_NE(run.boot.out.find("[  PASSED  ] "), std::string::npos) << shown(run);
    EXPECT_EQ(run.boot.out.find("[  FAILED  ]"), std::string::npos) << shown(run);
}

// Each scenario asked for, by the name it runs under in the guest.
class DriverScenario : public ::testing::TestWithParam<const char *> {};

TEST_P(DriverScenario, RanAndPassed)
{
    const VmRun &run = vmRun();
    const std::string passed = std::string("[       OK ] ") + GetParam() + " (";
    EXPECT_NE(run.boot.out.find(passed), std::string::npos) << GetParam() << " did not pass:\n" << shown(run);
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

TEST(DriverVm, KernelLogHoldsNoWarningOnceTheModuleWasLoaded)
{
    const VmRun &run = vmRun();
    const std::size_t firstLoad = run.kernelLog.find("QB Module is up... ");
    ASSERT_NE(firstLoad, std::string::npos) << shown(run);
    const std::string afterLoad = run.kernelLog.substr(firstLoad);
    for (const char *alarm : {"WARNING", "BUG", "Oops", "Buffer overflow detected", "Call Trace"}) {
        EXPECT_EQ(afterLoad.find(alarm), std::string::npos) << alarm << " in the kernel log:\n" << afterLoad;
    }
}

} // namespace
} // namespace harness
