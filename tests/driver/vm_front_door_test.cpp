// The module through the front door: the session `./labs run qb_ioctl` shows
// (FrontDoorSession), and scripts run by `./labs vm`, a terminal's hangup included (LabsVm).
#include "vm_boot.h"

namespace harness
{
namespace
{

// The session of the front door, run once for all its cases.
const RunResult &session()
{
    static const RunResult run = harness::run(source("labs"), {"run", "qb_ioctl"}, labsOptions());
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

using FrontDoorSessionShows = ::testing::TestWithParam<Piece>;

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

} // namespace
} // namespace harness
