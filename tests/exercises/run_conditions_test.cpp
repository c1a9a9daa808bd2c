// Every x86-64 console program run in ways that must not change what it does: with
// command-line arguments, which every program ignores, and with its standard output on a
// full device, which only caseconv and ex04-2 examine (their own tests cover that).
#include "run_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace harness
{
namespace
{

struct Console {
    std::string program;
    std::string input = "";
    int status = 0;
};

void PrintTo(const Console &c, std::ostream *os)
{
    *os << c.program;
}

// The programs that end by themselves with the same output each time, each with a short
// input when it reads one.
const std::vector<Console> ending = {
    {"bigstr", "ab\n...\n"},
    {"mygets", "hello\n"},
    {"c_src_146", "x 6 7\n"},
    {"funcPtrBasic2", "1\n"},
    {"c_src_209", "1 2 3 4 5\n"},
    {"c_src_76", "20 180\nKim\n"},
    {"c_src_310", "5\n0\n"},
    {"funcPtrBasic1"},
    {"c_src_236"},
    {"c_src_266"},
    {"c_src_254"},
    {"c_src_64"},
    {"main_read_write"},
    {"c_src_103"},
    {"c_src_244"},
    {"c_src_58"},
    {"c_src_40"},
    {"c_src_89"},
    {"c_src_87"},
    {"c_src_62"},
    {"c_src_295"},
    {"c_src_39"},
    {"c_src_35"},
    {"c_src_108"},
    {"c_src_174"},
    {"c_src_161"},
    {"optionTest2"},
    {"optionTest4"},
    {"optionTest5"},
    {"optionTest6"},
    {"optionTest7"},
    {"globalVarOpt"},
    {"lowCostOp"},
};

std::vector<Console> plus(std::vector<Console> cases, const std::vector<Console> &more)
{
    cases.insert(cases.end(), more.begin(), more.end());
    return cases;
}

// c_src_159 never ends: it is stopped after this much output, which is what is compared.
constexpr std::size_t endlessOutput = 4096;

// Runs a program with its input; ex04-2 reads ./myfifo, which a shell in a scratch folder
// makes and feeds; memory-alloc2 grows its heap until it meets a limit.
RunResult runConsole(const Console &c, const std::vector<std::string> &args,
                     const std::string &outputFile = "")
{
    RunOptions options;
    options.input = c.input;
    options.outputFile = outputFile;
    options.env = {std::string("LD_LIBRARY_PATH=") + LABS_LIB_DIR};
    if (c.program == "c_src_159") {
        options.stopAfterOutput = endlessOutput;
    } else if (c.program == "ex04-2") {
        std::string pattern = ::testing::TempDir() + "fifo-XXXXXX";
        options.workingDir = mkdtemp(pattern.data());
        // A command started with & reads /dev/null unless told otherwise: hence fd 3.
        options.prefix = {"sh", "-c",
                          "mkfifo myfifo && { cat <&3 >myfifo & } 3<&0 && exec \"$0\" \"$@\""};
    } else if (c.program == "memory-alloc2" && sanitized) {
        // The sanitizer runtime cannot start under an address-space limit.
        options.env.push_back("ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:"
                              "max_allocation_size_mb=8");
    } else if (c.program == "memory-alloc2") {
        options.prefix = {"prlimit", "--as=" + std::to_string(64 << 20)};
    }
    RunResult result = run(bin(c.program), args, options);
    if (!options.workingDir.empty()) {
        std::filesystem::remove_all(options.workingDir);
    }
    return result;
}

// The output as far as it must agree between runs: c_src_236's addresses vary by run.
std::string comparable(const RunResult &result)
{
    const std::string out = result.stopped ? result.out.substr(0, endlessOutput) : result.out;
    return std::regex_replace(out, std::regex("0x[0-9a-f]+"), "0x?");
}

class Arguments : public ::testing::TestWithParam<Console>
{
};

TEST_P(Arguments, ChangeNothing)
{
    const RunResult without = runConsole(GetParam(), {});
    const RunResult with = runConsole(GetParam(), {"--help", "-x", "1"});
    ASSERT_TRUE(without.exited(GetParam().status) || without.stopped) << without.err;
    ASSERT_FALSE(with.timedOut);
    EXPECT_EQ(comparable(with), comparable(without)) << visible(with.out);
    EXPECT_EQ(with.err, without.err);
    EXPECT_EQ(with.status, without.status);
    EXPECT_EQ(with.signal, without.signal);
}

class FullOutputDevice : public ::testing::TestWithParam<Console>
{
};

TEST_P(FullOutputDevice, EndsWithTheUsualStatus)
{
    const RunResult result = runConsole(GetParam(), {}, "/dev/full");
    // The sanitized build's allocator warns when it refuses memory-alloc2 a block.
    const std::regex refused("==[0-9]+==WARNING: AddressSanitizer failed to allocate 0x[0-9a-f]+ "
                             "bytes\n");
    EXPECT_EQ(std::regex_replace(result.err, refused, ""), "");
    EXPECT_TRUE(result.exited(GetParam().status))
        << "status " << result.status << ", signal " << result.signal;
}

auto name = [](const auto &info) {
    std::string name = info.param.program;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
};
INSTANTIATE_TEST_SUITE_P(EveryProgram, Arguments,
                         ::testing::ValuesIn(plus(ending, {{"caseconv", "Hello\n"},
                                                           {"ex04-2", "hello\n"},
                                                           {"c_src_159"}})),
                         name);
INSTANTIATE_TEST_SUITE_P(EveryProgramNotExaminingWrites, FullOutputDevice,
                         ::testing::ValuesIn(plus(ending, {{"memory-alloc2", "", 1}})), name);

} // namespace
} // namespace harness
