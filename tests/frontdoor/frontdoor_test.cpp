// ./labs lists every catalogued example, the README's table names each of them, and
// the tour runs an example with its sample input.
#include "run_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace harness
{
namespace
{

using process::readFile;

std::vector<std::string> catalogNames()
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(source("catalog"))) {
        if (entry.path().extension() != ".tsv") {
            continue;
        }
        for (const std::string &line : lines(readFile(entry.path()))) {
            if (!line.empty() && line[0] != '#') {
                names.push_back(line.substr(0, line.find('|')));
            }
        }
    }
    return names;
}

RunResult labs(const std::vector<std::string> &args)
{
    RunOptions options;
    options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
    options.timeout = std::chrono::seconds(120);
    return run(source("labs"), args, options);
}

TEST(FrontDoor, ListsEveryCatalogedExampleAndTheReadmeNamesEach)
{
    const std::vector<std::string> names = catalogNames();
    ASSERT_FALSE(names.empty());
    const RunResult list = labs({"list"});
    ASSERT_TRUE(list.exited(0)) << list.err;
    const std::string readme = readFile(source("README.md"));
    for (const std::string &name : names) {
        EXPECT_NE(list.out.find(name + " "), std::string::npos) << name;
        EXPECT_NE(readme.find("| `" + name + "` |"), std::string::npos)
            << name << " missing in README";
    }
}

TEST(FrontDoor, TourRunsAnExampleWithItsSampleInput)
{
    const RunResult tour = labs({"tour", "libarray_srh"});
    ASSERT_TRUE(tour.exited(0)) << tour.err;
    EXPECT_NE(tour.out.find("=== libarray_srh (x86-64): "), std::string::npos) << tour.out;
    EXPECT_NE(tour.out.find("[2] Name:\talpha\n"), std::string::npos) << tour.out;
    EXPECT_NE(tour.out.find("--- exit status 0 ---"), std::string::npos) << tour.out;
    EXPECT_EQ(tour.out.find("libarray_del"), std::string::npos);
}

// The tour shows zero and control bytes through cat -v; run passes the program's own bytes.
TEST(FrontDoor, RunPassesAProgramsOwnBytesOn)
{
    for (const std::string name : {"c_src_58", "c_src_64"}) {
        const RunResult direct = run(bin(name));
        const RunResult viaLabs = labs({"run", name});
        EXPECT_TRUE(viaLabs.exited(0)) << viaLabs.err;
        EXPECT_NE(direct.out.find('\0'), std::string::npos) << name;
        EXPECT_EQ(viaLabs.out, direct.out) << name;
    }
}

// The tour types sample input at a program the way a person would: each line after the
// program has gone quiet, echoed by the terminal, so answers follow their prompts.
RunResult typed(const std::string &script, const std::string &input)
{
    RunOptions options;
    options.input = input;
    return run(std::string(LABS_BIN_DIR) + "/../tools/typist", {"sh", "-c", script}, options);
}

TEST(Typist, ShowsEachTypedLineAfterItsPromptAndPassesTheStatusOn)
{
    const RunResult result = typed(
        "printf 'name? '; read a; printf 'age? '; read b; echo \"$a is $b\"; exit 3", "bob\n42\n");
    EXPECT_EQ(result.out, "name? bob\nage? 42\nbob is 42\n");
    EXPECT_TRUE(result.exited(3));
}

TEST(Typist, EndsTheInputForAProgramThatReadsToTheEnd)
{
    const RunResult result = typed("cat; echo done", "one\ntwo");
    EXPECT_SAME_OUTPUT(result.out, "one\none\ntwotwodone\n");
    EXPECT_TRUE(result.exited(0));
}

// ./labs vm with the keyboard as input but its output going elsewhere can give neither the
// VM's shell nor a script worth waiting for: it says so at once, before building or booting.
TEST(FrontDoor, VmWithOnlyItsInputOnATerminalSaysWhatWorksInstead)
{
    RunOptions options;
    options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
    const RunResult result =
        run(std::string(LABS_BIN_DIR) + "/../tools/typist",
            {"sh", "-c", "\"$0\" vm >/dev/null; echo \"exit status $?\"", source("labs")}, options);
    EXPECT_EQ(result.out,
              "labs vm: the shell needs standard output on the terminal too; for a script,"
              " give its lines on standard input (./labs vm < FILE > OUTPUT)\n"
              "exit status 2\n")
        << visible(result.out);
}

// Ctrl-C leaves none of a command's temporary files behind: ./labs bench, whose scratch
// folder gets a pipe and a 256 MiB text, is interrupted as soon as it has started.
TEST(FrontDoor, CtrlCRemovesTheTemporaryFiles)
{
    if (LABS_SANITIZED) {
        GTEST_SKIP() << "the benchmarks are not built under the sanitizers";
    }
    const std::filesystem::path tmp =
        std::filesystem::temp_directory_path() / ("labs-ctrl-c." + std::to_string(getpid()));
    std::filesystem::create_directory(tmp);
    RunOptions options;
    options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/..",
                   "TMPDIR=" + tmp.string()};
    const std::string started = "== Dynamic array ==\n";
    options.stopAfterOutput = started.size();
    options.stopSignal = SIGINT; // as from the terminal, to the whole process group
    const RunResult bench = run(source("labs"), {"bench"}, options);
    EXPECT_EQ(bench.out, started);
    EXPECT_TRUE(bench.stopped && bench.exited(130)) << bench.status << " " << bench.signal;
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
    std::filesystem::remove_all(tmp);
}

TEST(FrontDoor, UnknownNamesAndCommandsAreRefused)
{
    const RunResult unknown = labs({"run", "no_such_example"});
    EXPECT_TRUE(unknown.exited(1));
    EXPECT_NE(unknown.err.find("no deliverable named 'no_such_example'"), std::string::npos);
    EXPECT_TRUE(labs({"frobnicate"}).exited(2));
}

} // namespace
} // namespace harness
