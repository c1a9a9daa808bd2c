// What readelf says about a built file: its output for given options, the symbols of
// its dynamic table, the libraries it needs and any start-up code it carries.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace harness {

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

} // namespace harness
