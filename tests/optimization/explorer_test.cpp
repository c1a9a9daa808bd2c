// ./labs opt: the facts it reports for what optimisation does to the demos, read from its
// tables (not the exact instructions, which belong to the compiler).
#include "targets.h"

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace harness
{
namespace
{

class Explorer : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        scratch = std::filesystem::temp_directory_path() /
                  ("labs-opt-test-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override
    {
        std::filesystem::remove_all(scratch);
    }

    RunResult labs(const std::vector<std::string> &args)
    {
        RunOptions options;
        options.env = {"LABS_NO_BUILD=1", "LABS_OPT_DIR=" + scratch.string()};
        options.timeout = std::chrono::seconds(180);
        return run(source("labs"), args, options);
    }

    std::filesystem::path scratch;
};

using Row = std::map<std::string, std::string>;

// The rows of a table whose first line names the columns; keyed by the first `keys` fields.
std::map<std::string, Row> table(const std::string &text, const std::string &header, int keys)
{
    std::map<std::string, Row> rows;
    std::vector<std::string> columns;
    for (const std::string &line : lines(text)) {
        std::istringstream fields(line);
        std::vector<std::string> cells;
        for (std::string cell; fields >> cell;) {
            cells.push_back(cell);
        }
        if (line.starts_with(header)) {
            columns = cells;
            continue;
        }
        if (columns.empty() || cells.size() < columns.size() - 2 || cells.empty()) {
            if (cells.empty()) {
                columns.clear();
            }
            continue;
        }
        std::string key;
        Row row;
        for (std::size_t i = 0; i < cells.size() && i < columns.size(); ++i) {
            row[columns[i]] = cells[i];
            if (static_cast<int>(i) < keys) {
                key += (i ? " " : "") + cells[i];
            }
        }
        rows[key] = row;
    }
    return rows;
}

int number(const std::map<std::string, Row> &rows, const std::string &key,
           const std::string &column)
{
    const auto row = rows.find(key);
    if (row == rows.end() || !row->second.contains(column)) {
        ADD_FAILURE() << "no " << column << " for " << key;
        return -1;
    }
    return std::stoi(row->second.at(column));
}

TEST_F(Explorer, GlobalVarOptLosesTheLoopAndItsLoadsAndStoresAtO2)
{
    const RunResult result = labs({"opt", "globalVarOpt"});
    ASSERT_TRUE(result.exited(0)) << result.err;
    const auto rows = table(result.out, "function", 2);
    EXPECT_EQ(rows.at("f1 -O0").at("loop"), "yes");
    EXPECT_GT(number(rows, "f1 -O0", "globals-in-loop"), 0);
    EXPECT_EQ(rows.at("f1 -O0").at("calls"), "f2");
    for (const char *level : {"-O2", "-Os"}) {
        EXPECT_EQ(rows.at(std::string("f1 ") + level).at("loop"), "no") << level;
        EXPECT_EQ(number(rows, std::string("f1 ") + level, "globals-in-loop"), 0) << level;
        EXPECT_LT(number(rows, std::string("f1 ") + level, "bytes"),
                  number(rows, "f1 -O0", "bytes"));
    }
    EXPECT_EQ(rows.at("f1 -O2").at("calls"), "-"); // f2 is inlined
    EXPECT_NE(result.out.find("--- f1 at -O0 | -O2 | -Os ---"), std::string::npos);
    EXPECT_NE(result.out.find("summary (x86-64): "), std::string::npos);
    EXPECT_NE(result.out.find("none at -O2 (the loop is gone"), std::string::npos) << result.out;
    EXPECT_TRUE(std::filesystem::exists(scratch / "globalVarOpt" / "x86-64-O2.o"));
}

TEST_F(Explorer, LowCostOpHasNoDivisionAtAnyLevelAndConstantsAtO2)
{
    const RunResult result = labs({"opt", "lowCostOp"});
    ASSERT_TRUE(result.exited(0)) << result.err;
    const auto rows = table(result.out, "function", 2);
    for (const char *level : {"-O0", "-O2", "-Os"}) {
        EXPECT_EQ(number(rows, std::string("main ") + level, "divides"), 0) << level;
    }
    EXPECT_GT(number(rows, "main -O0", "shifts"), 0); // the division by 4 is a shift
    EXPECT_GT(number(rows, "main -O0", "masks"), 0);
    EXPECT_EQ(number(rows, "main -O2", "shifts"), 0); // and at -O2 the values are constants
    EXPECT_EQ(number(rows, "main -O2", "masks"), 0);
    EXPECT_EQ(number(rows, "main -O2", "stack-st"), 0);
    EXPECT_GT(number(rows, "main -O0", "stack-st"), 0);
}

// One table, every demo on each of its targets at both levels; the facts behind the
// other demos' effects: unused locals vanish on both targets, log is never called.
TEST_F(Explorer, AllPrintsOneTableOverEveryDemoAndBothLevels)
{
    const RunResult result = labs({"opt", "--all"});
    ASSERT_TRUE(result.exited(0)) << result.err;
    const auto rows = table(result.out, "program", 3);
    const std::vector<std::pair<std::string, std::string>> demos = {
        {"optionTest1_globals", "i386"}, {"optionTest1", "arm"},    {"optionTest2", "x86-64"},
        {"optionTest4", "x86-64"},       {"optionTest4", "arm"},    {"optionTest5", "x86-64"},
        {"optionTest6", "x86-64"},       {"optionTest7", "x86-64"}, {"globalVarOpt", "x86-64"},
        {"lowCostOp", "x86-64"}};
    EXPECT_EQ(rows.size(), demos.size() * 2) << result.out;
    for (const auto &[program, target] : demos) {
        const std::string o0 = program + " " + target + " -O0",
                          o2 = program + " " + target + " -O2";
        EXPECT_TRUE(rows.contains(o0) && rows.contains(o2)) << program << " " << target;
    }
    for (const char *target : {"x86-64", "arm"}) {
        const std::string key = std::string("optionTest4 ") + target;
        EXPECT_GT(number(rows, key + " -O0", "stack-st"), 0) << target;
        EXPECT_EQ(number(rows, key + " -O2", "stack-st"), 0) << target;
    }
    EXPECT_EQ(rows.at("optionTest5 x86-64 -O0").at("calls-from-main"), "printf");
    EXPECT_EQ(rows.at("optionTest5 x86-64 -O2").at("calls-from-main"), "printf");
    EXPECT_EQ(number(rows, "globalVarOpt x86-64 -O0", "loops"), 1);
    EXPECT_EQ(number(rows, "globalVarOpt x86-64 -O2", "loops"), 0);
}

TEST_F(Explorer, RefusesANameThatIsNotADemo)
{
    const RunResult result = labs({"opt", "c_src_58"});
    EXPECT_TRUE(result.exited(1));
    EXPECT_NE(result.err.find("'c_src_58' is not an optimisation demo"), std::string::npos)
        << result.err;
}

} // namespace
} // namespace harness
