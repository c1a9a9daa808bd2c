// What readelf says about a built file: its output for given options, the symbols of
// its dynamic table, the libraries it needs, any start-up code it carries, the functions
// it defines and the compile units its debug information records.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace harness
{

// readelf -W OPTIONS FILE; fails the current test when readelf does.
std::string readelf(const std::vector<std::string> &options, const std::string &file);

// Names the dynamic symbol table binds outside the file, global, weak or unique alike
// (version suffixes dropped): the ones the file defines, or with defined false the ones
// it takes from elsewhere. A weak definition is exported just as much as a global one.
std::set<std::string> dynamicSymbols(const std::string &file, bool defined = true);

// The NEEDED entries of the dynamic section.
std::set<std::string> neededLibraries(const std::string &file);

// The dynamic-section tags that run code at load or unload (INIT, FINI, INIT_ARRAY, ...).
std::set<std::string> startUpTags(const std::string &file);

// Functions defined in the file's symbol tables, local ones included, by their plain
// (demangled) names without parameters: "swap" for swap(int*, int*).
std::set<std::string> definedFunctions(const std::string &file);

// Each compile unit of the file's debug information: the source it was compiled from and
// its producer, the compiler with the options that matter for code generation.
struct CompileUnit {
    std::string source;
    std::string producer;
};
std::vector<CompileUnit> compileUnits(const std::string &file);

} // namespace harness
