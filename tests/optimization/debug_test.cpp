// The debug information of the two debug builds, globalVarOpt's counter at exit, and the
// front door's debugging sessions on both; all through gdb-multiarch.
#include "targets.h"

#include <string>

namespace harness
{
namespace
{

RunResult gdb(const std::vector<std::string> &commands, const std::string &program,
              const std::vector<std::string> &env = {})
{
    std::vector<std::string> args = {"-q", "-nx", "-batch"};
    for (const std::string &command : commands) {
        args.push_back("-ex");
        args.push_back(command);
    }
    args.push_back(program);
    RunOptions options;
    options.env = env;
    options.timeout = std::chrono::seconds(60);
    return run("gdb-multiarch", args, options);
}

struct DebugProgram {
    const Target *target;
    const char *program;
};

void PrintTo(const DebugProgram &d, std::ostream *out)
{
    *out << d.program << " on " << d.target->name;
}

// The two debug builds.
const DebugProgram debugPrograms[] = {{&arm, "optionTest1"}, {&i386, "optionTest1_globals"}};

std::string programName(const ::testing::TestParamInfo<DebugProgram> &info)
{
    return info.param.program;
}

class DebugBuild : public ::testing::TestWithParam<DebugProgram>
{
};

TEST_P(DebugBuild, HoldsTheLocalsOfMainByName)
{
    const auto [target, program] = GetParam();
    const RunResult result = gdb({"info scope main"}, programPath(*target, program));
    ASSERT_TRUE(result.exited(0)) << result.err;
    for (const char *local : {"lv1", "lv2", "lv3"}) {
        EXPECT_NE(result.out.find(std::string("Symbol ") + local + " is "), std::string::npos)
            << local << " in\n"
            << result.out;
    }
    const RunResult line = gdb({"info line main"}, programPath(*target, program));
    EXPECT_NE(line.out.find(std::string(program) + ".cpp\""), std::string::npos) << line.out;
}

INSTANTIATE_TEST_SUITE_P(ArmAndI386, DebugBuild, ::testing::ValuesIn(debugPrograms), programName);

// Stopped at the exit system call, after f1 has run: global_var has been counted to 100.
TEST(GlobalVarOpt, EndsWithGlobalVarAt100)
{
    const RunResult result = gdb({"catch syscall exit_group", "run", "print global_var"},
                                 programPath(x86_64, "globalVarOpt"),
                                 {"ASAN_OPTIONS=detect_leaks=0"}); // no leak check under a debugger
    EXPECT_NE(result.out.find("exit_group"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("$1 = 100\n"), std::string::npos) << result.out << result.err;
}

// ./labs debug NAME without a terminal: stops in main of the program's debug build, shows
// the locals and globals, the locals before and after lv3 is assigned, then lets the program
// finish.
class FrontDoorDebug : public ::testing::TestWithParam<DebugProgram>
{
};

TEST_P(FrontDoorDebug, ShowsTheLocalsBeforeAndAfterLv3IsAssigned)
{
    const std::string program = GetParam().program;
    RunOptions options;
    options.env = {"LABS_NO_BUILD=1"};
    options.timeout = std::chrono::seconds(60);
    const RunResult result = run(source("labs"), {"debug", program}, options);
    ASSERT_TRUE(result.exited(0)) << result.out << result.err;
    const std::string &out = result.out;
    const std::size_t inMain = out.find("Breakpoint 1, main () at ");
    const std::size_t globals = out.find("--- the globals ---\ngv1 = 10\ngv2 = 20\ngv3 = 0\n");
    const std::size_t before = out.find("lv3 is not assigned yet ---\nlv1 = 1\nlv2 = 2\nlv3 = ");
    const std::size_t after = out.find("after lv3 = 1000 ---\nlv1 = 1\nlv2 = 2\nlv3 = 1000\n");
    EXPECT_NE(inMain, std::string::npos) << out;
    EXPECT_NE(out.find("optimization/" + program + ".cpp:", inMain), std::string::npos) << out;
    EXPECT_NE(globals, std::string::npos) << out;
    EXPECT_NE(before, std::string::npos) << out;
    EXPECT_NE(after, std::string::npos) << out;
    EXPECT_LT(inMain, globals);
    EXPECT_LT(globals, before);
    EXPECT_LT(before, after);
    EXPECT_NE(out.find("lv1:1, lv2:2, lv3:1000\nMain End...\n"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(ArmAndI386, FrontDoorDebug, ::testing::ValuesIn(debugPrograms),
                         programName);

} // namespace
} // namespace harness
