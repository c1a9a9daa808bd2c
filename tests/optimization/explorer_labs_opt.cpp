// ./labs opt: it finds the demos and a student's file, fits 80 columns, refuses what it
// cannot explore and reports a source the compiler refuses.
#include "explorer_facts.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace harness
{
namespace
{

namespace fs = std::filesystem;

RunResult labs(const std::vector<std::string> &args)
{
    RunOptions options;
    const std::string scratch = ::testing::TempDir() + "labs-opt-" + std::to_string(getpid());
    options.env = {"LABS_NO_BUILD=1", "LABS_OPT_DIR=" + scratch,
                   std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
    options.timeout = std::chrono::seconds(180);
    RunResult result = run(source("labs"), args, options);
    fs::remove_all(scratch);
    return result;
}

// ./labs opt finds a demo's targets from the catalog (optionTest4-arm is its ARM build
// alone), takes a file of one's own, fits 80 columns and refuses what it cannot explore.
TEST(LabsOpt, FindsDemosAndFilesAndFits80Columns)
{
    const RunResult both = labs({"opt", "optionTest4", "--width", "80"});
    ASSERT_TRUE(both.exited(0)) << both.err;
    EXPECT_NE(both.out.find("=== optionTest4 on x86-64:"), std::string::npos);
    EXPECT_NE(both.out.find("=== optionTest4 on arm:"), std::string::npos);
    for (const std::string &line : lines(both.out)) {
        EXPECT_LE(line.size(), 80u) << line;
    }
    const RunResult armOnly = labs({"opt", "optionTest4-arm"});
    EXPECT_EQ(armOnly.out.find("on x86-64"), std::string::npos);
    EXPECT_NE(armOnly.out.find("=== optionTest4 on arm:"), std::string::npos);

    const RunResult file =
        labs({"opt", source("optimization/globalVarOpt.cpp"), "--target", "i386"});
    ASSERT_TRUE(file.exited(0)) << file.err;
    EXPECT_NE(file.out.find("=== globalVarOpt on i386:"), std::string::npos);

    const RunResult all = labs({"opt", "--all"});
    ASSERT_TRUE(all.exited(0)) << all.err;
    EXPECT_EQ(lines(all.out).size(), 12u) << all.out; // two header lines, ten demo builds
    for (const std::string &line : lines(all.out)) {
        EXPECT_LE(line.size(), 80u) << line;
    }

    const RunResult unknown = labs({"opt", "c_src_58"});
    EXPECT_TRUE(unknown.exited(1));
    EXPECT_NE(unknown.err.find("'c_src_58' is neither an optimisation demo"), std::string::npos);
    const RunResult badTarget =
        labs({"opt", source("optimization/globalVarOpt.cpp"), "--target", "mips"});
    EXPECT_TRUE(badTarget.exited(2));
    EXPECT_NE(badTarget.err.find("unknown target 'mips'"), std::string::npos);
}

// The objects stay in the scratch folder between runs; a second run reports the same.
TEST(LabsOpt, ASecondRunInTheSameFolderReportsTheSame)
{
    const std::string scratch = ::testing::TempDir() + "explorer-again-" + std::to_string(getpid());
    const std::vector<std::string> args = {source("optimization/globalVarOpt.cpp"), "--facts",
                                           "--scratch", scratch};
    const RunResult first = run(explorer(), args);
    const RunResult second = run(explorer(), args);
    EXPECT_NE(first.out.find("\tInlining"), std::string::npos);
    EXPECT_EQ(second.out, first.out);
    fs::remove_all(scratch);
}

// A command line it cannot follow: said as ./labs opt's, status 2, no scratch folder left.
// The runs get a temporary folder of their own, so other tests' scratch folders cannot mix in.
TEST(LabsOpt, RefusesABadCommandLineAndLeavesNothingBehind)
{
    const fs::path scratchParent =
        fs::path(::testing::TempDir()) / ("refused-" + std::to_string(getpid()));
    fs::create_directories(scratchParent);
    RunOptions options;
    options.env = {"TMPDIR=" + scratchParent.string()};
    const RunResult width =
        run(explorer(), {source("optimization/globalVarOpt.cpp"), "--width", "abc"}, options);
    EXPECT_TRUE(width.exited(2));
    EXPECT_TRUE(width.err.starts_with("labs opt: --width takes a number of columns, not 'abc'\n"
                                      "usage: ./labs opt "))
        << width.err;
    const RunResult overview = run(explorer(), {"--overview", "no-colons-here"}, options);
    EXPECT_TRUE(overview.exited(2));
    EXPECT_NE(overview.err.find("--overview takes TITLE:SOURCE:TARGET"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(scratchParent));
    fs::remove_all(scratchParent);
}

// A source the compiler refuses: its messages, status 1.
TEST(LabsOpt, ReportsACompileError)
{
    const fs::path broken =
        fs::path(::testing::TempDir()) / ("broken-" + std::to_string(getpid()) + ".cpp");
    std::ofstream(broken) << "int main(void) { return missing; }\n";
    const RunResult result = run(explorer(), {broken.string()});
    EXPECT_TRUE(result.exited(1));
    EXPECT_NE(result.err.find("the compiler refused the source"), std::string::npos);
    EXPECT_NE(result.err.find("missing"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("was not declared"), std::string::npos) << result.err;
    fs::remove(broken);
}

} // namespace
} // namespace harness
