// opt_explorer: compiles a C or C++ source at -O0, -O2 and -Os for one or more targets and
// shows, source line by source line, what the compiler made of it, from the compiler's own
// record: the objects' symbols and relocations, the DWARF line table and locations, the
// optimisation remarks.
//   opt_explorer SOURCE [--name TITLE] [--target T]... [-I DIR]... [--scratch DIR]
//                [--width N] [--asm] [--facts] [--html FILE] [--timing]
//   opt_explorer --overview TITLE:SOURCE:TARGET[,TARGET...]... [-I DIR]...
// T is x86-64 (the default), arm or i386. --asm shows each line's instructions under it;
// --facts prints every fact on a line of its own; --html writes the page to FILE instead;
// --timing adds the seconds spent compiling and reading to standard error.
#include "compile.h"
#include "html.h"
#include "report.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace
{

using namespace explorer;

struct Options {
    std::vector<std::string> sources, titles, targets, includes, overview;
    std::string scratch, html;
    int width = 0;
    bool facts = false;
    bool code = false;
    bool timing = false;
};

// A command line the explorer cannot follow. Reported as the front door's command, which is
// how people run it.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void usage(const std::string &problem)
{
    throw UsageError(problem);
}

void printUsage(const std::string &problem)
{
    std::cerr
        << "labs opt: " << problem << "\n"
        << "usage: ./labs opt NAME|FILE.cpp|FILE.c [--target x86-64|arm|i386]... [--width N]\n"
        << "                  [--asm] [--facts] [--html FILE]\n"
        << "       ./labs opt --all\n";
}

int terminalWidth()
{
    winsize size{};
    if (isatty(1) && ioctl(1, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    if (const char *columns = std::getenv("COLUMNS")) {
        return std::atoi(columns);
    }
    return 80;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

Exploration explore(const std::string &source, const std::string &title,
                    const std::vector<std::string> &targets, const Options &options,
                    const std::string &scratch, const std::vector<const char *> &levels,
                    Timing &timing)
{
    Exploration exploration;
    exploration.title = title;
    exploration.sourcePath = std::filesystem::absolute(source).lexically_normal();
    std::ifstream in(exploration.sourcePath);
    if (!in) {
        throw std::runtime_error(source + ": cannot read it");
    }
    for (std::string line; std::getline(in, line);) {
        exploration.sourceLines.push_back(line);
    }
    for (const std::string &name : targets) {
        Target target{name, {}};
        const std::string folder = scratch + "/" + title;
        std::filesystem::create_directories(folder);
        for (const char *levelName : levels) {
            Level level;
            level.name = levelName;
            compileAndRead(exploration.sourcePath, name, level, folder, options.includes, timing);
            target.levels.push_back(std::move(level));
        }
        exploration.targets.push_back(std::move(target));
    }
    return exploration;
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage(arg + " needs a value");
            }
            return argv[++i];
        };
        if (arg == "--name") {
            options.titles.push_back(value());
        } else if (arg == "--target") {
            const std::string target = value();
            const auto &known = knownTargets();
            if (std::find(known.begin(), known.end(), target) == known.end()) {
                usage("unknown target '" + target + "' (x86-64, arm or i386)");
            }
            options.targets.push_back(target);
        } else if (arg == "-I") {
            options.includes.push_back(std::filesystem::absolute(value()));
        } else if (arg == "--scratch") {
            options.scratch = value();
        } else if (arg == "--width") {
            const std::string text = value();
            int width = 0;
            const auto [end, error] =
                std::from_chars(text.data(), text.data() + text.size(), width);
            if (error != std::errc() || end != text.data() + text.size() || width <= 0) {
                usage("--width takes a number of columns, not '" + text + "'");
            }
            options.width = width;
        } else if (arg == "--html") {
            options.html = value();
        } else if (arg == "--asm") {
            options.code = true;
        } else if (arg == "--facts") {
            options.facts = true;
        } else if (arg == "--timing") {
            options.timing = true;
        } else if (arg == "--overview") {
            while (i + 1 < argc && argv[i + 1][0] != '-') {
                options.overview.push_back(argv[++i]);
            }
        } else if (!arg.empty() && arg[0] == '-') {
            usage("unknown option '" + arg + "'");
        } else {
            options.sources.push_back(arg);
        }
    }
    return options;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    try {
        options = parse(argc, argv);
    } catch (const UsageError &error) {
        printUsage(error.what());
        return 2;
    }
    std::string scratch = options.scratch;
    bool temporary = false;
    if (scratch.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "opt-explorer.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::cerr << "labs opt: cannot make a scratch folder\n";
            return 1;
        }
        scratch = pattern;
        temporary = true;
    }
    int status = 0;
    Timing timing;
    try {
        if (!options.overview.empty()) {
            std::vector<Exploration> all;
            for (const std::string &entry : options.overview) {
                const std::vector<std::string> parts = split(entry, ':');
                if (parts.size() != 3) {
                    usage("--overview takes TITLE:SOURCE:TARGET[,TARGET]");
                }
                // The table compares -O0 with -O2 only.
                all.push_back(explore(parts[1], parts[0], split(parts[2], ','), options, scratch,
                                      {"-O0", "-O2"}, timing));
            }
            std::cout << overviewTable(all);
        } else {
            if (options.sources.size() != 1) {
                usage("name one source file");
            }
            const std::string source = options.sources[0];
            const std::string title = options.titles.empty()
                                          ? std::filesystem::path(source).stem().string()
                                          : options.titles[0];
            const std::vector<std::string> targets =
                options.targets.empty() ? std::vector<std::string>{"x86-64"} : options.targets;
            const Exploration exploration =
                explore(source, title, targets, options, scratch, {"-O0", "-O2", "-Os"}, timing);
            if (!options.html.empty()) {
                std::ofstream page(options.html);
                page << renderPage(exploration);
                if (!page.flush()) {
                    throw std::runtime_error(options.html + ": cannot write the page");
                }
            } else if (options.facts) {
                std::cout << factsText(exploration);
            } else {
                std::cout << terminalReport(
                    exploration, options.width > 0 ? options.width : terminalWidth(), options.code);
            }
        }
    } catch (const UsageError &error) {
        printUsage(error.what());
        status = 2;
    } catch (const CompileError &error) {
        std::cerr << "labs opt: the compiler refused the source:\n" << error.what();
        status = 1;
    } catch (const std::exception &error) {
        std::cerr << "labs opt: " << error.what() << "\n";
        status = 1;
    }
    if (temporary) {
        std::filesystem::remove_all(scratch);
    }
    if (options.timing) {
        std::fprintf(stderr, "compiling %.2f s, reading %.2f s\n", timing.compiling,
                     timing.reading);
    }
    return status;
}
