// Reads the explorer's facts back and checks each sentence of its summary against them: the
// sizes, calls, loops, arithmetic, variables and removed lines each sentence states.
#include "explorer_facts.h"

#include <cxxabi.h>

#include <cstdlib>
#include <regex>
#include <sstream>

namespace harness
{
namespace
{

// Splits at separator outside parentheses, braces and angle brackets (a name such as
// "add(int, int)" stays whole).
std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    int depth = 0;
    for (char c : text) {
        depth += c == '(' || c == '{' || c == '<' ? 1 : c == ')' || c == '}' || c == '>' ? -1 : 0;
        if (c == separator && depth == 0) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

std::string demangled(const std::string &symbol)
{
    if (!symbol.starts_with("_Z")) {
        return symbol;
    }
    int status = 0;
    char *plain = abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status);
    std::string name = status == 0 && plain != nullptr ? plain : symbol;
    std::free(plain);
    return name;
}

// "a, b and c" -> {a, b, c}; "none" -> {}.
std::vector<std::string> items(const std::string &text)
{
    if (text == "none") {
        return {};
    }
    std::vector<std::string> result;
    std::string rest = text;
    const std::size_t last = rest.rfind(" and ");
    std::string tail;
    if (last != std::string::npos) {
        tail = rest.substr(last + 5);
        rest = rest.substr(0, last);
    }
    for (std::string piece : split(rest, ',')) {
        piece.erase(0, piece.find_first_not_of(' '));
        result.push_back(piece);
    }
    if (!tail.empty()) {
        result.push_back(tail);
    }
    return result;
}

// Checks each sentence the explorer said about a target against the facts it gave.
class Checker
{
  public:
    Checker(const Facts &facts, std::string target) : facts_(facts), target_(std::move(target)) {}

