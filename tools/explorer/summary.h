// What the explorer says about a source: facts gathered by source line, and a few plain
// sentences per target, each computed from the facts of the levels it compares.
#pragma once

#include "facts.h"

#include <array>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace explorer
{

// Everything the instructions of one source line (or of a whole level) add up to. Counts
// are instructions in the code, not how often they run.
struct Tally {
    int instructions = 0, reads = 0, writes = 0; // reads and writes through an operand
    std::array<int, 5> works{};                  // instructions by the Work they do
    std::set<std::string> variables, locals;     // by display name
    std::vector<std::string> calls;              // in order, a callee once per call or tail call
    int tailCalls = 0;

    void add(const Instruction &insn);
    int of(Work work) const
    {
        return works[std::size_t(work)];
    }
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

// The bytes of all functions of a level, and the loops among them.
std::uint64_t codeBytes(const Level &level);
std::size_t loopCount(const Level &level);

// The names the facts give a Work ("divide") and a Flow ("cjump", "-" for on to the next).
const char *workName(Work work);
const char *flowName(Flow flow);

// The items with separator between them and last before the final one: "a, b and c".
template <typename Items>
std::string joined(const Items &items, const std::string &separator, const std::string &last)
{
    std::string text;
    std::size_t left = std::size(items);
    for (const std::string &item : items) {
        text += item + (left > 2 ? separator : left == 2 ? last : "");
        --left;
    }
    return text;
}

template <typename Items> std::string joined(const Items &items, const std::string &separator)
{
    return joined(items, separator, separator);
}

// A sentence of the summary and the source lines it is about (none for one about the file).
struct Sentence {
    std::string text;
    std::set<int> lines;
};

// A few sentences on what -O2 (and -Os) made of the -O0 code of one target.
std::vector<Sentence> summarize(const Target &target);

// What a line's instructions add up to: "7 instructions, 2 read memory and 1 writes it;
// variables global_var; locals i; calls f2()".
std::string lineFacts(const Tally &tally);

} // namespace explorer
