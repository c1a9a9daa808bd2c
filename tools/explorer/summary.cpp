// Sentences built only from counts and names the objects and the compiler's remarks
// recorded, so that whatever the source says, each sentence stays true of its code.
#include "summary.h"

#include <algorithm>
#include <regex>

namespace explorer
{

void Tally::add(const Instruction &insn)
{
    ++instructions;
    reads += insn.readsMemory ? 1 : 0;
    writes += insn.writesMemory ? 1 : 0;
    divides += insn.work == Work::divide ? 1 : 0;
    multiplies += insn.work == Work::multiply ? 1 : 0;
    shifts += insn.work == Work::shift ? 1 : 0;
    masks += insn.work == Work::mask ? 1 : 0;
    globals.insert(insn.globals.begin(), insn.globals.end());
    locals.insert(insn.locals.begin(), insn.locals.end());
    if (insn.work == Work::call || (insn.work == Work::divide && !insn.callee.empty())) {
        calls.push_back(insn.callee.empty() ? "?" : insn.callee);
    }
}

std::map<int, Tally> byLine(const Level &level)
{
    std::map<int, Tally> lines;
    for (const Function &function : level.functions) {
        for (const Instruction &insn : function.code) {
            lines[insn.line].add(insn);
        }
    }
    return lines;
}

Tally whole(const Level &level)
{
    Tally all;
    for (const Function &function : level.functions) {
        for (const Instruction &insn : function.code) {
            all.add(insn);
        }
    }
    return all;
}

std::vector<std::pair<int, int>> loopLines(const Function &function)
{
    std::vector<std::pair<int, int>> loops;
    for (std::size_t i = 0; i < function.code.size(); ++i) {
        const Instruction &jump = function.code[i];
        if (!jump.jumpsBack) {
            continue;
        }
        // The loop runs from the jump's target to the jump; its target is the first
        // instruction at or after the offset named in the jump, found by scanning back.
        int low = 0, high = 0;
        for (std::size_t j = 0; j <= i; ++j) {
            const Instruction &insn = function.code[j];
            if (insn.offset < jump.jumpTarget || insn.line == 0) {
                continue;
            }
            low = low == 0 ? insn.line : std::min(low, insn.line);
            high = std::max(high, insn.line);
        }
        loops.emplace_back(low, high);
    }
    return loops;
}

std::vector<std::pair<std::string, std::string>> inlinings(const Level &level)
{
    // "Inlining int f2()/1 into void f1()/2." names the two functions with their types.
    static const std::regex inlining(
        R"(Inlining (?:.* )?([A-Za-z_][A-Za-z_0-9:]*)\(.*\)/[0-9]+ into (?:.* )?([A-Za-z_][A-Za-z_0-9:]*)\(.*\)/[0-9]+\.?)");
    std::vector<std::pair<std::string, std::string>> found;
    for (const Remark &remark : level.remarks) {
        std::smatch m;
        if (std::regex_search(remark.text, m, inlining)) {
            found.emplace_back(m[1], m[2]);
        }
    }
    return found;
}

std::string plural(int n, const std::string &word)
{
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::uint64_t codeBytes(const Level &level)
{
    std::uint64_t total = 0;
    for (const Function &function : level.functions) {
        total += function.size;
    }
    return total;
}

std::size_t loopCount(const Level &level)
{
    std::size_t count = 0;
    for (const Function &function : level.functions) {
        count += loopLines(function).size();
    }
    return count;
}

namespace
{

std::string joined(const std::vector<std::string> &items, const std::string &last = " and ")
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? last : ", ") + items[i];
    }
    return text;
}

bool calls(const Level &level, const std::string &callee)
{
    for (const Function &function : level.functions) {
        for (const Instruction &insn : function.code) {
            if (insn.callee == callee) {
                return true;
            }
        }
    }
    return false;
}

// "f1, f2 and printf x2", the callees of a level in the order first called.
std::string callList(const Level &level)
{
    std::vector<std::string> order;
    std::map<std::string, int> counts;
    for (const std::string &callee : whole(level).calls) {
        if (counts[callee]++ == 0) {
            order.push_back(callee);
        }
    }
    std::vector<std::string> items;
    for (const std::string &callee : order) {
        items.push_back(counts[callee] > 1 ? callee + " x" + std::to_string(counts[callee])
                                           : callee);
    }
    return items.empty() ? "none" : joined(items);
}

std::string arithmetic(const Tally &t)
{
    std::vector<std::string> items;
    if (t.divides > 0) {
        items.push_back(plural(t.divides, "divide"));
    }
    if (t.multiplies > 0) {
        items.push_back(plural(t.multiplies, "multiply"));
    }
    if (t.shifts > 0) {
        items.push_back(plural(t.shifts, "shift"));
    }
    if (t.masks > 0) {
        items.push_back(plural(t.masks, "mask"));
    }
    return items.empty() ? "none" : joined(items);
}

std::string loopsOf(const Level &level)
{
    std::vector<std::string> items;
    for (const Function &function : level.functions) {
        for (const auto &[low, high] : loopLines(function)) {
            items.push_back(function.name + " (line" +
                            (low == high
                                 ? " " + std::to_string(low)
                                 : "s " + std::to_string(low) + "-" + std::to_string(high)) +
                            ")");
        }
    }
    return items.empty() ? "none" : joined(items);
}

