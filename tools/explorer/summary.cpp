// Sentences built only from counts and names the objects and the compiler's remarks
// recorded, so that whatever the source says, each sentence stays true of its code.
#include "summary.h"

#include "elf_tables.h"

#include <algorithm>
#include <regex>

namespace explorer
{

bool isPcThunk(const std::string &symbol)
{
    return symbol.starts_with("__x86.get_pc_thunk.");
}

std::string calleeName(const Instruction &insn)
{
    if (insn.flow == Flow::indirectCall) {
        return "a pointer";
    }
    return insn.callee.empty() ? "?" : demangledName(insn.callee);
}

void Tally::add(const Instruction &insn)
{
    ++instructions;
    reads += insn.readsMemory ? 1 : 0;
    writes += insn.writesMemory ? 1 : 0;
    divides += insn.work == Work::divide ? 1 : 0;
    multiplies += insn.work == Work::multiply ? 1 : 0;
    shifts += insn.work == Work::shift ? 1 : 0;
    masks += insn.work == Work::mask ? 1 : 0;
    for (const VariableUse &use : insn.variables) {
        variables.insert(demangledName(use.symbol));
    }
    locals.insert(insn.locals.begin(), insn.locals.end());
    const bool call =
        insn.flow == Flow::call || insn.flow == Flow::tailCall || insn.flow == Flow::indirectCall;
    if (call && !isPcThunk(insn.callee)) {
        calls.push_back(calleeName(insn));
        tailCalls += insn.flow == Flow::tailCall ? 1 : 0;
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

std::vector<std::pair<std::string, std::string>> inlinings(const Level &level)
{
    // "Inlining int f2()/1 into void f1()/2." names the two functions as declared.
    static const std::regex inlining(R"(Inlining (.+)/[0-9]+ into (.+)/[0-9]+\.?)");
    std::vector<std::pair<std::string, std::string>> found;
    for (const Remark &remark : level.remarks) {
        std::smatch m;
        if (!remark.missed && std::regex_search(remark.text, m, inlining)) {
            found.emplace_back(m[1], m[2]);
        }
    }
    return found;
}

std::string plural(int n, const std::string &word)
{
    const std::string many =
        word.ends_with("y") ? word.substr(0, word.size() - 1) + "ies" : word + "s";
    return std::to_string(n) + " " + (n == 1 ? word : many);
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
        count += function.loops.size();
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

// Whether a declaration as the compiler writes it ("int f2()") is that of a function.
bool declares(const std::string &declaration, const Function &function)
{
    const std::string &name = function.name;
    if (declaration.ends_with(name)) {
        const std::size_t before = declaration.size() - name.size();
        return before == 0 || std::string(" *&").find(declaration[before - 1]) != std::string::npos;
    }
    // An unmangled name (main, a C function) has no parameter list of its own.
    const std::string bare = withoutParameters(declaration);
    return name.find('(') == std::string::npos &&
           (bare == name || bare.ends_with(" " + name) || bare.ends_with("*" + name));
}

bool calls(const Level &level, const std::string &symbol)
{
    for (const Function &function : level.functions) {
        for (const Instruction &insn : function.code) {
            if ((insn.flow == Flow::call || insn.flow == Flow::tailCall) && insn.callee == symbol) {
                return true;
            }
        }
    }
    return false;
}

// "f1(), f2() and printf x2 (1 of them a tail call)", the callees of a level in the order
// first called.
std::string callList(const Level &level)
{
    const Tally all = whole(level);
    std::vector<std::string> order;
    std::map<std::string, int> counts;
    for (const std::string &callee : all.calls) {
        if (counts[callee]++ == 0) {
            order.push_back(callee);
        }
    }
    std::vector<std::string> items;
    for (const std::string &callee : order) {
        items.push_back(counts[callee] > 1 ? callee + " x" + std::to_string(counts[callee])
                                           : callee);
    }
    if (items.empty()) {
        return "none";
    }
    std::string text = joined(items);
    if (all.tailCalls > 0) {
        text += all.tailCalls == 1 && all.calls.size() == 1
                    ? " (a tail call)"
                    : " (" + std::to_string(all.tailCalls) + " of them " +
                          (all.tailCalls == 1 ? "a tail call" : "tail calls") + ")";
    }
    return text;
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

std::string loopsOf(const Level &level, std::set<int> &lines)
{
    std::vector<std::string> items;
    for (const Function &function : level.functions) {
        for (const Loop &loop : function.loops) {
            items.push_back(function.name +
                            (loop.lines.empty()
                                 ? " (no line of this source)"
                                 : " (line" + std::string(loop.lines.size() == 1 ? "" : "s") + " " +
                                       lineRanges(loop.lines) + ")"));
            lines.insert(loop.lines.begin(), loop.lines.end());
        }
    }
    return items.empty() ? "none" : joined(items);
}

// How many instructions of a level read, write or only take the address of a variable:
// "2 instructions read it and 1 writes it", with those in functions the file never calls
// counted apart (their code may never run).
std::string variableUse(const Level &level, const std::string &symbol, std::set<int> &lines)
{
    int reads = 0, writes = 0, addresses = 0, uncalled = 0;
    std::set<std::string> uncalledIn;
    for (const Function &function : level.functions) {
        for (const Instruction &insn : function.code) {
            for (const VariableUse &use : insn.variables) {
                if (use.symbol != symbol) {
                    continue;
                }
                reads += use.reads ? 1 : 0;
                writes += use.writes ? 1 : 0;
                addresses += use.reads || use.writes ? 0 : 1;
                if (insn.line != 0) {
                    lines.insert(insn.line);
                }
                if (!function.calledHere && function.symbol != "main") {
                    ++uncalled;
                    uncalledIn.insert(function.name);
                }
            }
        }
    }
    std::vector<std::string> parts;
    if (reads > 0) {
        parts.push_back(plural(reads, "instruction") + (reads == 1 ? " reads it" : " read it"));
    }
    if (writes > 0) {
        parts.push_back((parts.empty() ? plural(writes, "instruction") : std::to_string(writes)) +
                        (writes == 1 ? " writes it" : " write it"));
    }
    if (addresses > 0) {
        parts.push_back(
            (parts.empty() ? plural(addresses, "instruction") : std::to_string(addresses)) +
            (addresses == 1 ? " takes its address" : " take its address"));
    }
    if (parts.empty()) {
        return "no instruction names it";
    }
    std::string text = joined(parts);
    if (uncalled > 0) {
        text += " (" + std::to_string(uncalled) + " of them in " +
                joined(std::vector<std::string>(uncalledIn.begin(), uncalledIn.end())) +
                ", which this file never calls)";
    }
    return text;
}

} // namespace

std::string lineRanges(const std::set<int> &lines)
{
    std::vector<std::string> items;
    for (auto it = lines.begin(); it != lines.end();) {
        int low = *it, high = low;
        for (++it; it != lines.end() && *it == high + 1; ++it) {
            high = *it;
        }
        items.push_back(low == high ? std::to_string(low)
                                    : std::to_string(low) + "-" + std::to_string(high));
    }
    return joined(items);
}

std::vector<Sentence> summarize(const Target &target)
{
    std::vector<Sentence> sentences;
    const Level *o0 = findNamed(target.levels, "-O0");
    const Level *o2 = findNamed(target.levels, "-O2");
    const Level *os = findNamed(target.levels, "-Os");
    if (o0 == nullptr || o2 == nullptr) {
        return sentences;
    }

    std::string size = "Code size: " + std::to_string(codeBytes(*o0)) + " bytes in " +
                       plural(int(o0->functions.size()), "function") + " at -O0, " +
                       std::to_string(codeBytes(*o2)) + " bytes in " +
                       std::to_string(o2->functions.size()) + " at -O2";
    if (os != nullptr) {
        size += ", " + std::to_string(codeBytes(*os)) + " bytes in " +
                std::to_string(os->functions.size()) + " at -Os";
    }
    sentences.push_back({size + ".", {}});

    auto linesOf = [](const Function &function) {
        std::set<int> lines;
        for (const Instruction &insn : function.code) {
            if (insn.line != 0) {
                lines.insert(insn.line);
            }
        }
        return lines;
    };
    const auto inlined = inlinings(*o2);
    for (const Function &function : o0->functions) {
        std::vector<std::string> into;
        for (const auto &[callee, caller] : inlined) {
            if (!declares(callee, function)) {
                continue;
            }
            std::string name = caller;
            for (const Function &f : o0->functions) {
                if (declares(caller, f)) {
                    name = f.name;
                }
            }
            if (std::find(into.begin(), into.end(), name) == into.end()) {
                into.push_back(name);
            }
        }
        const std::string reported =
            into.empty() ? "" : " The compiler reports inlining it into " + joined(into) + ".";
        const Function *kept = nullptr;
        for (const Function &f : o2->functions) {
            kept = f.symbol == function.symbol ? &f : kept;
        }
        if (kept == nullptr) {
            sentences.push_back({function.name + " is gone at -O2." + reported, linesOf(function)});
        } else if (calls(*o0, function.symbol) && !calls(*o2, function.symbol)) {
            sentences.push_back(
                {function.name + " is still defined at -O2 but no longer called." + reported,
                 linesOf(function)});
        } else if (!into.empty()) {
            sentences.push_back({function.name + ":" + reported, linesOf(function)});
        }
    }

    bool anyVariable = false;
    for (const Variable &variable : o0->variables) {
        const Variable *kept = nullptr;
        for (const Variable &v : o2->variables) {
            kept = v.symbol == variable.symbol ? &v : kept;
        }
        const std::string who =
            variable.name + (variable.global ? " (visible to other files)" : " (this file only)");
        Sentence sentence;
        const std::string before = variableUse(*o0, variable.symbol, sentence.lines);
        if (kept == nullptr) {
            sentence.text = who + ": " + before + " at -O0; gone at -O2 (no longer defined).";
        } else {
            const std::string after = variableUse(*o2, variable.symbol, sentence.lines);
            sentence.text = who + ": " +
                            (before == after ? before + " at -O0 and at -O2."
                                             : before + " at -O0; " + after + " at -O2.");
        }
        sentences.push_back(sentence);
        anyVariable = true;
    }
    if (anyVariable) {
        sentences.push_back({"Instructions are counted where they stand in the code; a loop may "
                             "run one many times.",
                             {}});
    }

    Sentence loops;
    loops.text =
        "Loops: " + loopsOf(*o0, loops.lines) + " at -O0; " + loopsOf(*o2, loops.lines) + " at -O2";
    if (os != nullptr) {
        loops.text += "; " + loopsOf(*os, loops.lines) + " at -Os";
    }
    loops.text += ".";
    sentences.push_back(loops);

    std::string work = "Divides, multiplies, shifts and masks: " + arithmetic(whole(*o0)) +
                       " at -O0; " + arithmetic(whole(*o2)) + " at -O2";
    if (os != nullptr) {
        work += "; " + arithmetic(whole(*os)) + " at -Os";
    }
    sentences.push_back({work + ".", {}});
    const std::map<int, Tally> lines0 = byLine(*o0), lines2 = byLine(*o2);
    for (const auto &[line, tally] : lines0) {
        auto after = lines2.find(line);
        if (line != 0 && tally.divides > 0 && after != lines2.end() && after->second.divides == 0) {
            const std::string instead = arithmetic(after->second);
            sentences.push_back(
                {"Line " + std::to_string(line) + " divides at -O0; at -O2 it has no divide" +
                     (instead == "none" ? ", multiply, shift or mask." : " (" + instead + ")."),
                 {line}});
        }
    }

    std::string called = "Calls: " + callList(*o0) + " at -O0; " + callList(*o2) + " at -O2";
    if (os != nullptr) {
        called += "; " + callList(*os) + " at -Os";
    }
    sentences.push_back({called + ".", {}});

    std::set<int> removed;
    for (const auto &[line, tally] : lines0) {
        if (line != 0 && !lines2.contains(line)) {
            removed.insert(line);
        }
    }
    std::vector<std::string> removedText;
    for (int line : removed) {
        removedText.push_back(std::to_string(line));
    }
    sentences.push_back(
        {removed.empty() ? "Every line with code at -O0 has code at -O2."
                         : "Lines with code at -O0 and none at -O2: " + joined(removedText) + ".",
         removed});
    return sentences;
}

std::string lineFacts(const Tally &t)
{
    std::string text = plural(t.instructions, "instruction");
    if (t.reads > 0 || t.writes > 0) {
        std::vector<std::string> parts;
        if (t.reads > 0) {
            parts.push_back(std::to_string(t.reads) + (t.reads == 1 ? " reads" : " read") +
                            " memory");
        }
        if (t.writes > 0) {
            parts.push_back(std::to_string(t.writes) + (t.writes == 1 ? " writes" : " write") +
                            (t.reads > 0 ? " it" : " memory"));
        }
        text += ": " + joined(parts);
    }
    auto list = [](const auto &items) {
        std::string joinedItems;
        for (const std::string &item : items) {
            joinedItems += (joinedItems.empty() ? "" : ", ") + item;
        }
        return joinedItems;
    };
    if (!t.variables.empty()) {
        text += "; variables " + list(t.variables);
    }
    if (!t.locals.empty()) {
        text += "; locals " + list(t.locals);
    }
    if (!t.calls.empty()) {
        text += "; calls " + list(t.calls);
    }
    return text;
}

} // namespace explorer
