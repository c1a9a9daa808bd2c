// Reads readelf's output for the file checks of the tests.
#include "elf.h"

#include "run_process.h"

#include <gtest/gtest.h>

#include <sstream>

namespace harness
{

std::string readelf(const std::vector<std::string> &options, const std::string &file)
{
    std::vector<std::string> args = {"-W"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(file);
    const RunResult result = run("readelf", args);
    EXPECT_TRUE(result.exited(0)) << file << ": " << result.err;
    return result.out;
}

std::set<std::string> dynamicSymbols(const std::string &file, bool defined)
{
    std::set<std::string> names;
    for (const std::string &line : lines(readelf({"--dyn-syms"}, file))) {
        std::istringstream fields(line);
        std::string num, value, size, type, bind, visibility, section, name;
        if (!(fields >> num >> value >> size >> type >> bind >> visibility >> section >> name)) {
            continue;
        }
        // Weak and unique names are bound across files just like global ones.
        const bool seenOutside = bind == "GLOBAL" || bind == "WEAK" || bind == "UNIQUE";
        if (seenOutside && (section != "UND") == defined) {
            names.insert(name.substr(0, name.find('@')));
        }
    }
    return names;
}

std::set<std::string> neededLibraries(const std::string &file)
{
    std::set<std::string> names;
    for (const std::string &line : lines(readelf({"-d"}, file))) {
        if (line.find("(NEEDED)") != std::string::npos) {
            const auto from = line.find('[') + 1;
            names.insert(line.substr(from, line.find(']') - from));
        }
    }
    return names;
}

std::set<std::string> startUpTags(const std::string &file)
{
    std::set<std::string> found;
    const std::string dynamic = readelf({"-d"}, file);
    for (const char *tag :
         {"(INIT)", "(FINI)", "(INIT_ARRAY)", "(FINI_ARRAY)", "(PREINIT_ARRAY)"}) {
        if (dynamic.find(tag) != std::string::npos) {
            found.insert(tag);
        }
    }
    return found;
}

std::set<std::string> definedFunctions(const std::string &file)
{
    std::set<std::string> names;
    for (const std::string &line : lines(readelf({"-s", "-C"}, file))) {
        std::istringstream fields(line);
        std::string num, value, size, type, bind, visibility, section, name;
        if (fields >> num >> value >> size >> type >> bind >> visibility >> section &&
            type == "FUNC" && section != "UND" && std::getline(fields >> std::ws, name)) {
            names.insert(name.substr(0, name.find('(')));
        }
    }
    return names;
}

// readelf shows an attribute as "<offset> DW_AT_name : (form) ...: value"; the value
// follows the last ": " (a path or a producer holds none).
std::vector<CompileUnit> compileUnits(const std::string &file)
{
    std::vector<CompileUnit> units;
    for (const std::string &line : lines(readelf({"--debug-dump=info", "--dwarf-depth=1"}, file))) {
        auto value = [&line] { return line.substr(line.rfind(": ") + 2); };
        if (line.find("(DW_TAG_compile_unit)") != std::string::npos) {
            units.emplace_back();
        } else if (units.empty()) {
            continue;
        } else if (line.find(" DW_AT_name ") != std::string::npos) {
            units.back().source = value();
        } else if (line.find(" DW_AT_producer ") != std::string::npos) {
            units.back().producer = value();
        }
    }
    return units;
}

} // namespace harness
