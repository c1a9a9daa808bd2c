// A student's build of a deliverable: its sources built as the collection builds its own,
// and a finished build's machine read from its ELF header.
#include "checker.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace check
{
using process::words;

namespace
{

// The machine an ELF file is built for, by its header ("" for anything else).
std::string machineOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[20] = {};
    if (!in.read(reinterpret_cast<char *>(header), sizeof header) ||
        std::memcmp(header, "\177ELF", 4) != 0) {
        return "";
    }
    const int machine =
        header[5] == 2 ? header[18] << 8 | header[19] : header[19] << 8 | header[18];
    switch (machine) {
    case 62:
        return "x86-64";
    case 40:
        return "ARM";
    case 3:
        return "i386";
    default:
        return "machine " + std::to_string(machine);
    }
}

// Rejects a finished build unless it is an ELF file for the deliverable's machine (shown is
// its path as the user gave it).
void requireMachine(const fs::path &path, const std::string &shown, const Deliverable &deliverable)
{
    const std::string machine = machineOf(path);
    const std::string wanted = deliverable.kind == "arm"    ? "ARM"
                               : deliverable.kind == "i386" ? "i386"
                                                            : "x86-64";
    if (machine.empty()) {
        throw Rejected{shown + " is not an ELF program or library", ""};
    }
    if (machine != wanted) {
        throw Rejected{
            shown + " is built for " + machine + ", " + deliverable.name + " needs " + wanted, ""};
    }
}

// Builds sources the way the collection builds the deliverable: each file by its own
// extension (C17 or C++20), the target's compiler and instruction-set flags, debug
// information, no optimisation; a record library as ours are (no start-up code, its API
// exported). A build error rejects the build with the compiler's messages.
fs::path compile(const Context &context, const Deliverable &deliverable,
                 const std::vector<std::string> &sources)
{
    const fs::path folder = context.scratch / "compiled";
    fs::create_directories(folder);
    const fs::path output = folder / deliverable.file;
    std::string cc = LABS_X86_64_CC, cxx = LABS_X86_64_CXX, targetFlags = LABS_X86_64_FLAGS;
    if (deliverable.kind == "arm") {
        cc = LABS_ARM_CC, cxx = LABS_ARM_CXX, targetFlags = LABS_ARM_FLAGS;
    } else if (deliverable.kind == "i386") {
        cc = LABS_I386_CC, cxx = LABS_I386_CXX, targetFlags = LABS_I386_FLAGS;
    }
    const bool library = deliverable.kind == "lib";
    const std::vector<std::string> flags =
        words(targetFlags + " " + LABS_EXAMPLE_OPTIONS +
              (library ? std::string(" -fPIC ") + LABS_RECORD_LIBRARY_OPTIONS : ""));
    std::vector<std::string> includes, libraries;
    if (library) {
        for (const char *dir : {"array", "member", "common", "standins/vecbox"}) {
            includes.push_back("-I" + (context.root / dir).string());
        }
        if (deliverable.file == "libmember.so") {
            libraries = {"-L" + (context.build / "lib").string(), "-lvecbox"};
        }
    }
    if (deliverable.file == "optionTest7") {
        includes.push_back("-I" + (context.root / "standins/minmax").string());
        libraries = {"-L" + (context.build / "lib").string(), "-lminmax", "-Wl,-z,now"};
    }
    // Each step's messages are kept: a step that fails rejects the build with all of them.
    const fs::path log = folder / "build.log";
    const auto step = [&](const std::vector<std::string> &argv) {
        const fs::path messages = folder / "step.log";
        const process::Ending ending = runToEnd(argv, {}, messages, 180);
        std::ofstream(log, std::ios::app) << readFile(messages);
        if (ending.status() != 0) {
            throw Rejected{"the build failed", readFile(log)};
        }
    };
    std::vector<std::string> objects;
    bool anyCpp = false;
    for (const std::string &source : sources) {
        const bool isC = source.ends_with(".c");
        anyCpp = anyCpp || !isC;
        const fs::path object = folder / (fs::path(source).filename().string() + ".o");
        std::vector<std::string> argv = {isC ? cc : cxx};
        argv.push_back(isC ? "-std=c17" : "-std=c++20");
        argv.insert(argv.end(), flags.begin(), flags.end());
        argv.insert(argv.end(), includes.begin(), includes.end());
        argv.insert(argv.end(), {"-c", fs::absolute(source).string(), "-o", object.string()});
        step(argv);
        objects.push_back(object.string());
    }
    std::vector<std::string> argv = {anyCpp ? cxx : cc};
    argv.insert(argv.end(), flags.begin(), flags.end());
    if (library) {
        const auto link = words(std::string("-shared ") + LABS_RECORD_LIBRARY_LINK_OPTIONS);
        argv.insert(argv.end(), link.begin(), link.end());
    }
    argv.insert(argv.end(), objects.begin(), objects.end());
    argv.insert(argv.end(), {"-o", output.string()});
    argv.insert(argv.end(), libraries.begin(), libraries.end());
    step(argv);
    return output;
}

} // namespace

fs::path buildUnderCheck(const Context &context, const Deliverable &deliverable,
                         const std::vector<std::string> &paths)
{
    const bool sources = std::all_of(paths.begin(), paths.end(), [](const std::string &p) {
        return p.ends_with(".c") || p.ends_with(".cpp");
    });
    if (paths.size() > 1 && !sources) {
        throw UsageError{"too many arguments: one build, or its .c and .cpp sources"};
    }
    fs::path build = fs::absolute(paths[0]);
    if (sources) {
        build = compile(context, deliverable, paths);
    } else {
        requireMachine(build, paths[0], deliverable);
    }
    const fs::path copy = makeFolder(context.scratch / "build") / deliverable.file;
    fs::copy_file(build, copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    return copy;
}

} // namespace check
