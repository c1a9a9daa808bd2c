// The table of cases ./labs check runs (tests/check/cases.tsv): the deliverables it knows and,
// for each, which of the collection's test cases check it and of what kind each case is.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace check
{

// What a case checks: behaviour the description states, behaviour where the collection
// mends a fault of the description, behaviour left to the implementer (only safety is
// asked), or how the collection itself is built (never asked of someone else's build).
enum class Kind { specified, mended, choice, build };

struct Deliverable {
    std::string name; // as ./labs list shows it
    std::string kind; // bin, lib, arm, i386 or ko
    std::string file; // the program, library or module file it is built as
};

struct Row {
    std::string deliverable;
    Kind kind = Kind::specified;
    std::string program; // a test program of the build, by file name
    std::string filter;  // gtest-style patterns separated by ':'
    std::string note;    // mended: the fault mended; choice: what is left open
    int line = 0;
};

struct Case {
    std::string program;
    std::string name; // Suite.Test as the test program names it
    Kind kind = Kind::specified;
    std::string note;
};

struct Table {
    std::vector<Deliverable> deliverables; // in the table's order
    std::vector<Row> rows;

    const Deliverable *find(const std::string &name) const;
};

// Reads the table; throws std::runtime_error naming the line of a malformed entry.
Table readTable(const std::string &path);

const char *kindName(Kind kind);

// Whether name matches one of the ':'-separated patterns (with '*' and '?').
bool matches(const std::string &filter, const std::string &name);

// The full names (Suite.Test) of the cases in a test program's --gtest_list_tests output.
std::vector<std::string> listedNames(const std::string &listing);

// The cases of one deliverable among the listed cases of each program ("PROGRAM" ->
// names): each row's cases, a later row deciding the kind of a case an earlier one chose.
std::vector<Case> casesOf(const Table &table, const std::string &deliverable,
                          const std::map<std::string, std::vector<std::string>> &listed);

} // namespace check
