// qbctl, the lab's client, on this machine against ordinary files and /dev/null: the exact
// lines it prints for each call, the bytes it writes, its refusals of bad steps and its
// exit status. (Against the device itself it runs in the VM, in driver_vm_test.)
#include "run_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace harness
{
namespace
{

const std::string fileText = "hello world";

// A scratch file holding "hello world", removed afterwards.
struct ScratchFile {
    static inline int made = 0;
    const std::string path =
        std::filesystem::temp_directory_path() /
        ("qbctl_test_" + std::to_string(::getpid()) + "_" + std::to_string(made++));
    ScratchFile()
    {
        std::ofstream(path, std::ios::binary) << fileText;
    }
    ~ScratchFile()
    {
        std::filesystem::remove(path);
    }
};

// The file descriptor qbctl reported for its open, so that the expected lines can name it.
std::string openedFd(const std::string &out)
{
    const std::size_t equals = out.find(") = ");
    const std::size_t end = out.find('\n');
    return equals == std::string::npos || end == std::string::npos
               ? "?"
               : out.substr(equals + 4, end - equals - 4);
}

// Replaces every {fd} and {file} in the expected text.
std::string expand(std::string text, const std::string &fd, const std::string &file)
{
    for (const auto &[key, value] :
         {std::pair{std::string("{fd}"), fd}, std::pair{std::string("{file}"), file}}) {
        for (std::size_t at = text.find(key); at != std::string::npos;
             at = text.find(key, at + value.size())) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

struct FileCase {
    const char *name;
    std::vector<std::string> steps;
    std::string out; // with {fd} and {file}
    int status;
    std::string fileAfter;
};

// Cases are shown by their names in test listings.
void PrintTo(const FileCase &c, std::ostream *out)
{
    *out << c.name;
}

using QbctlOnAFile = ::testing::TestWithParam<FileCase>;

TEST_P(QbctlOnAFile, PrintsEachCallAndItsResult)
{
    const FileCase &c = GetParam();
    ScratchFile file;
    std::vector<std::string> args{file.path};
    args.insert(args.end(), c.steps.begin(), c.steps.end());
    const RunResult run = harness::run(bin("qbctl"), args);
    EXPECT_EQ(run.out, expand(c.out, openedFd(run.out), file.path)) << visible(run.out);
    EXPECT_TRUE(run.exited(c.status)) << run.status << " " << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(process::readFile(file.path), c.fileAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, QbctlOnAFile,
    ::testing::Values(FileCase{"readShowsTheBufferAsTextAndHex",
                               {"read", "5"},
                               "open(\"{file}\", O_RDWR) = {fd}\n"
                               "read({fd}, buf, 5) = 5\n"
                               "  buf: \"hello\"\n"
                               "  hex: 68 65 6c 6c 6f\n"
                               "close({fd}) = 0\n",
                               0,
                               fileText},
                      FileCase{"bytesTheCallDidNotFillKeepTheFill",
                               {"read", "13"},
                               "open(\"{file}\", O_RDWR) = {fd}\n"
                               "read({fd}, buf, 13) = 11\n"
                               "  buf: \"hello world##\"\n"
                               "  hex: 68 65 6c 6c 6f 20 77 6f 72 6c 64 23 23\n"
                               "close({fd}) = 0\n",
                               0,
                               fileText},
                      FileCase{"writeWithEscapesWritesThoseBytes",
                               {"write", "A\\0b\\x7f\\\\\\n\\t"},
                               "open(\"{file}\", O_RDWR) = {fd}\n"
                               "write({fd}, \"A\\0b\\x7f\\\\\\n\\t\", 7) = 7\n"
                               "close({fd}) = 0\n",
                               0,
                               std::string("A\0b\x7f\\\n\t", 7) + "orld"},
                      FileCase{"emptyWriteWritesNothing",
                               {"write", ""},
                               "open(\"{file}\", O_RDWR) = {fd}\n"
                               "write({fd}, \"\", 0) = 0\n"
                               "close({fd}) = 0\n",
                               0,
                               fileText},
                      FileCase{"seekThenReadAndPread",
                               {"seek", "6", "read", "2", "pread", "4@1"},
                               "open(\"{file}\", O_RDWR) = {fd}\n"
                               "lseek({fd}, 6, SEEK_SET) = 6\n"
                               "read({fd}, buf, 2) = 2\n"
                               "  buf: \"wo\"\n"
                               "  hex: 77 6f\n"
                               "pread({fd}, buf, 4, 1) = 4\n"
                               "  buf: \"ello\"\n"
                               "  hex: 65 6c 6c 6f\n"
                               "close({fd}) = 0\n",
                               0,
                               fileText},
                      FileCase{
                          "ioctlOnAFileFailsAndSetsTheStatus",
                          {"ioctl", "up", "ioctl", "16643", "read", "010"},
                          "open(\"{file}\", O_RDWR) = {fd}\n"
                          "ioctl({fd}, 0x4101) = -1 ENOTTY 25 (Inappropriate ioctl for device)\n"
                          "ioctl({fd}, 0x4103) = -1 ENOTTY 25 (Inappropriate ioctl for device)\n"
                          "read({fd}, buf, 10) = 10\n"
                          "  buf: \"hello worl\"\n"
                          "  hex: 68 65 6c 6c 6f 20 77 6f 72 6c\n"
                          "close({fd}) = 0\n",
                          1,
                          fileText}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Qbctl, LongReadsShowTheirFirst64Bytes)
{
    const RunResult run = harness::run(bin("qbctl"), {"/dev/zero", "read", "65536"});
    const std::string fd = openedFd(run.out);
    std::string zeros;
    std::string hex;
    for (int i = 0; i < 64; ++i) {
        zeros += "\\0";
        hex += i == 0 ? "00" : " 00";
    }
    EXPECT_EQ(run.out, "open(\"/dev/zero\", O_RDWR) = " + fd + "\nread(" + fd +
                           ", buf, 65536) = 65536\n  buf: \"" + zeros + "\" ...\n  hex: " + hex +
                           " ...\nclose(" + fd + ") = 0\n");
    EXPECT_TRUE(run.exited(0));
}

TEST(Qbctl, AMissingNodeIsReportedWithItsErrno)
{
    const RunResult run = harness::run(bin("qbctl"), {"/nonexistent/qb", "read", "1"});
    EXPECT_EQ(run.out,
              "open(\"/nonexistent/qb\", O_RDWR) = -1 ENOENT 2 (No such file or directory)\n");
    EXPECT_TRUE(run.exited(1));
}

struct BadSteps {
    const char *name;
    std::vector<std::string> args;
    std::string complaint; // the first line on standard error; empty: only the usage
};

void PrintTo(const BadSteps &c, std::ostream *out)
{
    *out << c.name;
}

using QbctlRefuses = ::testing::TestWithParam<BadSteps>;

// A bad step is refused before the node is opened: no call at all, the usage, status 2.
TEST_P(QbctlRefuses, BadStepsBeforeAnyCall)
{
    const RunResult run = harness::run(bin("qbctl"), GetParam().args);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.exited(2));
    const std::string usage = "usage: qbctl NODE STEP...\n";
    EXPECT_EQ(run.err.substr(0, GetParam().complaint.size() + usage.size()),
              GetParam().complaint + usage);
    // The commands' numbers, as the header defines them.
    EXPECT_NE(run.err.find("\n  ioctl CMD   send CMD: up (0x4101), down (0x4102) or any number "
                           "(0x4103, 16643)\n"),
              std::string::npos)
        << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, QbctlRefuses,
    ::testing::Values(
        BadSteps{"noNode", {}, ""},
        BadSteps{"missingValue", {"/dev/null", "read"}, "qbctl: 'read' needs a value\n"},
        BadSteps{"unknownStep", {"/dev/null", "frob", "1"}, "qbctl: unknown step 'frob'\n"},
        BadSteps{"countNotANumber", {"/dev/null", "read", "x"}, "qbctl: bad value 'x' for read\n"},
        BadSteps{"negativeCount", {"/dev/null", "read", "-1"}, "qbctl: bad value '-1' for read\n"},
        BadSteps{"countWithJunk", {"/dev/null", "read", "5z"}, "qbctl: bad value '5z' for read\n"},
        BadSteps{
            "hexWithoutDigits", {"/dev/null", "ioctl", "0x"}, "qbctl: bad value '0x' for ioctl\n"},
        BadSteps{
            "countTooLarge", {"/dev/null", "read", "65537"}, "qbctl: bad value '65537' for read\n"},
        BadSteps{
            "unknownEscape", {"/dev/null", "write", "a\\q"}, "qbctl: bad value 'a\\q' for write\n"},
        BadSteps{"shortHexEscape",
                 {"/dev/null", "write", "\\x4"},
                 "qbctl: bad value '\\x4' for write\n"},
        BadSteps{"commandTooLarge",
                 {"/dev/null", "ioctl", "0x100000000"},
                 "qbctl: bad value '0x100000000' for ioctl\n"},
        BadSteps{"unknownCommandName",
                 {"/dev/null", "ioctl", "sideways"},
                 "qbctl: bad value 'sideways' for ioctl\n"},
        BadSteps{"preadWithoutPosition",
                 {"/dev/null", "pread", "5"},
                 "qbctl: bad value '5' for pread\n"},
        BadSteps{"badStepAfterGoodOnes",
                 {"/dev/null", "read", "1", "write"},
                 "qbctl: 'write' needs a value\n"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace harness
