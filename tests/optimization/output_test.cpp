// Every optimisation demo on each of its targets: exact output, empty standard error and
// exit status 0; and optionTest7 with its libminmax missing, broken or in place.
#include "minmax.h"
#include "targets.h"

#include <climits>
#include <regex>
#include <string>

namespace harness
{
namespace
{

struct Case {
    const char *program;
    const Target *target;
    const char *expected;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.program << " on " << c.target->name;
}

class ExactOutput : public ::testing::TestWithParam<Case>
{
};

TEST_P(ExactOutput, PrintsItsLinesAndExitsWithZero)
{
    const Case &c = GetParam();
    RunOptions options;
    options.env = {std::string("LD_LIBRARY_PATH=") + LABS_LIB_DIR};
    const RunResult result = runOn(*c.target, c.program, options);
    EXPECT_SAME_OUTPUT(result.out, c.expected);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.exited(0)) << "status " << result.status << ", signal " << result.signal;
}

INSTANTIATE_TEST_SUITE_P(
    AllTargets, ExactOutput,
    ::testing::Values(Case{"optionTest1", &arm,
                           "Main Start..\nlv1:1, lv2:2, lv3:1000\nMain End...\n"},
                      Case{"optionTest2", &x86_64, "lv1:1, lv2:20\n"},
                      Case{"optionTest4", &x86_64, "Main Start..\nMain End...\n"},
                      Case{"optionTest4", &arm, "Main Start..\nMain End...\n"},
                      Case{"optionTest5", &x86_64, "rst:0.69\n"},
                      Case{"optionTest6", &x86_64, "lv1:10,lv2:20,lv3:30\nMain End...\n"},
                      Case{"optionTest7", &x86_64, "MAX : 5\nMIN : 3\n"},
                      Case{"globalVarOpt", &x86_64, ""},
                      Case{"lowCostOp", &x86_64, "d1:3, d2:3\nd3:7, d4:7\n"}),
    [](const ::testing::TestParamInfo<Case> &info) {
        std::string name = std::string(info.param.program) + "_" + info.param.target->name;
        std::erase(name, '-');
        return name;
    });

// The first locals line shows lv3 before it has a value: any number may follow "lv3:".
TEST(OptionTest1Globals, PrintsGlobalsAndLocalsBeforeAndAfterLv3IsAssigned)
{
    const RunResult result = runOn(i386, "optionTest1_globals");
    const std::vector<std::string> shown = lines(result.out);
    ASSERT_EQ(shown.size(), 5u) << visible(result.out);
    EXPECT_EQ(shown[0], "Main Start..");
    EXPECT_EQ(shown[1], "gv1:10, gv2:20, gv3:0");
    EXPECT_TRUE(std::regex_match(shown[2], std::regex("lv1:1, lv2:2, lv3:-?[0-9]+"))) << shown[2];
    EXPECT_EQ(shown[3], "lv1:1, lv2:2, lv3:1000");
    EXPECT_EQ(shown[4], "Main End...");
    EXPECT_TRUE(result.out.ends_with("Main End...\n"));
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.exited(0));
}

// The loader, not the program, refuses to start it: nothing is printed, status 127.
TEST(OptionTest7, DoesNotStartWithoutLibminmaxAndTheLoaderSaysWhy)
{
    RunOptions options;
    options.env = {"LD_LIBRARY_PATH="};
    const RunResult result = runOn(x86_64, "optionTest7", options);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(
        result.err.find("error while loading shared libraries: libminmax.so: cannot open shared "
                        "object file"),
        std::string::npos)
        << result.err;
    EXPECT_TRUE(result.exited(127));
}

// Both symbols are bound at start-up, so a library without min stops the program before
// max is ever called.
TEST(OptionTest7, ALibminmaxWithoutMinStopsItBeforeMaxIsCalled)
{
    RunOptions options;
    options.env = {"LD_LIBRARY_PATH=" + testProgram("minmax_without_min")};
    const RunResult result = runOn(x86_64, "optionTest7", options);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("undefined symbol: min"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("max was called"), std::string::npos) << result.err;
    EXPECT_TRUE(result.exited(127));
}

// The stand-in itself: the greater and the smaller of two ints, whatever their order.
TEST(Libminmax, GivesTheGreaterAndTheSmaller)
{
    struct Pair {
        int a, b, greater, smaller;
    };
    for (const Pair p : {Pair{5, 3, 5, 3}, Pair{3, 5, 5, 3}, Pair{-7, -2, -2, -7}, Pair{4, 4, 4, 4},
                         Pair{INT_MIN, INT_MAX, INT_MAX, INT_MIN}}) {
        EXPECT_EQ(max(p.a, p.b), p.greater) << p.a << ", " << p.b;
        EXPECT_EQ(min(p.a, p.b), p.smaller) << p.a << ", " << p.b;
    }
}

} // namespace
} // namespace harness
