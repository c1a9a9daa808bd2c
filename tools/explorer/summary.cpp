// Sentences built only from counts and names the objects and the compiler's remarks
// recorded, so that whatever the source says, each sentence stays true of its code.
#include "summary.h"

#include "elf_tables.h"

#include <algorithm>
#include <regex>

namespace explorer
{
namespace
{

// Whether a call is one to the i386 helper that finds the program counter (position-
// independent code needs it; it does none of the program's work).
bool isPcThunk(const std::string &symbol)
{
    return symbol.starts_with("__x86.get_pc_thunk.");
}

// How a callee is shown: the demangled name of its symbol, "a pointer" for a call through
// one.
std::string calleeName(const Instruction &insn)
{
    if (insn.flow == Flow::indirectCall) {
        return "a pointer";
    }
    return insn.callee.empty() ? "?" : demangledName(insn.callee);
}

} // namespace

const char *workName(Work work)
{
    static const char *const names[] = {"other", "divide", "multiply", "shift", "mask"};
    return names[std::size_t(work)];
}

const char *flowName(Flow flow)
{
    static const char *const names[] = {"-",        "jump",  "cjump", "call",
                                        "tailcall", "ijump", "icall", "ret"};
    return names[std::size_t(flow)];
}

void Tally::add(const Instruction &insn)
{
    ++instructions;
    reads += insn.readsMemory ? 1 : 0;
    writes += insn.writesMemory ? 1 : 0;
    ++works[std::size_t(insn.work)];
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

namespace
{

// The functions the compiler reports having inlined, as "callee into caller" (each as the
// compiler writes it, with return type and parameters), from the remarks of a level.
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

// "1 read", "2 reads", "2 multiplies".
std::string plural(int n, const std::string &word)
{
    const std::string many =
        word.ends_with("y") ? word.substr(0, word.size() - 1) + "ies" : word + "s";
    return std::to_string(n) + " " + (n == 1 ? word : many);
}

} // namespace

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

// "a, b and c"
template <typename Items> std::string listed(const Items &items)
{
    return joined(items, ", ", " and ");
}

// "5-7, 9 and 12": a set of line numbers in ranges.
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
    return listed(items);
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
    std::string text = listed(items);
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
    for (Work work : {Work::divide, Work::multiply, Work::shift, Work::mask}) {
        if (t.of(work) > 0) {
            items.push_back(plural(t.of(work), workName(work)));
        }
    }
    return items.empty() ? "none" : listed(items);
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
    return items.empty() ? "none" : listed(items);
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
    // "2 instructions read it and 1 writes it": the noun with the first count only.
    const struct {
        int count;
        const char *one, *many;
    } uses[] = {{reads, " reads it", " read it"},
                {writes, " writes it", " write it"},
                {addresses, " takes its address", " take its address"}};
    std::vector<std::string> parts;
    for (const auto &use : uses) {
        if (use.count > 0) {
            parts.push_back(
                (parts.empty() ? plural(use.count, "instruction") : std::to_string(use.count)) +
                (use.count == 1 ? use.one : use.many));
        }
    }
    if (parts.empty()) {
        return "no instruction names it";
    }
    std::string text = listed(parts);
    if (uncalled > 0) {
        text += " (" + std::to_string(uncalled) + " of them in " + listed(uncalledIn) +
                ", which this file never calls)";
    }
    return text;
}

} // namespace

std::vector<Sentence> summarize(const Target &target)
{
    std::vector<Sentence> sentences;
    const Level *o0 = findNamed(target.levels, "-O0");
    const Level *o2 = findNamed(target.levels, "-O2");
    const Level *os = findNamed(target.levels, "-Os");
    if (o0 == nullptr || o2 == nullptr) {
        return sentences;
    }
    // "A at -O0; B at -O2; C at -Os.", what describe says of each level compared.
    auto perLevel = [&](auto &&describe) {
        std::string text = describe(*o0) + " at -O0; " + describe(*o2) + " at -O2";
        return text + (os != nullptr ? "; " + describe(*os) + " at -Os." : ".");
    };

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
            into.empty() ? "" : " The compiler reports inlining it into " + listed(into) + ".";
        const bool kept =
            std::any_of(o2->functions.begin(), o2->functions.end(),
                        [&](const Function &f) { return f.symbol == function.symbol; });
        if (!kept) {
            sentences.push_back({function.name + " is gone at -O2." + reported, linesOf(function)});
        } else if (calls(*o0, function.symbol) && !calls(*o2, function.symbol)) {
            sentences.push_back(
                {function.name + " is still defined at -O2 but no longer called." + reported,
                 linesOf(function)});
        } else if (!into.empty()) {
            sentences.push_back({function.name + ":" + reported, linesOf(function)});
        }
    }

    for (const Variable &variable : o0->variables) {
        const bool kept =
            std::any_of(o2->variables.begin(), o2->variables.end(),
                        [&](const Variable &v) { return v.symbol == variable.symbol; });
        const std::string who =
            variable.name + (variable.global ? " (visible to other files)" : " (this file only)");
        Sentence sentence;
        const std::string before = variableUse(*o0, variable.symbol, sentence.lines);
        if (!kept) {
            sentence.text = who + ": " + before + " at -O0; gone at -O2 (no longer defined).";
        } else {
            const std::string after = variableUse(*o2, variable.symbol, sentence.lines);
            sentence.text = who + ": " +
                            (before == after ? before + " at -O0 and at -O2."
                                             : before + " at -O0; " + after + " at -O2.");
        }
        sentences.push_back(sentence);
    }
    if (!o0->variables.empty()) {
        sentences.push_back({"Instructions are counted where they stand in the code; a loop may "
                             "run one many times.",
                             {}});
    }

    Sentence loops;
    loops.text =
        "Loops: " + perLevel([&](const Level &level) { return loopsOf(level, loops.lines); });
    sentences.push_back(loops);

    sentences.push_back({"Divides, multiplies, shifts and masks: " +
                             perLevel([](const Level &level) { return arithmetic(whole(level)); }),
                         {}});
    const std::map<int, Tally> lines0 = byLine(*o0), lines2 = byLine(*o2);
    for (const auto &[line, tally] : lines0) {
        auto after = lines2.find(line);
        if (line != 0 && tally.of(Work::divide) > 0 && after != lines2.end() &&
            after->second.of(Work::divide) == 0) {
            const std::string instead = arithmetic(after->second);
            sentences.push_back(
                {"Line " + std::to_string(line) + " divides at -O0; at -O2 it has no divide" +
                     (instead == "none" ? ", multiply, shift or mask." : " (" + instead + ")."),
                 {line}});
        }
    }

    sentences.push_back({"Calls: " + perLevel(callList), {}});

    std::set<int> removed;
    std::vector<std::string> removedText;
    for (const auto &[line, tally] : lines0) {
        if (line != 0 && !lines2.contains(line)) {
            removed.insert(line);
            removedText.push_back(std::to_string(line));
        }
    }
    sentences.push_back(
        {removed.empty() ? "Every line with code at -O0 has code at -O2."
                         : "Lines with code at -O0 and none at -O2: " + listed(removedText) + ".",
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
        text += ": " + listed(parts);
    }
    if (!t.variables.empty()) {
        text += "; variables " + joined(t.variables, ", ");
    }
    if (!t.locals.empty()) {
        text += "; locals " + joined(t.locals, ", ");
    }
    if (!t.calls.empty()) {
        text += "; calls " + joined(t.calls, ", ");
    }
    return text;
}

} // namespace explorer