    void check(const std::string &s)
    {
        std::smatch m;
        static const std::regex size(
            R"(Code size: (\d+) bytes in (\d+) functions? at -O0, (\d+) bytes in (\d+) at -O2, (\d+) bytes in (\d+) at -Os\.)");
        static const std::regex gone(
            R"((.+) is gone at -O2\.( The compiler reports inlining it into (.+)\.)?)");
        static const std::regex uncalled(
            R"((.+) is still defined at -O2 but no longer called\.( The compiler reports inlining it into (.+)\.)?)");
        static const std::regex variable(
            R"((.+) \((visible to other files|this file only)\): (.+)\.)");
        static const std::regex inlinedOnly(
            R"((.+): The compiler reports inlining it into (.+)\.)");
        static const std::regex loops(R"(Loops: (.+) at -O0; (.+) at -O2; (.+) at -Os\.)");
        static const std::regex work(
            R"(Divides, multiplies, shifts and masks: (.+) at -O0; (.+) at -O2; (.+) at -Os\.)");
        static const std::regex lineDivide(
            R"(Line (\d+) divides at -O0; at -O2 it has no divide(?: \((.+)\)|, multiply, shift or mask)\.)");
        static const std::regex calls(R"(Calls: (.+) at -O0; (.+) at -O2; (.+) at -Os\.)");
        static const std::regex removed(R"(Lines with code at -O0 and none at -O2: (.+)\.)");
        if (std::regex_match(s, m, size)) {
            for (int l = 0; l < 3; ++l) {
                EXPECT_EQ(std::stoull(m[1 + 2 * l]), bytes(levels[l])) << s;
                EXPECT_EQ(std::stoul(m[2 + 2 * l]), functions(levels[l]).size()) << s;
            }
        } else if (std::regex_match(s, m, gone)) {
            EXPECT_TRUE(functions("-O0").contains(m[1]) && !functions("-O2").contains(m[1])) << s;
            checkInlined(m[1], m[3], s);
        } else if (std::regex_match(s, m, uncalled)) {
            EXPECT_TRUE(functions("-O2").contains(m[1])) << s;
            EXPECT_GT(callCount("-O0", m[1]), 0) << s;
            EXPECT_EQ(callCount("-O2", m[1]), 0) << s;
            checkInlined(m[1], m[3], s);
        } else if (std::regex_match(s, m, variable) && variableSymbol(m[1]) != "") {
            checkVariable(m[1], m[2] == "visible to other files", m[3], s);
        } else if (std::regex_match(s, m, inlinedOnly)) {
            checkInlined(m[1], m[2], s);
        } else if (std::regex_match(s, m, loops)) {
            for (int l = 0; l < 3; ++l) {
                std::multiset<std::string> said;
                for (const std::string &item : items(m[1 + l])) {
                    said.insert(item.substr(0, item.rfind(" (")));
                }
                EXPECT_EQ(said, loopFunctions(levels[l])) << s;
            }
        } else if (std::regex_match(s, m, work)) {
            for (int l = 0; l < 3; ++l) {
                EXPECT_EQ(workCounts(m[1 + l]), countWork(levels[l], 0)) << s;
            }
        } else if (std::regex_match(s, m, lineDivide)) {
            const int line = std::stoi(m[1]);
            EXPECT_GT(countWork("-O0", line).at("divide"), 0) << s;
            EXPECT_EQ(workCounts(m[2].matched ? m[2].str() : "none"), countWork("-O2", line)) << s;
        } else if (std::regex_match(s, m, calls)) {
            for (int l = 0; l < 3; ++l) {
                std::string list = m[1 + l];
                int tail = 0;
                static const std::regex tails(
                    R"((.*) \((?:a tail call|(\d+) of them (?:a )?tail calls?)\))");
                std::smatch t;
                if (std::regex_match(list, t, tails)) {
                    tail = t[2].matched ? std::stoi(t[2]) : 1;
                    list = t[1];
                }
                std::multiset<std::string> said;
                for (const std::string &item : items(list)) {
                    const std::size_t times = item.rfind(" x");
                    const bool counted =
                        times != std::string::npos &&
                        item.find_first_not_of("0123456789", times + 2) == std::string::npos;
                    const int n = counted ? std::stoi(item.substr(times + 2)) : 1;
                    for (int i = 0; i < n; ++i) {
                        said.insert(counted ? item.substr(0, times) : item);
                    }
                }
                EXPECT_EQ(said, callees(levels[l])) << s;
                EXPECT_EQ(tail, flowCount(levels[l], "tailcall")) << s;
            }
        } else if (std::regex_match(s, m, removed)) {
            std::set<int> said;
            for (const std::string &item : items(m[1])) {
                said.insert(std::stoi(item));
            }
            EXPECT_EQ(said, removedLines()) << s;
        } else if (s == "Every line with code at -O0 has code at -O2.") {
            EXPECT_TRUE(removedLines().empty()) << s;
        } else if (s != "Instructions are counted where they stand in the code; a loop may run "
                        "one many times.") {
            ADD_FAILURE() << "a sentence no test can check: " << s;
        }
    }

  private:
    static constexpr const char *levels[] = {"-O0", "-O2", "-Os"};
    const Facts &facts_;
    std::string target_;

    template <typename F> void each(const std::string &level, F f) const
    {
        for (const Insn &i : facts_.insns) {
            if (i.target == target_ && i.level == level) {
                f(i);
            }
        }
    }

    // The names of a level's functions.
    std::set<std::string> functions(const std::string &level) const
    {
        std::set<std::string> names;
        const std::string prefix = target_ + " " + level + " ";
        for (const auto &[key, name] : facts_.functionNames) {
            if (key.starts_with(prefix)) {
                names.insert(name);
            }
        }
        return names;
    }

    std::string nameOf(const std::string &level, const std::string &symbol) const
    {
        auto it = facts_.functionNames.find(target_ + " " + level + " " + symbol);
        return it != facts_.functionNames.end() ? it->second : demangled(symbol);
    }

    std::string variableSymbol(const std::string &name) const
    {
        for (const auto &[key, shown] : facts_.variableNames) {
            if (shown == name && key.starts_with(target_ + " -O0 ")) {
                return key.substr(key.rfind(' ') + 1);
            }
        }
        return "";
    }

    std::uint64_t bytes(const std::string &level) const
    {
        std::uint64_t total = 0;
        for (const auto &[key, size] : facts_.functionSizes) {
            total += key.starts_with(target_ + " " + level + " ") ? size : 0;
        }
        return total;
    }

