// Boots the lab's virtual machine once with the qb_ioctl scenarios (qb_guest_test) and checks
// that the run ended with its marker, that each scenario ran and passed, and that the kernel
// log holds no warning from the moment the module was first loaded. FrontDoorSession runs
// `./labs run qb_ioctl` (its own boot) and checks the session it shows.
#include "run_process.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

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
    EXPECT_NE(run.err.find("vmlab: booting Debian's kernel "), std::string::npos) << run.err;
    const std::size_t kernelLog = run.out.find("\n----- kernel log, from loading qb_ioctl on -----\n");
    ASSERT_NE(kernelLog, std::string::npos) << run.out;
    EXPECT_NE(run.out.find("] QB Module is up... \n", kernelLog), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("] The module is down...\n", kernelLog), std::string::npos) << run.out;
    for (const char *alarm : {"WARNING", "BUG", "Oops", "Buffer overflow detected", "Call Trace"}) {
        EXPECT_EQ(run.out.find(alarm), std::string::npos) << alarm << " in\n" << run.out;
    }
}

using Piece = std::pair<const char *, std::string>; // a name, and the text the session shows

class FrontDoorSessionShows : public ::testing::TestWithParam<Piece> {};

TEST_P(FrontDoorSessionShows, ThisPiece)
{
    EXPECT_NE(session().out.find(GetParam().second), std::string::npos) << session().out;
}

INSTANTIATE_TEST_SUITE_P(
    FrontDoorSession, FrontDoorSessionShows,
    ::testing::Values(
        Piece{"loadAndNode", std::string("    kernel: QB Module is up... \n    kernel: major number=")},
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
        Piece{"twelveBytesRefused", std::string("write(3, \"123456789012\", 12) = -1 EINVAL 22 (Invalid argument)\n")},
        Piece{"ddWritesElevenBytes", std::string("    kernel: data >>> ABCDEFGHIJK\n")},
        Piece{"ddSeesEndOfFile", std::string("qb-vm# dd if=/dev/qb bs=11 count=1 | od -c\n0+0 records in\n")},
        Piece{"ioctls", std::string("ioctl(3, 0x4101) = 0\n"
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

} // namespace
} // namespace harness
