// ./labs check's table of cases: every row selects cases that exist, every deliverable of
// the catalog is there with cases the description states, and every case that names a
// deliverable as it runs (the census the suite writes) is in that deliverable's rows.
#include "run_process.h"
#include "table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace harness
{
namespace
{

namespace fs = std::filesystem;

const check::Table &table()
{
    static const check::Table read = check::readTable(source("tests/check/cases.tsv"));
    return read;
}

// The cases a test program lists, by full name.
const std::vector<std::string> &listed(const std::string &program)
{
    static std::map<std::string, std::vector<std::string>> known;
    if (const auto at = known.find(program); at != known.end()) {
        return at->second;
    }
    return known[program] =
               check::listedNames(run(testProgram(program), {"--gtest_list_tests"}).out);
}

// The plain build has every test program and case; the sanitizer build leaves some out.
TEST(CaseTable, EveryRowSelectsCasesThatExist)
{
    if (sanitized) {
        GTEST_SKIP() << "the table is held against the plain build's test programs";
    }
    for (const check::Row &row : table().rows) {
        if (!fs::exists(testProgram(row.program))) {
            ADD_FAILURE() << "line " << row.line << ": no test program " << row.program;
            continue;
        }
        int selected = 0;
        for (const std::string &name : listed(row.program)) {
            selected += check::matches(row.filter, name);
        }
        EXPECT_GT(selected, 0) << "line " << row.line << " (" << row.deliverable << ", "
                               << row.program << ") selects no case: " << row.filter;
    }
}

TEST(CaseTable, EveryListedDeliverableHasCasesTheDescriptionStates)
{
    if (sanitized) {
        GTEST_SKIP() << "the table is held against the plain build's test programs";
    }
    std::set<std::string> catalog, declared;
    for (const auto &entry : fs::directory_iterator(source("catalog"))) {
        if (entry.path().extension() != ".tsv") {
            continue;
        }
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line[0] != '#') {
                catalog.insert(line.substr(0, line.find('|')));
            }
        }
    }
    for (const check::Deliverable &deliverable : table().deliverables) {
        declared.insert(deliverable.name);
        std::map<std::string, std::vector<std::string>> programs;
        for (const check::Row &row : table().rows) {
            if (row.deliverable == deliverable.name) {
                programs[row.program] = listed(row.program);
            }
        }
        int specified = 0;
        for (const check::Case &c : check::casesOf(table(), deliverable.name, programs)) {
            specified += c.kind == check::Kind::specified;
        }
        EXPECT_GT(specified, 0) << deliverable.name
                                << " has no case of what the description states";
    }
    EXPECT_EQ(declared, catalog);
}

// The census: "PROGRAM<TAB>CASE<TAB>KIND<TAB>NAME" lines, one file per test process.
TEST(CaseTable, EveryCaseThatNamesADeliverableIsInItsRows)
{
    const char *census = std::getenv("LABS_CENSUS_READ");
    if (census == nullptr || !fs::is_directory(census)) {
        GTEST_SKIP() << "no census: this runs after the suite (ctest -R case_table)";
    }
    std::map<std::string, std::string> byBuild; // "KIND:FILE" -> deliverable
    for (const check::Deliverable &deliverable : table().deliverables) {
        byBuild[deliverable.kind + ":" + deliverable.file] = deliverable.name;
    }
    std::set<std::string> missing;
    int seen = 0;
    for (const auto &entry : fs::directory_iterator(census)) {
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string program, name, kind, file;
            std::getline(fields, program, '\t');
            std::getline(fields, name, '\t');
            std::getline(fields, kind, '\t');
            std::getline(fields, file, '\t');
            const auto deliverable = byBuild.find(kind + ":" + file);
            // A menu program or a stand-in is not someone else's build; ./labs check's own
            // tests name builds only to hand them to it.
            if (deliverable == byBuild.end() || program == "check_test") {
                continue;
            }
            ++seen;
            bool covered = false;
            for (const check::Row &row : table().rows) {
                covered = covered || (row.deliverable == deliverable->second &&
                                      row.program == program && check::matches(row.filter, name));
            }
            if (!covered) {
                missing.insert(deliverable->second + ": " + program + " " + name);
            }
        }
    }
    EXPECT_TRUE(missing.empty()) << "cases that run a deliverable but are in none of its rows:\n"
                                 << [&] {
                                        std::string all;
                                        for (const std::string &m : missing) {
                                            all += "  " + m + "\n";
                                        }
                                        return all;
                                    }();
    std::cout << seen << " census entries held against the table\n";
}

TEST(CaseTable, AMalformedRowIsRefusedWithItsLine)
{
    const fs::path bad = fs::path(::testing::TempDir()) / ("cases-" + std::to_string(getpid()));
    std::ofstream(bad) << "# a comment\nc_src_146 | bin:c_src_146\n"
                       << "c_src_146 | mended | numeric_input_test | Calculator/*\n";
    try {
        check::readTable(bad.string());
        ADD_FAILURE() << "a mended row without a note was taken";
    } catch (const std::runtime_error &error) {
        EXPECT_NE(std::string(error.what()).find(":3: a mended row says in a note"),
                  std::string::npos)
            << error.what();
    }
    fs::remove(bad);
}

} // namespace
} // namespace harness
