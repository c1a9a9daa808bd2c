// A student's build of a deliverable: its sources built as the collection builds its own,
// and a finished build's machine read from its ELF header.
#include "checker.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace check
{
using process::words;

std::string machineOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[20] = {};
    if (!in.read(reinterpret_cast<char *>(header), sizeof header) || std::memcmp(header,
                                                                                 "\x7f"
                                                                                 "ELF",
                                                                                 4) != 0) {
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

std::string wantedMachine(const std::string &kind)
{
    return kind == "arm" ? "ARM" : kind == "i386" ? "i386" : "x86-64";
}

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
    std::vector<std::string> flags = words(targetFlags + " " + LABS_EXAMPLE_OPTIONS);
    std::vector<std::string> includes, libraries;
    if (deliverable.kind == "lib") {
        const auto library = words(std::string("-fPIC ") + LABS_RECORD_LIBRARY_OPTIONS);
        flags.insert(flags.end(), library.begin(), library.end());
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
    const fs::path log = folder / "build.log";
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
        argv.insert(argv.end(), {"-c", source, "-o", object.string()});
        const fs::path messages = folder / "compile.log";
        const int status = runToEnd(argv, {}, messages, 180);
        std::ofstream(log, std::ios::app) << readFile(messages);
        if (!succeeded(status)) {
            throw Rejected{"the build failed", readFile(log)};
        }
        objects.push_back(object.string());
    }
    std::vector<std::string> argv = {anyCpp ? cxx : cc};
    argv.insert(argv.end(), flags.begin(), flags.end());
    if (deliverable.kind == "lib") {
        const auto link = words(std::string("-shared ") + LABS_RECORD_LIBRARY_LINK_OPTIONS);
        argv.insert(argv.end(), link.begin(), link.end());
    }
    argv.insert(argv.end(), objects.begin(), objects.end());
    argv.insert(argv.end(), {"-o", output.string()});
    argv.insert(argv.end(), libraries.begin(), libraries.end());
    const fs::path messages = folder / "link.log";
    if (!succeeded(runToEnd(argv, {}, messages, 180))) {
        throw Rejected{"the build failed", readFile(log) + readFile(messages)};
    }
    return output;
}

} // namespace check
