// What the explorer says about a source: facts gathered by source line, and a few plain
// sentences per target, each computed from the facts of the levels it compares.
#pragma once

#include "facts.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace explorer
{

// Everything the instructions of one source line (or of a whole level) add up to.
struct Tally {
    int instructions = 0, reads = 0, writes = 0;
    int divides = 0, multiplies = 0, shifts = 0, masks = 0;
    std::set<std::string> globals, locals;
    std::vector<std::string> calls; // in order, a callee once per call ("?" when unknown)

    void add(const Instruction &insn);
};

// Tallies by source line (line 0: instructions of no line of the source).
std::map<int, Tally> byLine(const Level &level);
Tally whole(const Level &level);

// The item of that name (a level, function or variable), or nullptr.
template <typename Item>
const Item *findNamed(const std::vector<Item> &items, const std::string &name)
{
    for (const Item &item : items) {
        if (item.name == name) {
            return &item;
        }
    }
    return nullptr;
}

// The source lines of the loops of a function: for each backward jump, the lines of the
// instructions from its target to itself.
std::vector<std::pair<int, int>> loopLines(const Function &function);

// The functions the compiler reports having inlined, as "callee into caller", from the
// remarks of a level.
std::vector<std::pair<std::string, std::string>> inlinings(const Level &level);

// The bytes of all functions of a level, and the loops (backward jumps) among them.
std::uint64_t codeBytes(const Level &level);
std::size_t loopCount(const Level &level);

// "1 read", "2 reads".
std::string plural(int n, const std::string &word);

// A few sentences on what -O2 (and -Os) made of the -O0 code of one target.
std::vector<std::string> summarize(const Target &target);

} // namespace explorer