    int callCount(const std::string &level, const std::string &name) const
    {
        int n = 0;
        each(level, [&](const Insn &i) {
            n += (i.flow == "call" || i.flow == "tailcall") && nameOf(level, i.destination) == name
                     ? 1
                     : 0;
        });
        return n;
    }

    int flowCount(const std::string &level, const std::string &flow) const
    {
        int n = 0;
        each(level, [&](const Insn &i) { n += i.flow == flow ? 1 : 0; });
        return n;
    }

    std::multiset<std::string> callees(const std::string &level) const
    {
        std::multiset<std::string> all;
        each(level, [&](const Insn &i) {
            if (i.flow == "icall") {
                all.insert("a pointer");
            } else if ((i.flow == "call" || i.flow == "tailcall") &&
                       !i.destination.starts_with("__x86.get_pc_thunk.")) {
                all.insert(i.destination == "?" ? "?" : nameOf(level, i.destination));
            }
        });
        return all;
    }

    std::multiset<std::string> loopFunctions(const std::string &level) const
    {
        std::multiset<std::string> names;
        const std::string prefix = target_ + " " + level + " ";
        for (const std::string &key : facts_.loops) {
            if (key.starts_with(prefix)) {
                names.insert(nameOf(level, key.substr(prefix.size())));
            }
        }
        return names;
    }

    std::map<std::string, int> countWork(const std::string &level, int line) const
    {
        std::map<std::string, int> counts = {
            {"divide", 0}, {"multiply", 0}, {"shift", 0}, {"mask", 0}};
        each(level, [&](const Insn &i) {
            if ((line == 0 || i.line == line) && counts.contains(i.work)) {
                ++counts[i.work];
            }
        });
        return counts;
    }

    static std::map<std::string, int> workCounts(const std::string &text)
    {
        std::map<std::string, int> counts = {
            {"divide", 0}, {"multiply", 0}, {"shift", 0}, {"mask", 0}};
        for (const std::string &item : items(text)) {
            const std::size_t blank = item.find(' ');
            std::string kind = item.substr(blank + 1);
            if (kind == "multiplies") {
                kind = "multiply";
            } else if (kind.back() == 's') {
                kind.pop_back();
            }
            EXPECT_TRUE(counts.contains(kind)) << text;
            counts[kind] = std::stoi(item.substr(0, blank));
        }
        return counts;
    }

    std::set<int> removedLines() const
    {
        std::set<int> before, after, gone;
        each("-O0", [&](const Insn &i) { before.insert(i.line); });
        each("-O2", [&](const Insn &i) { after.insert(i.line); });
        for (int line : before) {
            if (line != 0 && !after.contains(line)) {
                gone.insert(line);
            }
        }
        return gone;
    }

    void checkInlined(const std::string &callee, const std::string &callers,
                      const std::string &s) const
    {
        for (const std::string &caller : items(callers.empty() ? "none" : callers)) {
            bool reported = false;
            for (const std::string &remark : facts_.remarks) {
                reported =
                    reported || (remark.starts_with(target_ + " -O2 optimized Inlining") &&
                                 remark.find(withoutParameters(callee)) != std::string::npos &&
                                 remark.find(" into ") != std::string::npos &&
                                 remark.find(withoutParameters(caller), remark.find(" into ")) !=
                                     std::string::npos);
            }
            EXPECT_TRUE(reported) << s;
        }
    }

    static std::string withoutParameters(const std::string &name)
    {
        const std::size_t paren = name.find('(');
        return paren == std::string::npos ? name : name.substr(0, paren);
    }

