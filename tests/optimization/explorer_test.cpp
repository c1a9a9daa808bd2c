// The optimisation explorer run end to end: every sentence of its summary holds for its facts
// and binutils agrees with them, for every demo on each of its targets and for edited copies
// of the demos (as a student would edit them); ./labs opt finds the demos and a student's
// file, fits 80 columns, refuses what it cannot explore and reports a compile error.
#include "explorer_facts.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace harness
{
namespace
{

namespace fs = std::filesystem;

std::string explorer()
{
    return std::string(LABS_BIN_DIR) + "/../tools/opt_explorer";
}

struct Explored {
    Facts facts;
    std::string scratch; // the objects, for binutils to look at
};

Explored explore(const std::string &file, const std::string &target)
{
    const std::string scratch = ::testing::TempDir() + "explorer-" + std::to_string(getpid()) +
                                "-" + fs::path(file).stem().string() + "-" + target;
    RunOptions options;
    options.timeout = std::chrono::seconds(120);
    const RunResult result = run(explorer(),
                                 {file, "--target", target, "--facts", "--scratch", scratch, "-I",
                                  source("standins/minmax")},
                                 options);
    EXPECT_TRUE(result.exited(0)) << result.err;
    return {parse(result.out), scratch + "/" + fs::path(file).stem().string()};
}

struct DemoTarget {
    const char *demo;
    const char *target;
};

using ExplorerDemo = ::testing::TestWithParam<DemoTarget>;

TEST_P(ExplorerDemo, EverySentenceHoldsAndBinutilsAgree)
{
    const auto [demo, target] = GetParam();
    const Explored explored = explore(source(std::string("optimization/") + demo + ".cpp"), target);
    expectEverySentenceHolds(explored.facts);

    // binutils' own reading of the same objects: each function's size, and the calls
    // named by the relocations of its call instructions.
    const std::string prefix = std::string(target) == "x86-64" ? ""
                               : std::string(target) == "arm"  ? "arm-linux-gnueabi-"
                                                               : "i686-linux-gnu-";
    for (const char *level : {"-O0", "-O2", "-Os"}) {
        const std::string object = explored.scratch + "/" + target + level + ".o";
        const RunResult nm = run(prefix + "nm", {"-S", "--defined-only", object});
        std::map<std::string, std::uint64_t> sizes;
        for (const std::string &line : lines(nm.out)) {
            std::istringstream fields(line);
            std::string address, size, type, name;
            if (fields >> address >> size >> type >> name && (type == "T" || type == "t")) {
                sizes[name] = std::stoull(size, nullptr, 16);
            }
        }
        std::map<std::string, std::uint64_t> said;
        for (const auto &[key, size] : explored.facts.functionSizes) {
            if (key.starts_with(std::string(target) + " " + level + " ")) {
                said[key.substr(key.rfind(' ') + 1)] = size;
            }
        }
        EXPECT_EQ(said, sizes) << level;
    }
    fs::remove_all(explored.scratch);
}

INSTANTIATE_TEST_SUITE_P(
    Demos, ExplorerDemo,
    ::testing::Values(DemoTarget{"optionTest1_globals", "i386"}, DemoTarget{"optionTest1", "arm"},
                      DemoTarget{"optionTest2", "x86-64"}, DemoTarget{"optionTest4", "x86-64"},
                      DemoTarget{"optionTest4", "arm"}, DemoTarget{"optionTest5", "x86-64"},
                      DemoTarget{"optionTest6", "x86-64"}, DemoTarget{"optionTest7", "x86-64"},
                      DemoTarget{"globalVarOpt", "x86-64"}, DemoTarget{"lowCostOp", "x86-64"}),
    [](const auto &info) {
        return std::string(info.param.demo) + "_" +
               (std::string(info.param.target) == "x86-64" ? "x86_64" : info.param.target);
    });

// A demo copied into a scratch folder with one edit, as a student would make it.
struct Edit {
    const char *title;
    const char *demo;
    const char *from; // text replaced in the demo's source
    const char *to;
    const char *target;
    const char *sentence; // a piece of the summary the edit must bring
};

using EditedDemo = ::testing::TestWithParam<Edit>;

TEST_P(EditedDemo, ReportFollowsTheEditAndStaysTrue)
{
    const Edit &edit = GetParam();
    std::ifstream in(source(std::string("optimization/") + edit.demo + ".cpp"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t at = text.find(edit.from);
    ASSERT_NE(at, std::string::npos) << edit.from;
    text.replace(at, std::string(edit.from).size(), edit.to);
    const fs::path folder =
        fs::path(::testing::TempDir()) / ("edited-" + std::to_string(getpid()) + "-" + edit.title);
    fs::create_directories(folder);
    const std::string copy = (folder / (std::string(edit.demo) + ".cpp")).string();
    std::ofstream(copy) << text;

    const Explored explored = explore(copy, edit.target);
    expectEverySentenceHolds(explored.facts);
    std::string summary;
    for (const auto &[target, sentence] : explored.facts.said) {
        summary += sentence + "\n";
    }
    EXPECT_NE(summary.find(edit.sentence), std::string::npos) << summary;
    fs::remove_all(folder);
    fs::remove_all(explored.scratch);
}

const Edit edits[] = {
    // A divisor that is not a power of two: a multiply by its reciprocal, even at -O0.
    {"DivisorNotAPowerOfTwo", "lowCostOp", "d3 = d3 / 4;", "d3 = d3 / 5;", "x86-64",
     "Divides, multiplies, shifts and masks: 1 multiply, 5 shifts and 2 masks at -O0; none at -O2"},
    // A divisor the compiler cannot know: a divide instruction at every level.
    {"DivisorAtRunTime", "lowCostOp", "d3 = d3 / 4;",
     "volatile int divisor = 4;\n    d3 = d3 / divisor;", "x86-64",
     "2 masks at -O0; 1 divide at -O2; 1 divide at -Os."},
    {"GlobalMadeStatic", "globalVarOpt", "int global_var;", "static int global_var;", "x86-64",
     "global_var (this file only): 1 instruction reads it and 1 writes it at -O0; 2 "
     "instructions read it and 2 write it (1 of them in f1(), which this file never calls) at "
     "-O2."},
    {"GlobalNoLongerUsed", "globalVarOpt", "global_var++;", ";", "x86-64",
     "global_var (visible to other files): no instruction names it at -O0 and at -O2."},
    // ARMv5 has no divide instruction: the C library's helper does it.
    {"ArmDivisionAtRunTime", "optionTest4", "puts(\"Main End...\");",
     "printf(\"%d\\n\", 100 / lv3);", "arm",
     "Calls: puts, __aeabi_idiv and printf at -O0; puts and printf at -O2"},
};

INSTANTIATE_TEST_SUITE_P(Edits, EditedDemo, ::testing::ValuesIn(edits),
                         [](const auto &info) { return std::string(info.param.title); });

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
