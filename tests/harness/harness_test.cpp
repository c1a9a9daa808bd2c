// The process runner itself: exact bytes both ways, exit status or signal, the time
// limit, stopping after enough output, and the environment, folder and prefix options.
#include "process.h"
#include "run_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace harness
{
namespace
{

RunResult shell(const std::string &script, RunOptions options = {})
{
    return run("/bin/sh", {"-c", script}, options);
}

TEST(Harness, PassesInputAndOutputAsExactBytes)
{
    RunOptions options;
    options.input = std::string("a\0b\tc \r\n\xff", 9);
    const RunResult result = run("cat", {}, options);
    EXPECT_EQ(result.out, options.input);
    EXPECT_TRUE(result.exited(0));

    const RunResult both = shell("printf 'out\\0'; printf 'err\\n' >&2; exit 3");
    EXPECT_EQ(both.out, std::string("out\0", 4));
    EXPECT_EQ(both.err, "err\n");
    EXPECT_TRUE(both.exited(3));
}

TEST(Harness, FeedsLargeInputWhileTheProgramWritesLargeOutput)
{
    RunOptions options;
    for (int i = 0; options.input.size() < (4u << 20); ++i) {
        options.input += std::to_string(i) + '\n';
    }
    const RunResult result = run("cat", {}, options);
    EXPECT_TRUE(result.out == options.input) << "4 MiB through cat came back different";
    EXPECT_TRUE(result.exited(0));
}

TEST(Harness, ReportsTheSignalThatEndedTheProgram)
{
    const RunResult result = shell("kill -SEGV $$");
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_EQ(result.status, -1);
    EXPECT_FALSE(result.exited(0));
}

TEST(Harness, KillsAProgramThatOutlivesItsTimeLimit)
{
    RunOptions options;
    options.timeout = std::chrono::milliseconds(300);
    const RunResult result = shell("sleep 30", options);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.signal, SIGKILL);
}

TEST(Harness, StopsAProgramOnceItHasWrittenEnough)
{
    RunOptions options;
    options.stopAfterOutput = 1000;
    const RunResult result = run("yes", {"?"}, options);
    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.signal, SIGTERM);
    EXPECT_GE(result.out.size(), 1000u);
}

TEST(Harness, AppliesEnvironmentWorkingFolderAndPrefix)
{
    RunOptions options;
    options.env = {"HARNESS_PROBE=42", "HOME=/nowhere"};
    options.workingDir = "/tmp";
    const RunResult result = shell("echo $HARNESS_PROBE $HOME $(pwd)", options);
    EXPECT_EQ(result.out, "42 /nowhere /tmp\n");

    RunOptions prefixed;
    prefixed.prefix = {"env", "PREFIXED=yes"};
    EXPECT_EQ(run("/bin/sh", {"-c", "echo $PREFIXED"}, prefixed).out, "yes\n");
}

TEST(Harness, SurvivesAProgramThatIgnoresItsInput)
{
    RunOptions options;
    options.input = std::string(1 << 20, 'x');
    const RunResult result = run("true", {}, options);
    EXPECT_TRUE(result.exited(0));
}

TEST(Harness, SendsStandardOutputToAGivenFile)
{
    RunOptions options;
    options.outputFile = ::testing::TempDir() + "harness_output";
    const RunResult result = shell("echo out; echo err >&2", options);
    std::ifstream file(options.outputFile);
    std::string written;
    std::getline(file, written, '\0');
    EXPECT_EQ(written, "out\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "err\n");
}

// cat's copy of each line follows the terminal's echo of it, so the second line was typed
// only after the first had been read; asking once more after the last line stops cat.
TEST(Harness, TypesEachLineOnlyWhenTheProgramWaitsForOne)
{
    const RunResult result = runTyped("cat", {}, {"one", "two"});
    EXPECT_SAME_OUTPUT(result.out, "one\none\ntwo\ntwo\n");
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.signal, SIGKILL);
}

// Each descriptor a process is given lands where it was asked for, even where one of ours is
// at the number another of its descriptors is to have.
TEST(Process, GivesCrossedDescriptorsWithoutMixingThemUp)
{
    process::Pipe a = process::makePipe(), b = process::makePipe();
    const int at100 = fcntl(a.write, F_DUPFD_CLOEXEC, 100),
              at101 = fcntl(b.write, F_DUPFD_CLOEXEC, 101);
    ASSERT_EQ(at100, 100);
    ASSERT_EQ(at101, 101);
    process::Command command;
    command.argv = {"bash", "-c", "echo one >&100; echo two >&101"};
    command.fds = {{100, at101}, {101, at100}};
    EXPECT_EQ(process::Process(command).wait().status(), 0);
    for (int fd : {a.write, b.write, at100, at101}) {
        process::closeFd(fd);
    }
    char buffer[16] = {};
    EXPECT_EQ(read(a.read, buffer, sizeof buffer), 4);
    EXPECT_STREQ(buffer, "two\n");
    EXPECT_EQ(read(b.read, buffer, sizeof buffer), 4);
    EXPECT_STREQ(buffer, "one\n");
    process::closeFd(a.read);
    process::closeFd(b.read);
}

} // namespace
} // namespace harness