    // "2 instructions read it and 1 writes it", "no instruction names it", ...
    std::string use(const std::string &level, const std::string &symbol) const
    {
        int reads = 0, writes = 0, addresses = 0;
        each(level, [&](const Insn &i) {
            for (const std::string &v : i.variables) {
                const std::size_t colon = v.rfind(':');
                if (v.substr(0, colon) == symbol) {
                    const std::string how = v.substr(colon + 1);
                    reads += how.find('r') != std::string::npos ? 1 : 0;
                    writes += how.find('w') != std::string::npos ? 1 : 0;
                    addresses += how == "a" ? 1 : 0;
                }
            }
        });
        auto count = [](int n, bool first, const char *one, const char *many) {
            return (first ? std::to_string(n) + (n == 1 ? " instruction" : " instructions")
                          : std::to_string(n)) +
                   (n == 1 ? one : many);
        };
        std::vector<std::string> parts;
        if (reads > 0) {
            parts.push_back(count(reads, true, " reads it", " read it"));
        }
        if (writes > 0) {
            parts.push_back(count(writes, parts.empty(), " writes it", " write it"));
        }
        if (addresses > 0) {
            parts.push_back(
                count(addresses, parts.empty(), " takes its address", " take its address"));
        }
        if (parts.empty()) {
            return "no instruction names it";
        }
        std::string text;
        for (std::size_t p = 0; p < parts.size(); ++p) {
            text += (p == 0 ? "" : p + 1 == parts.size() ? " and " : ", ") + parts[p];
        }
        return text;
    }

    void checkVariable(const std::string &name, bool global, const std::string &rest,
                       const std::string &s) const
    {
        const std::string symbol = variableSymbol(name);
        const std::string key = target_ + " -O0 " + symbol;
        ASSERT_TRUE(facts_.variables.contains(key)) << s;
        EXPECT_EQ(facts_.variables.at(key), global) << s;
        const bool kept = facts_.variables.contains(target_ + " -O2 " + symbol);
        const std::string before = use("-O0", symbol), after = use("-O2", symbol);
        // The note on copies the file never calls is checked by the oracle's "called" facts.
        static const std::regex note(R"( \(\d+ of them in .*?, which this file never calls\))");
        const std::string plain = std::regex_replace(rest, note, "");
        if (!kept) {
            EXPECT_EQ(plain, before + " at -O0; gone at -O2 (no longer defined)") << s;
        } else if (before == after && plain.ends_with(" at -O0 and at -O2")) {
            EXPECT_EQ(plain, before + " at -O0 and at -O2") << s;
        } else {
            EXPECT_EQ(plain, before + " at -O0; " + after + " at -O2") << s;
        }
    }
};

} // namespace

Facts parse(const std::string &text)
{
    Facts facts;
    for (const std::string &line : lines(text)) {
        std::vector<std::string> f;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, '\t');) {
            f.push_back(field);
        }
        const std::string key = f.size() > 3 ? f[1] + " " + f[2] + " " + f[3] : "";
        if (f[0] == "insn" && f.size() == 12) {
            Insn i;
            i.target = f[1];
            i.level = f[2];
            i.function = f[3];
            i.line = std::stoi(f[5]);
            i.work = f[6];
            i.flow = f[7];
            i.destination = f[8];
            i.variables = f[9] == "-" ? std::vector<std::string>{} : split(f[9], ',');
            i.locals = f[10] == "-" ? std::vector<std::string>{} : split(f[10], ',');
            i.text = f[11];
            facts.insns.push_back(i);
        } else if (f[0] == "function" && f.size() == 8) {
            facts.functionSizes[key] = std::stoull(f[5]);
            facts.functionNames[key] = f[4];
            if (f[7] == "uncalled") {
                facts.uncalled.insert(key);
            }
        } else if (f[0] == "variable" && f.size() == 7) {
            facts.variables[key] = f[6] == "global";
            facts.variableNames[key] = f[4];
        } else if (f[0] == "loop" && f.size() == 7) {
            facts.loops.insert(key);
        } else if (f[0] == "remark" && f.size() == 8) {
            facts.remarks.push_back(f[1] + " " + f[2] + " " + f[3] + " " + f[7]);
        } else if (f[0] == "summary" && f.size() == 3) {
            facts.said.emplace_back(f[1], f[2]);
        } else {
            ADD_FAILURE() << "unreadable fact: " << line;
        }
    }
    return facts;
}

void expectEverySentenceHolds(const Facts &facts)
{
    ASSERT_FALSE(facts.said.empty());
    for (const auto &[target, sentence] : facts.said) {
        Checker(facts, target).check(sentence);
    }
}

} // namespace harness
