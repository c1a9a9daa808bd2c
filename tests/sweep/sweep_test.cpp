// Every program that reads standard input, fed every input of corpus.txt: each must end
// within a few seconds, not be killed by a signal, keep its output bounded and raise no
// sanitizer report (the harness fails the test on one).
#include "run_process.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace harness
{
namespace
{

struct Program {
    const char *name;
    std::vector<std::string> command; // program path first; built with bin()
    bool throughFifo = false;         // fed through ./myfifo instead of standard input
};

// The programs under the sweep, and the arguments each needs.
std::vector<Program> programs()
{
    return {
        {"person_menu_srh", {bin("person_menu"), "srh"}},
        {"person_menu_del", {bin("person_menu"), "del"}},
        {"member_menu", {bin("member_menu")}},
        {"bigstr", {bin("bigstr")}},
        {"mygets", {bin("mygets")}},
        {"caseconv", {bin("caseconv")}},
        {"c_src_146", {bin("c_src_146")}},
        {"funcPtrBasic2", {bin("funcPtrBasic2")}},
        {"c_src_209", {bin("c_src_209")}},
        {"c_src_76", {bin("c_src_76")}},
        {"c_src_310", {bin("c_src_310")}},
        {"ex04_2", {bin("ex04-2")}, true},
    };
}

// The pipe reader gets the input through a FIFO in a scratch folder: a shell makes
// ./myfifo, copies its own standard input into it, and becomes the reader.
void feedThroughFifo(RunOptions &options, std::string &scratch)
{
    std::string pattern = ::testing::TempDir() + "sweep-fifo-XXXXXX";
    scratch = mkdtemp(pattern.data());
    options.workingDir = scratch;
    // A command started with & reads /dev/null unless told otherwise: hence fd 3.
    options.prefix = {"sh", "-c", "mkfifo myfifo && { cat <&3 >myfifo & } 3<&0 && exec \"$0\""};
}

struct Hostile {
    std::string name;
    std::string bytes;
};

std::string trim(const std::string &text)
{
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::string unescape(const std::string &text)
{
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char code = text[++i];
        switch (code) {
        case 'n':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        case 't':
            bytes += '\t';
            break;
        case '0':
            bytes += '\0';
            break;
        case 'x':
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
            break;
        default:
            bytes += code;
        }
    }
    return bytes;
}

std::vector<Hostile> corpus()
{
    std::ifstream file(source("tests/sweep/corpus.txt"));
    std::vector<Hostile> inputs;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string name, kind, argument;
        std::getline(fields, name, '|');
        std::getline(fields, kind, '|');
        std::getline(fields, argument);
        // One blank separates the bar from the argument; what follows is the argument.
        if (!argument.empty() && argument[0] == ' ') {
            argument.erase(0, 1);
        }
        kind = trim(kind);
        std::string bytes;
        if (kind == "bytes") {
            bytes = unescape(argument);
        } else if (kind == "repeat") {
            std::istringstream words(argument);
            std::string what;
            size_t count = 0;
            words >> what >> count;
            const std::string unit = unescape(what);
            for (size_t i = 0; i < count; ++i) {
                bytes += unit;
            }
        } else if (kind == "random") {
            std::istringstream words(argument);
            size_t count = 0;
            unsigned seed = 0;
            words >> count >> seed;
            std::mt19937 generator(seed);
            for (size_t i = 0; i < count; ++i) {
                bytes += static_cast<char>(generator() & 0xff);
            }
        } else if (kind == "allbytes") {
            for (int round = 0; round < std::stoi(argument); ++round) {
                for (int value = 0; value < 256; ++value) {
                    bytes += static_cast<char>(value);
                }
            }
        } else {
            ADD_FAILURE() << "unknown kind '" << kind << "' in corpus.txt";
        }
        inputs.push_back({trim(name), bytes});
    }
    return inputs;
}

void PrintTo(const Program &program, std::ostream *os)
{
    *os << program.name;
}

class Sweep : public ::testing::TestWithParam<Program>
{
};

TEST_P(Sweep, EndsCleanlyOnEveryHostileInput)
{
    const Program &program = GetParam();
    const std::vector<Hostile> inputs = corpus();
    ASSERT_GE(inputs.size(), 10u);
    for (const Hostile &input : inputs) {
        RunOptions options;
        options.input = input.bytes;
        options.timeout = std::chrono::seconds(10);
        // Output may answer each input byte with a line or a menu, but never run away.
        options.outputLimit = 256 * input.bytes.size() + (1u << 20);
        std::string scratch;
        if (program.throughFifo) {
            feedThroughFifo(options, scratch);
        }
        const std::vector<std::string> args(program.command.begin() + 1, program.command.end());
        const RunResult result = run(program.command[0], args, options);
        if (!scratch.empty()) {
            std::filesystem::remove_all(scratch);
        }
        EXPECT_FALSE(result.timedOut) << input.name;
        EXPECT_FALSE(result.stopped) << input.name << ": runaway output";
        EXPECT_EQ(result.signal, 0) << input.name;
        EXPECT_GE(result.status, 0) << input.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, Sweep, ::testing::ValuesIn(programs()),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace harness