// How often the instructions of a level read and write a global: x86 instructions name it
// in their memory operand; an ARM instruction names it by loading its address.
std::string globalUse(const Level &level, const std::string &name, bool arm)
{
    int reads = 0, writes = 0, named = 0;
    for (const Function &function : level.functions) {
        for (const Instruction &insn : function.code) {
            if (std::find(insn.globals.begin(), insn.globals.end(), name) == insn.globals.end()) {
                continue;
            }
            ++named;
            reads += insn.readsMemory ? 1 : 0;
            writes += insn.writesMemory ? 1 : 0;
        }
    }
    if (arm) {
        return named == 0 ? "not named by any instruction"
                          : "named by " + plural(named, "instruction");
    }
    if (reads == 0 && writes == 0) {
        return named == 0 ? "not touched" : "only its address taken";
    }
    return plural(reads, "read") + " and " + plural(writes, "write");
}

} // namespace

std::vector<std::string> summarize(const Target &target)
{
    std::vector<std::string> sentences;
    const Level *o0 = findNamed(target.levels, "-O0");
    const Level *o2 = findNamed(target.levels, "-O2");
    const Level *os = findNamed(target.levels, "-Os");
    if (o0 == nullptr || o2 == nullptr) {
        return sentences;
    }
    const bool arm = target.name == "arm";

    std::string size = "Code size: " + std::to_string(codeBytes(*o0)) + " bytes in " +
                       plural(int(o0->functions.size()), "function") + " at -O0, " +
                       std::to_string(codeBytes(*o2)) + " bytes in " +
                       std::to_string(o2->functions.size()) + " at -O2";
    if (os != nullptr) {
        size += ", " + std::to_string(codeBytes(*os)) + " bytes in " +
                std::to_string(os->functions.size()) + " at -Os";
    }
    sentences.push_back(size + ".");

    const auto inlined = inlinings(*o2);
    for (const Function &function : o0->functions) {
        std::vector<std::string> into;
        for (const auto &[callee, caller] : inlined) {
            if (callee == function.name &&
                std::find(into.begin(), into.end(), caller) == into.end()) {
                into.push_back(caller);
            }
        }
        const std::string reported =
            into.empty() ? "" : " The compiler reports inlining it into " + joined(into) + ".";
        if (findNamed(o2->functions, function.name) == nullptr) {
            sentences.push_back(function.name + " is gone at -O2." + reported);
        } else if (calls(*o0, function.name) && !calls(*o2, function.name)) {
            sentences.push_back(function.name + " is still defined at -O2 but no longer called." +
                                reported);
        } else if (!into.empty()) {
            sentences.push_back(function.name + ":" + reported);
        }
    }

    for (const Variable &variable : o0->variables) {
        const Variable *kept = findNamed(o2->variables, variable.name);
        const std::string who =
            variable.name + (variable.global ? " (visible to other files)" : " (this file only)");
        if (kept == nullptr) {
            sentences.push_back(who + ": " + globalUse(*o0, variable.name, arm) +
                                " at -O0; gone at -O2 (no longer defined).");
        } else {
            const std::string before = globalUse(*o0, variable.name, arm);
            const std::string after = globalUse(*o2, variable.name, arm);
            sentences.push_back(who + ": " +
                                (before == after ? before + " at -O0 and at -O2."
                                                 : before + " at -O0, " + after + " at -O2."));
        }
    }

    std::string loops = "Loops: " + loopsOf(*o0) + " at -O0; " + loopsOf(*o2) + " at -O2";
    if (os != nullptr) {
        loops += "; " + loopsOf(*os) + " at -Os";
    }
    sentences.push_back(loops + ".");

    std::string work = "Divides, multiplies, shifts and masks: " + arithmetic(whole(*o0)) +
                       " at -O0; " + arithmetic(whole(*o2)) + " at -O2";
    if (os != nullptr) {
        work += "; " + arithmetic(whole(*os)) + " at -Os";
    }
    sentences.push_back(work + ".");
    const std::map<int, Tally> lines0 = byLine(*o0), lines2 = byLine(*o2);
    for (const auto &[line, tally] : lines0) {
        auto after = lines2.find(line);
        if (line != 0 && tally.divides > 0 && after != lines2.end() && after->second.divides == 0) {
            const std::string instead = arithmetic(after->second);
            sentences.push_back(
                "Line " + std::to_string(line) + " divides at -O0; at -O2 it has no divide" +
                (instead == "none" ? ", multiply, shift or mask." : " (" + instead + ")."));
        }
    }

    std::string called = "Calls: " + callList(*o0) + " at -O0; " + callList(*o2) + " at -O2";
    if (os != nullptr) {
        called += "; " + callList(*os) + " at -Os";
    }
    sentences.push_back(called + ".");

    std::vector<std::string> removed;
    for (const auto &[line, tally] : lines0) {
        if (line != 0 && !lines2.contains(line)) {
            removed.push_back(std::to_string(line));
        }
    }
    sentences.push_back(removed.empty()
                            ? "Every line with code at -O0 has code at -O2."
                            : "Lines with code at -O0 and none at -O2: " + joined(removed) + ".");
    return sentences;
}

} // namespace explorer
