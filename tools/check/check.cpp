// ./labs check: runs the collection's own test cases against someone else's build of a
// deliverable (a program, a record library, the kernel module, or their sources) and reports
// on them. Everything the build supplies runs in the sandbox (sandbox.h); the verdicts are
// read here, outside it, from the test programs' reports. The cases and their kinds come
// from the table tests/check/cases.tsv.
#include "checker.h"
#include "sandbox.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

using namespace check;

namespace
{

const char *const usage =
    "usage: ./labs check NAME PATH... [--strict] [--junit FILE] [--timeout SECONDS] "
    "[--kernel default|debug|both] | --dir DIR | --class DIR [--csv FILE]";

// Checks one deliverable from its build or sources, printing the report.
Checked checkOne(Context &context, const std::string &name, const std::vector<std::string> &paths,
                 std::ostream &out, bool inFolder = false)
{
    const Deliverable *deliverable = context.table.find(name);
    if (deliverable == nullptr) {
        throw UsageError{"no checks for '" + name + "' (see ./labs list)"};
    }
    Checked checked{name, {}, {}, ""};
    for (const std::string &path : paths) {
        if (!fs::exists(path)) {
            throw UsageError{path + ": no such file"};
        }
    }
    const std::vector<Case> cases = selectedCases(context, *deliverable);
    std::vector<std::string> notes;
    try {
        if (deliverable->kind != "ko") {
            const fs::path build = buildUnderCheck(context, *deliverable, paths);
            checked.outcomes = runCases(context, *deliverable, build, cases);
        } else if (paths.size() == 1) {
            checked.outcomes = checkModule(context, fs::absolute(paths[0]), cases, notes);
        } else {
            throw UsageError{"name the module's .ko file or its folder"};
        }
        checked.tally = report(out, checked.outcomes, context.options.strict);
        for (const std::string &note : notes) {
            out << "  build note: " << note << '\n';
        }
    } catch (const Rejected &rejected) {
        if (rejected.detail.empty() && !inFolder) {
            throw UsageError{rejected.what}; // a file that is not such a build at all
        }
        out << "labs check: " << rejected.what << (rejected.detail.empty() ? "\n" : ":\n")
            << capped(rejected.detail, 60, 240) << "0 passed, 1 failed\n";
        checked.rejected = rejected.what;
        checked.tally = {0, 1, 0};
    }
    return checked;
}

// The deliverables in a folder, by name: a build named after the deliverable or after the
// file it is built as, its single source NAME.c or NAME.cpp, or a folder NAME/ of sources
// (for the module, its Kbuild folder).
std::vector<std::pair<std::string, std::vector<std::string>>> found(const Context &context,
                                                                    const fs::path &dir)
{
    std::vector<std::pair<std::string, std::vector<std::string>>> result;
    for (const Deliverable &d : context.table.deliverables) {
        std::vector<std::string> paths;
        const fs::path named = dir / d.name;
        if (fs::is_directory(named)) {
            if (d.kind == "ko") {
                paths.push_back(named.string());
            } else {
                for (const auto &entry : fs::directory_iterator(named)) {
                    const std::string extension = entry.path().extension().string();
                    if (entry.is_regular_file() && (extension == ".c" || extension == ".cpp")) {
                        paths.push_back(entry.path().string());
                    }
                }
                std::sort(paths.begin(), paths.end());
                if (paths.empty()) {
                    paths.push_back(named.string()); // reported as what it is
                }
            }
        } else if (fs::is_regular_file(named)) {
            paths.push_back(named.string());
        } else if (fs::is_regular_file(dir / (d.name + ".c"))) {
            paths.push_back((dir / (d.name + ".c")).string());
        } else if (fs::is_regular_file(dir / (d.name + ".cpp"))) {
            paths.push_back((dir / (d.name + ".cpp")).string());
        } else if (d.file != d.name && context.table.find(d.file) == nullptr &&
                   fs::is_regular_file(dir / d.file)) {
            paths.push_back((dir / d.file).string());
        }
        if (!paths.empty()) {
            result.emplace_back(d.name, paths);
        }
    }
    return result;
}

// Every deliverable found in a folder; a build that cannot be checked fails that
// deliverable and the check goes on.
std::vector<Checked> checkFolder(Context &context, const fs::path &dir, std::ostream &out)
{
    std::vector<Checked> all;
    for (const auto &[name, paths] : found(context, dir)) {
        out << "=== " << name << " (" << paths[0] << (paths.size() > 1 ? " ..." : "") << ")\n";
        try {
            all.push_back(checkOne(context, name, paths, out, true));
        } catch (const UsageError &error) {
            out << "labs check: " << error.what << "\n0 passed, 1 failed\n";
            all.push_back({name, {}, {0, 1, 0}, error.what});
        }
        out.flush();
    }
    return all;
}

// Every student's folder of a class checked: a table on the terminal with a column per
// deliverable, and the same in a CSV file when one is named.
void checkClass(Context &context, const fs::path &classDir)
{
    std::vector<fs::path> students;
    for (const auto &entry : fs::directory_iterator(classDir)) {
        if (entry.is_directory()) {
            students.push_back(entry.path());
        }
    }
    std::sort(students.begin(), students.end());
    std::vector<std::map<std::string, Tally>> rows;
    for (const fs::path &student : students) {
        std::ostringstream ignored;
        std::map<std::string, Tally> row;
        for (const Checked &checked : checkFolder(context, student, ignored)) {
            row[checked.name] = checked.tally;
        }
        rows.push_back(std::move(row));
        std::cerr << "checked " << student.filename().string() << '\n';
    }
    std::vector<std::string> columns;
    for (const Deliverable &d : context.table.deliverables) {
        if (std::any_of(rows.begin(), rows.end(),
                        [&](const auto &row) { return row.contains(d.name); })) {
            columns.push_back(d.name);
        }
    }
    if (columns.empty()) {
        throw UsageError{"no deliverable found in the folders of " + classDir.string()};
    }
    // The terminal's table: passed/total of the graded cases and the notes in parentheses;
    // the CSV file has the notes in a column of their own.
    std::vector<std::vector<std::string>> table = {{"student"}};
    std::string csv = "student";
    for (const std::string &column : columns) {
        table[0].push_back(column);
        csv += "," + column + "," + column + " notes";
    }
    csv += '\n';
    for (std::size_t s = 0; s < students.size(); ++s) {
        table.push_back({students[s].filename().string()});
        csv += table.back()[0];
        for (const std::string &column : columns) {
            const auto at = rows[s].find(column);
            if (at == rows[s].end()) {
                table.back().emplace_back("-");
                csv += ",-,-";
                continue;
            }
            const Tally &tally = at->second;
            const std::string score =
                std::to_string(tally.passed) + "/" + std::to_string(tally.passed + tally.failed);
            const std::string notes = std::to_string(tally.notes);
            table.back().push_back(tally.notes > 0 ? score + " (" + notes + ")" : score);
            csv += "," + score + "," + notes;
        }
        csv += '\n';
    }
    std::vector<std::size_t> widths(table[0].size(), 0);
    for (const auto &line : table) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], line[i].size());
        }
    }
    for (const auto &line : table) {
        for (std::size_t i = 0; i + 1 < line.size(); ++i) {
            std::cout << std::left << std::setw(static_cast<int>(widths[i] + 2)) << line[i];
        }
        std::cout << line.back() << '\n';
    }
    std::cout << "passed/total of the cases the description states; (N): notes, cases where "
                 "the collection\nmends the description or the choice is left to the student, "
                 "not counted\n";
    if (!context.options.csv.empty()) {
        std::ofstream(context.options.csv) << csv;
    }
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char *what) {
            if (i + 1 >= argc) {
                throw UsageError{arg + " needs " + what};
            }
            return std::string(argv[++i]);
        };
        if (arg == "--junit") {
            options.junit = value("a file");
        } else if (arg == "--dir") {
            options.dir = value("a folder");
        } else if (arg == "--class") {
            options.classDir = value("a folder");
        } else if (arg == "--csv") {
            options.csv = value("a file");
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--kernel") {
            options.kernel = value("default, debug or both");
            if (options.kernel != "default" && options.kernel != "debug" &&
                options.kernel != "both") {
                throw UsageError{"--kernel takes default, debug or both"};
            }
        } else if (arg == "--timeout") {
            const std::string seconds = value("a number of seconds");
            if (seconds.empty() || seconds.size() > 4 ||
                seconds.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(seconds) == 0) {
                throw UsageError{"--timeout needs a number of seconds"};
            }
            options.timeout = std::stoi(seconds);
        } else if (arg.starts_with("-")) {
            throw UsageError{"unknown option '" + arg + "'"};
        } else if (options.name.empty()) {
            options.name = arg;
        } else {
            options.paths.push_back(arg);
        }
    }
    const int modes = !options.dir.empty() + !options.classDir.empty() + !options.name.empty();
    if (modes == 0 || (!options.name.empty() && options.paths.empty())) {
        throw UsageError{"name a deliverable and a build of it"};
    }
    if (modes > 1) {
        throw UsageError{"one of NAME PATH, --dir or --class"};
    }
    for (const std::string &folder : {options.dir, options.classDir}) {
        if (!folder.empty() && !fs::is_directory(folder)) {
            throw UsageError{folder + ": no such folder"};
        }
    }
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    Context context;
    try {
        context.options = parse(argc, argv);
        const char *root = std::getenv("LABS_ROOT");
        const char *build = std::getenv("LABS_BUILD_DIR");
        if (root == nullptr || build == nullptr) {
            throw UsageError{"run it as ./labs check"};
        }
        context.root = fs::weakly_canonical(fs::absolute(root));
        context.build = fs::weakly_canonical(fs::absolute(build));
        context.table = readTable((context.root / "tests/check/cases.tsv").string());
        std::string why;
        if (!sandbox::available(why)) {
            std::cerr << "labs check: no sandbox to run someone else's code in: " << why << '\n';
            return 2;
        }
    } catch (const UsageError &error) {
        std::cerr << "labs check: " << error.what << " (" << usage << ")\n";
        return 2;
    } catch (const std::exception &error) {
        std::cerr << "labs check: " << error.what() << '\n';
        return 2;
    }
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/labs-check.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::cerr << "labs check: cannot make a scratch folder: " << std::strerror(errno) << '\n';
        return 1;
    }
    context.scratch = pattern;
    // The scratch folder goes however the check ends: a stop from the terminal included.
    static std::string scratchToRemove = context.scratch.string();
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(sig, [](int sig) {
            std::error_code ignored;
            fs::remove_all(scratchToRemove, ignored);
            std::signal(sig, SIG_DFL);
            raise(sig);
        });
    }
    int status = 0;
    try {
        const Options &options = context.options;
        std::vector<Checked> all;
        if (!options.classDir.empty()) {
            checkClass(context, options.classDir);
        } else if (!options.dir.empty()) {
            all = checkFolder(context, options.dir, std::cout);
            Tally total;
            for (const Checked &checked : all) {
                total.passed += checked.tally.passed;
                total.failed += checked.tally.failed;
                total.notes += checked.tally.notes;
            }
            std::cout << "=== all: " << total.passed << " passed, " << total.failed << " failed";
            if (total.notes > 0) {
                std::cout << ", " << total.notes << " notes";
            }
            std::cout << '\n';
            status = all.empty() ? 2 : total.failed > 0 || total.passed == 0 ? 1 : 0;
            if (all.empty()) {
                std::cerr << "labs check: no deliverable found in " << options.dir << '\n';
            }
        } else {
            all.push_back(checkOne(context, options.name, options.paths, std::cout));
            const Tally &tally = all.back().tally;
            status = tally.failed > 0 || tally.passed == 0 ? 1 : 0;
        }
        if (!options.junit.empty()) {
            writeJunit(options.junit, all, options.strict);
        }
    } catch (const UsageError &error) {
        std::cerr << "labs check: " << error.what << '\n';
        status = 2;
    } catch (const std::exception &error) {
        std::cerr << "labs check: " << error.what() << '\n';
        status = 1;
    }
    std::error_code ignored;
    if (std::getenv("LABS_CHECK_KEEP") == nullptr) { // kept for a look at what the cases wrote
        fs::remove_all(context.scratch, ignored);
    } else {
        std::cerr << "labs check: kept " << context.scratch.string() << '\n';
    }
    return status;
}
