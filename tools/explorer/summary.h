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

// Everything the instructions of one source line (or of a whole level) add up to. Counts
// are instructions in the code, not how often they run.
struct Tally {
    int instructions = 0, reads = 0, writes = 0; // reads and writes through an operand
    int divides = 0, multiplies = 0, shifts = 0, masks = 0;
    std::set<std::string> variables, locals; // by display name
    std::vector<std::string> calls;          // in order, a callee once per call or tail call
    int tailCalls = 0;

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

// How a callee is shown: the demangled name of its symbol, "a pointer" for a call through
// one.
std::string calleeName(const Instruction &insn);

// Whether a call is one to the i386 helper that finds the program counter (position-
// independent code needs it; it does none of the program's work).
bool isPcThunk(const std::string &symbol);

// The functions the compiler reports having inlined, as "callee into caller" (each as the
// compiler writes it, with return type and parameters), from the remarks of a level.
std::vector<std::pair<std::string, std::string>> inlinings(const Level &level);

// The bytes of all functions of a level, and the loops among them.
std::uint64_t codeBytes(const Level &level);
std::size_t loopCount(const Level &level);

// "1 read", "2 reads", "2 multiplies".
std::string plural(int n, const std::string &word);

// "5-7, 9 and 12": a set of line numbers in ranges.
std::string lineRanges(const std::set<int> &lines);

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
