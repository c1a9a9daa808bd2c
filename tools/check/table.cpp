// Reads ./labs check's table of cases and picks each deliverable's cases; see table.h.
#include "table.h"

#include <algorithm>
#include <fnmatch.h>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace check
{
namespace
{

// The kinds' names, in the order of enum Kind.
const char *const kindNames[] = {"specified", "mended", "choice", "build"};

std::string trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> fields(const std::string &line)
{
    std::vector<std::string> result;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '|');) {
        result.push_back(trimmed(field));
    }
    return result;
}

} // namespace

const Deliverable *Table::find(const std::string &name) const
{
    const auto at = std::find_if(deliverables.begin(), deliverables.end(),
                                 [&](const Deliverable &d) { return d.name == name; });
    return at != deliverables.end() ? &*at : nullptr;
}

const char *kindName(Kind kind)
{
    return kindNames[static_cast<int>(kind)];
}

Table readTable(const std::string &path)
{
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error(path + ": cannot be read");
    }
    Table table;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (trimmed(line).empty() || trimmed(line)[0] == '#') {
            continue;
        }
        const std::vector<std::string> f = fields(line);
        auto fault = [&](const std::string &what) {
            return std::runtime_error(path + ":" + std::to_string(number) + ": " + what);
        };
        if (f.size() == 2) {
            const std::size_t colon = f[1].find(':');
            if (colon == std::string::npos) {
                throw fault("a deliverable is NAME | KIND:FILE");
            }
            table.deliverables.push_back({f[0], f[1].substr(0, colon), f[1].substr(colon + 1)});
            continue;
        }
        if (f.size() < 4 || f.size() > 5) {
            throw fault("a case row is NAME | KIND | PROGRAM | PATTERNS [| NOTE]");
        }
        if (table.find(f[0]) == nullptr) {
            throw fault("'" + f[0] + "' is not declared above");
        }
        Row row{f[0], Kind::specified, f[2], f[3], f.size() == 5 ? f[4] : "", number};
        const auto at = std::find(std::begin(kindNames), std::end(kindNames), f[1]);
        if (at == std::end(kindNames)) {
            throw fault("unknown kind '" + f[1] + "'");
        }
        row.kind = static_cast<Kind>(at - std::begin(kindNames));
        if ((row.kind == Kind::mended || row.kind == Kind::choice) && row.note.empty()) {
            throw fault("a " + f[1] + " row says in a note what it is about");
        }
        table.rows.push_back(row);
    }
    return table;
}

bool matches(const std::string &filter, const std::string &name)
{
    std::istringstream patterns(filter);
    for (std::string pattern; std::getline(patterns, pattern, ':');) {
        if (!pattern.empty() && fnmatch(pattern.c_str(), name.c_str(), 0) == 0) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> listedNames(const std::string &listing)
{
    std::vector<std::string> names;
    std::istringstream in(listing);
    std::string suite;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.starts_with("Running main()")) {
            continue;
        }
        if (line[0] != ' ') {
            suite = line.substr(0, line.find(' '));
        } else {
            const std::size_t start = line.find_first_not_of(' ');
            names.push_back(suite + line.substr(start, line.find(' ', start) - start));
        }
    }
    return names;
}

std::vector<Case> casesOf(const Table &table, const std::string &deliverable,
                          const std::map<std::string, std::vector<std::string>> &listed)
{
    std::vector<Case> cases;
    std::map<std::pair<std::string, std::string>, std::size_t> index;
    for (const Row &row : table.rows) {
        if (row.deliverable != deliverable) {
            continue;
        }
        const auto names = listed.find(row.program);
        if (names == listed.end()) {
            continue;
        }
        for (const std::string &name : names->second) {
            if (!matches(row.filter, name)) {
                continue;
            }
            const auto key = std::make_pair(row.program, name);
            if (const auto known = index.find(key); known != index.end()) {
                cases[known->second].kind = row.kind;
                cases[known->second].note = row.note;
            } else {
                index[key] = cases.size();
                cases.push_back({row.program, name, row.kind, row.note});
            }
        }
    }
    return cases;
}

} // namespace check
