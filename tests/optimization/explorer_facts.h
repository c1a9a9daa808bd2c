// The optimisation explorer's facts (what `opt_explorer --facts` prints) read back, and the
// check that every sentence of its summary holds for them (explorer_checker.cpp).
#pragma once

#include "targets.h"

#include <cstdint>
#include <map>
#include <set>

namespace harness
{

struct Insn {
    std::string target, level, function, work, flow, destination, text;
    int line = 0;
    std::vector<std::string> variables; // "symbol:r", ":w", ":rw" or ":a"
    std::vector<std::string> locals;
};

struct Facts {
    std::vector<Insn> insns;
    std::map<std::string, std::uint64_t> functionSizes;    // "target level symbol"
    std::map<std::string, std::string> functionNames;      // "target level symbol" -> name
    std::set<std::string> uncalled;                        // "target level symbol"
    std::map<std::string, bool> variables;                 // "target level symbol" -> global
    std::map<std::string, std::string> variableNames;      // "target level symbol" -> name
    std::multiset<std::string> loops;                      // "target level symbol"
    std::vector<std::string> remarks;                      // "target level text"
    std::vector<std::pair<std::string, std::string>> said; // target, sentence
};

// The facts of one run of the explorer; a line that is no fact fails the current test.
Facts parse(const std::string &text);

// Checks each sentence the explorer said against the facts it gave.
void expectEverySentenceHolds(const Facts &facts);

} // namespace harness
