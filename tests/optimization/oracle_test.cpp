// The optimisation explorer's facts set against binutils' own reading of the objects it
// compiled (oracle.h). For each program of the corpus on x86-64, arm and i386, and for each
// demo on its targets, every function, variable, instruction and loop the explorer reports
// at -O0, -O2 and -Os must be what that reading of the same object finds.
#include "oracle.h"
#include "targets.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace harness
{
namespace
{

namespace fs = std::filesystem;
using namespace oracle;

// ------------------------------------------------------------------ the explorer's facts

// The explorer's facts at one level, as the reading gives them; twice-given names are problems.
Said explorerFacts(const std::string &facts, const std::string &target, const std::string &level,
                   std::vector<std::string> &problems)
{
    Said said;
    std::set<std::string> names;
    for (const std::string &line : lines(facts)) {
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() < 7 || f[1] != target || f[2] != level) {
            continue;
        }
        if ((f[0] == "function" || f[0] == "variable") && f.size() >= 7) {
            std::string text = f[4];
            for (std::size_t k = 5; k < f.size(); ++k) {
                text += " " + f[k];
            }
            said[{f[0], f[3], -1}] = text;
            if (!names.insert(f[0] + " " + f[4]).second) {
                problems.push_back(f[0] + " name " + f[4] + " is given to two symbols");
            }
        } else if (f[0] == "insn" && f.size() >= 12) {
            std::vector<std::string> variables = split(f[9], ',');
            std::sort(variables.begin(), variables.end());
            std::string sorted;
            for (const std::string &v : variables) {
                sorted += (sorted.empty() ? "" : ",") + v;
            }
            said[{"insn", f[3], std::stoll(f[4])}] = insnFact(f[7], f[8], f[6], sorted);
        } else if (f[0] == "loop") {
            said[{"loop", f[3], std::stoll(f[4])}] = "body " + f[5];
        }
    }
    return said;
}

std::vector<std::string> differences(const Said &said, const Said &expected,
                                     const std::map<Key, std::string> &shown)
{
    std::vector<std::string> problems;
    std::set<Key> keys;
    for (const Said *facts : {&said, &expected}) {
        for (const auto &[key, text] : *facts) {
            keys.insert(key);
        }
    }
    for (const Key &key : keys) {
        const std::string got = said.contains(key) ? said.at(key) : "nothing";
        const std::string want = expected.contains(key) ? expected.at(key) : "nothing";
        if (got != want) {
            const auto &[kind, symbol, offset] = key;
            problems.push_back(kind + " " + symbol +
                               (offset < 0 ? "" : " +" + std::to_string(offset)) +
                               (shown.contains(key) ? "   objdump: " + shown.at(key) : "") +
                               "\n    explorer: " + got + "\n    oracle:   " + want);
        }
    }
    return problems;
}

// ------------------------------------------------------------------ the cases

struct Case {
    std::string file; // in the source tree
    std::string target;
    bool demo = false;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.file << " on " << c.target;
}

class Oracle : public ::testing::TestWithParam<Case>
{
};

TEST_P(Oracle, ExplorerAgreesWithBinutils)
{
    const Case &c = GetParam();
    const std::string stem = fs::path(c.file).stem().string();
    const std::string scratch =
        ::testing::TempDir() + "oracle-" + std::to_string(getpid()) + "-" + stem + "-" + c.target;
    std::vector<std::string> args = {source(c.file), "--target",  c.target,
                                     "--facts",      "--scratch", scratch};
    if (c.demo) {
        args.insert(args.end(), {"-I", source("standins/minmax")});
    }
    RunOptions options;
    options.timeout = std::chrono::seconds(180);
    const RunResult explored =
        harness::run(std::string(LABS_BIN_DIR) + "/../tools/opt_explorer", args, options);
    ASSERT_TRUE(explored.exited(0)) << explored.err;
    bool agreed = true;
    for (const char *level : {"-O0", "-O2", "-Os"}) {
        const std::string object = scratch + "/" + stem + "/" + c.target + level + ".o";
        ASSERT_TRUE(fs::exists(object)) << object;
        const Arch arch = c.target == "arm"    ? Arch::arm
                          : c.target == "i386" ? Arch::i386
                                               : Arch::x86_64;
        std::map<Key, std::string> shown;
        const Said expected = expectedFacts(readObject(object, arch), shown);
        std::vector<std::string> problems;
        const Said said = explorerFacts(explored.out, c.target, level, problems);
        for (const std::string &p : differences(said, expected, shown)) {
            problems.push_back(p);
        }
        std::string message;
        int count = 0;
        for (const std::string &p : problems) {
            for (const std::string &line : lines(p)) {
                message += ++count <= 30 ? "  " + line + "\n" : "";
            }
        }
        if (count > 30) {
            message += "  ... and " + std::to_string(count - 30) + " lines more\n";
        }
        EXPECT_TRUE(problems.empty()) << object << ": " << problems.size() << " differences\n"
                                      << message;
        agreed = agreed && problems.empty();
    }
    if (agreed) {
        fs::remove_all(scratch);
    }
}

std::vector<Case> corpus()
{
    std::vector<Case> cases;
    std::set<std::string> files;
    for (const auto &entry : fs::directory_iterator(source("tests/optimization/corpus"))) {
        files.insert(entry.path().filename().string());
    }
    for (const std::string &file : files) {
        for (const char *target : {"x86-64", "arm", "i386"}) {
            cases.push_back({"tests/optimization/corpus/" + file, target});
        }
    }
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<Case> &info)
{
    std::string name = fs::path(info.param.file).stem().string() + "_" + info.param.target;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, Oracle, ::testing::ValuesIn(corpus()), caseName);

// The demos too, each on all three targets (a student compiles them for any).
std::vector<Case> demos()
{
    std::vector<Case> cases;
    std::set<std::string> files;
    for (const auto &entry : fs::directory_iterator(source("optimization"))) {
        if (entry.path().extension() == ".cpp") {
            files.insert(entry.path().filename().string());
        }
    }
    for (const std::string &file : files) {
        for (const char *target : {"x86-64", "arm", "i386"}) {
            cases.push_back({"optimization/" + file, target, true});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Demos, Oracle, ::testing::ValuesIn(demos()), caseName);

} // namespace
} // namespace harness
