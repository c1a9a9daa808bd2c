// Reports laid out for a terminal: nothing wider than asked, source lines and their code
// kept together whatever the width.
#include "report.h"

#include "summary.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace explorer
{
namespace
{

// Comma-separated, "-" when empty.
template <typename Items> std::string list(const Items &items)
{
    return std::empty(items) ? "-" : joined(items, ",");
}

// Display columns of UTF-8 text: every byte that does not continue a character.
int columns(const std::string &text)
{
    int count = 0;
    for (unsigned char c : text) {
        count += (c & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

// The first width columns of text, "~" marking a cut.
std::string fit(const std::string &text, int width)
{
    if (columns(text) <= width) {
        return text + std::string(std::size_t(width - columns(text)), ' ');
    }
    std::string cut;
    int used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = text[i];
        if ((c & 0xC0) != 0x80) {
            if (used == width - 1) {
                break;
            }
            ++used;
        }
        cut += text[i];
    }
    return cut + "~";
}

// text without the blanks at its end.
std::string trimmed(std::string text)
{
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// text with blanks before it to make width columns.
std::string rightAligned(const std::string &text, std::size_t width)
{
    return std::string(width - std::min(width, text.size()), ' ') + text;
}

// text broken into lines of at most width columns, every line after the first indented.
std::string wrap(const std::string &text, int width, const std::string &indent)
{
    std::istringstream words(text);
    std::string result, line, word;
    const int room = std::max(20, width);
    bool first = true;
    // Leading blanks of the first line are kept.
    const std::size_t lead = text.find_first_not_of(' ');
    line = text.substr(0, lead == std::string::npos ? 0 : lead);
    while (words >> word) {
        const std::string prefix = first ? "" : indent;
        if (columns(line) > columns(prefix) && columns(line) + 1 + columns(word) > room) {
            result += line + "\n";
            line = indent;
            first = false;
        }
        if (!line.empty() && line.back() != ' ') {
            line += " ";
        }
        line += word;
    }
    return result + line;
}

std::string expandTabs(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\t') {
            out += std::string(4 - out.size() % 4, ' ');
        } else {
            out += c;
        }
    }
    return out;
}

// "7i r2 w1 v:global_var l:i c:f2"
std::string shortCell(const Tally &t)
{
    std::string text = std::to_string(t.instructions) + "i";
    if (t.reads > 0) {
        text += " r" + std::to_string(t.reads);
    }
    if (t.writes > 0) {
        text += " w" + std::to_string(t.writes);
    }
    if (!t.variables.empty()) {
        text += " v:" + list(t.variables);
    }
    if (!t.locals.empty()) {
        text += " l:" + list(t.locals);
    }
    if (!t.calls.empty()) {
        text += " c:" + list(t.calls);
    }
    return text;
}

// The instructions of a level that come from a source line: "f1+0x1f  mov eax, ..." in
// address order, function by function.
std::vector<std::string> instructionsOf(const Level &level, int line)
{
    std::vector<std::string> texts;
    for (const Function &function : level.functions) {
        for (const Instruction &insn : function.code) {
            if (insn.line == line) {
                std::ostringstream at;
                at << function.shortName << "+0x" << std::hex << insn.offset;
                texts.push_back(at.str() + " " + insn.text);
            }
        }
    }
    return texts;
}

void reportTarget(std::ostringstream &out, const Exploration &exploration, const Target &target,
                  int width, bool withCode)
{
    out << "=== " << exploration.title << " on " << target.name
        << ": what -O0, -O2 and -Os made of each line ===\n";
    std::vector<std::map<int, Tally>> tallies;
    for (const Level &level : target.levels) {
        tallies.push_back(byLine(level));
    }
    const bool wide = width >= 120;
    const int cell = wide ? (width - 42) / int(target.levels.size()) : 0;
    if (wide) {
        out << "(i instructions, r and w reads and writes of memory, v: variables, l: locals, c: "
               "calls)\n";
        std::string header = fit("line source", 41);
        for (const Level &level : target.levels) {
            header += " " + fit(level.name, cell - 1);
        }
        out << trimmed(header) << "\n";
    } else {
        out << "(instructions, memory reads and writes, variables, locals and calls per level)\n";
    }
    for (std::size_t n = 1; n <= exploration.sourceLines.size(); ++n) {
        const int line = int(n);
        const bool hasCode = std::any_of(tallies.begin(), tallies.end(),
                                         [&](const auto &t) { return t.contains(line); });
        const std::string source = expandTabs(exploration.sourceLines[n - 1]);
        const std::string number = rightAligned(std::to_string(line), 4);
        if (wide) {
            std::string row = number + " " + fit(source, 36);
            if (hasCode) {
                for (const auto &t : tallies) {
                    auto it = t.find(line);
                    row += " " + fit(it == t.end() ? "-" : shortCell(it->second), cell - 1);
                }
            }
            out << trimmed(row) << "\n";
            if (withCode && hasCode) {
                std::vector<std::vector<std::string>> code;
                std::size_t rows = 0;
                for (const Level &level : target.levels) {
                    code.push_back(instructionsOf(level, line));
                    rows = std::max(rows, code.back().size());
                }
                for (std::size_t r = 0; r < rows; ++r) {
                    std::string asmRow(41, ' ');
                    for (const auto &texts : code) {
                        asmRow += " " + fit(r < texts.size() ? texts[r] : "", cell - 1);
                    }
                    out << trimmed(asmRow) << "\n";
                }
            }
            continue;
        }
        out << trimmed(number + " | " + fit(source, width - 8)) << "\n";
        if (!hasCode) {
            continue;
        }
        for (std::size_t l = 0; l < target.levels.size(); ++l) {
            auto it = tallies[l].find(line);
            const std::string text = it == tallies[l].end() ? "no code" : lineFacts(it->second);
            out << "     |   " << fit(target.levels[l].name, 4)
                << wrap(text, width - 14, "     |        ") << "\n";
            if (withCode) {
                for (const std::string &insn : instructionsOf(target.levels[l], line)) {
                    out << trimmed("     |          " + fit(insn, width - 17)) << "\n";
                }
            }
        }
    }
    // Code the line table gives no line of this source (an inlined library function).
    for (std::size_t l = 0; l < target.levels.size(); ++l) {
        auto it = tallies[l].find(0);
        if (it != tallies[l].end()) {
            out << wrap("Without a line of this source at " + target.levels[l].name + ": " +
                            lineFacts(it->second),
                        width, "  ")
                << "\n";
        }
    }

    out << "\n" << fit("function (bytes)", 24);
    for (const Level &level : target.levels) {
        out << " " << rightAligned(level.name, 7);
    }
    out << "\n";
    std::vector<std::string> names;
    for (const Level &level : target.levels) {
        for (const Function &function : level.functions) {
            if (std::find(names.begin(), names.end(), function.name) == names.end()) {
                names.push_back(function.name);
            }
        }
    }
    for (const std::string &name : names) {
        out << fit(name, 24);
        for (const Level &level : target.levels) {
            const Function *function = findNamed(level.functions, name);
            out << " "
                << rightAligned(function == nullptr ? "-" : std::to_string(function->size), 7);
        }
        out << "\n";
    }

    bool anyRemark = false;
    for (const Level &level : target.levels) {
        for (const Remark &remark : level.remarks) {
            if (!anyRemark) {
                out << "\nThe compiler's remarks:\n";
                anyRemark = true;
            }
            out << wrap("  " + level.name + " line " + std::to_string(remark.line) +
                            (remark.missed ? " (not done): " : ": ") + remark.text,
                        width, "      ")
                << "\n";
        }
    }
    out << "\nSummary:\n";
    for (const Sentence &sentence : summarize(target)) {
        out << wrap("- " + sentence.text, width, "  ") << "\n";
    }
}

} // namespace

std::string terminalReport(const Exploration &exploration, int width, bool withCode)
{
    std::ostringstream out;
    for (std::size_t i = 0; i < exploration.targets.size(); ++i) {
        out << (i == 0 ? "" : "\n");
        reportTarget(out, exploration, exploration.targets[i], std::max(width, 60), withCode);
    }
    return out.str();
}

std::string overviewTable(const std::vector<Exploration> &explorations)
{
    std::ostringstream out;
    out << "                            bytes        instructions   calls        loops\n"
        << "demo                target  -O0    -O2   -O0    -O2     -O0   -O2    -O0  -O2\n";
    auto number = [](std::size_t value, std::size_t width) {
        return rightAligned(std::to_string(value), width);
    };
    for (const Exploration &e : explorations) {
        for (const Target &target : e.targets) {
            const Level *o0 = findNamed(target.levels, "-O0");
            const Level *o2 = findNamed(target.levels, "-O2");
            if (o0 == nullptr || o2 == nullptr) {
                continue;
            }
            const Tally t0 = whole(*o0), t2 = whole(*o2);
            out << fit(e.title, 19) << " " << fit(target.name, 6) << number(codeBytes(*o0), 5)
                << number(codeBytes(*o2), 7) << number(std::size_t(t0.instructions), 6)
                << number(std::size_t(t2.instructions), 7) << number(t0.calls.size(), 8)
                << number(t2.calls.size(), 6) << number(loopCount(*o0), 7)
                << number(loopCount(*o2), 5) << "\n";
        }
    }
    return out.str();
}

std::string factsText(const Exploration &exploration)
{
    std::ostringstream out;
    auto numbers = [](const auto &values) {
        std::vector<std::string> texts;
        for (const auto value : values) {
            texts.push_back(std::to_string(value));
        }
        return list(texts);
    };
    for (const Target &target : exploration.targets) {
        for (const Level &level : target.levels) {
            const std::string where = target.name + "\t" + level.name + "\t";
            for (const Variable &v : level.variables) {
                out << "variable\t" << where << v.symbol << "\t" << v.name << "\t" << v.size << "\t"
                    << (v.global ? "global" : "local") << "\n";
            }
            for (const Function &f : level.functions) {
                out << "function\t" << where << f.symbol << "\t" << f.name << "\t" << f.size << "\t"
                    << (f.global ? "global" : "local") << "\t"
                    << (f.calledHere ? "called" : "uncalled") << "\n";
                for (const Instruction &i : f.code) {
                    std::string destination = "-";
                    if (i.flow == Flow::jump || i.flow == Flow::conditionalJump) {
                        destination = std::to_string(i.jumpTarget);
                    } else if (i.flow == Flow::call || i.flow == Flow::tailCall) {
                        destination = i.callee.empty() ? "?" : i.callee;
                    }
                    std::vector<std::string> uses;
                    for (const VariableUse &use : i.variables) {
                        const std::string how =
                            std::string(use.reads ? "r" : "") + (use.writes ? "w" : "");
                        uses.push_back(use.symbol + ":" + (how.empty() ? "a" : how));
                    }
                    out << "insn\t" << where << f.symbol << "\t" << i.offset << "\t" << i.line
                        << "\t" << workName(i.work) << "\t" << flowName(i.flow) << "\t"
                        << destination << "\t" << list(uses) << "\t" << list(i.locals) << "\t"
                        << i.text << "\n";
                }
                for (const Loop &loop : f.loops) {
                    out << "loop\t" << where << f.symbol << "\t" << loop.head << "\t"
                        << numbers(loop.body) << "\t" << numbers(loop.lines) << "\n";
                }
            }
            for (const Remark &r : level.remarks) {
                out << "remark\t" << where << (r.missed ? "missed" : "optimized") << "\t" << r.line
                    << "\t" << r.column << "\t" << (r.pass.empty() ? "-" : r.pass) << "\t" << r.text
                    << "\n";
            }
        }
        for (const Sentence &sentence : summarize(target)) {
            out << "summary\t" << target.name << "\t" << sentence.text << "\n";
        }
    }
    return out.str();
}

} // namespace explorer
