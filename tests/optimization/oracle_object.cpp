// The oracle's reading of an object: objdump's section headers, symbols, relocations (with the
// addends REL keeps in the bytes), section contents and disassembly; and where a relocation points.
#include "oracle.h"
#include "run_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

namespace harness::oracle
{

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

std::string trim(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos
               ? ""
               : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool matches(const std::string &text, const char *pattern)
{
    static std::map<const char *, std::regex> compiled; // each pattern is a literal
    auto found = compiled.find(pattern);
    if (found == compiled.end()) {
        found = compiled.emplace(pattern, std::regex(pattern)).first;
    }
    return std::regex_match(text, found->second);
}

// Operands split at the commas outside brackets and braces.
static std::vector<std::string> operandsOf(const std::string &text)
{
    std::vector<std::string> operands(1);
    int depth = 0;
    for (char c : text) {
        depth += (c == '[' || c == '{') - (c == ']' || c == '}');
        if (c == ',' && depth == 0) {
            operands.emplace_back();
        } else {
            operands.back() += c;
        }
    }
    std::for_each(operands.begin(), operands.end(), [](std::string &o) { o = trim(o); });
    return operands.back().empty() ? std::vector<std::string>{} : operands;
}

// "0x1c", "-0x4", "+0x10", "#-12", "28": hexadecimal after 0x, decimal otherwise.
std::int64_t number(std::string text)
{
    const bool negative = text.find('-') != std::string::npos;
    text.erase(0, text.find_first_not_of("#+-"));
    return (negative ? -1 : 1) * std::int64_t(text.starts_with("0x")
                                                  ? std::stoull(text.substr(2), nullptr, 16)
                                                  : std::stoull(text));
}

static std::string run(const std::string &program, const std::vector<std::string> &args)
{
    const RunResult result = harness::run(program, args);
    EXPECT_TRUE(result.exited(0)) << program << ": " << result.err;
    return result.out;
}

Object readObject(const std::string &path, Arch arch)
{
    const std::string objdump = arch == Arch::x86_64 ? "objdump"
                                : arch == Arch::arm  ? "arm-linux-gnueabi-objdump"
                                                     : "i686-linux-gnu-objdump";
    Object object{arch, {}, {}, {}, {}};
    std::smatch m;
    for (const std::string &line : lines(run(objdump, {"-h", "-w", path}))) {
        static const std::regex header(R"(\s*\d+ (\S+) .*)");
        if (std::regex_match(line, m, header)) {
            object.sections[m[1]].alloc = line.find("ALLOC") != std::string::npos;
        }
    }
    static const std::regex symbol(R"(([0-9a-f]+) (.{7}) (\S+)\t([0-9a-f]+) (?:\.hidden )?(.*))");
    for (const std::string &line : lines(run(objdump, {"-t", "-w", path}))) {
        if (std::regex_match(line, m, symbol)) {
            const Symbol s{m[5],
                           m[3],
                           std::stoll(m[1], nullptr, 16),
                           std::stoll(m[4], nullptr, 16),
                           m[2].str()[6],
                           m[2].str()[0] != 'l'};
            if (s.type == 'F' && s.size > 0) {
                object.functions.push_back(s);
            } else if (s.type == 'O') {
                object.variables.push_back(s);
            }
            object.symbols.emplace(s.name, s);
        }
    }
    // Relocations of what the program loads: not of debugging information, nor of the
    // unwinding tables, which name every function.
    Section *section = nullptr;
    std::vector<std::string> withRelocs = {"-s"};
    static const std::regex reloc(R"(([0-9a-f]+)\s+(R_\S+)\s+(.+?)([+-]0x[0-9a-f]+)?)");
    for (const std::string &line : lines(run(objdump, {"-r", "-w", path}))) {
        static const std::regex records(R"(RELOCATION RECORDS FOR \[(.*)\]:)");
        if (std::regex_match(line, m, records)) {
            const bool wanted =
                object.sections[m[1]].alloc && !matches(m[1], R"(\.ARM\.ex.*|\.eh_frame)");
            section = wanted ? &object.sections[m[1]] : nullptr;
            if (wanted) {
                withRelocs.insert(withRelocs.end(), {"-j", m[1]});
            }
        } else if (section && std::regex_match(line, m, reloc)) {
            section->relocs[std::stoll(m[1], nullptr, 16)] = {m[2], m[3],
                                                              m[4].matched ? number(m[4]) : 0};
        }
    }
    withRelocs.push_back(path);
    const bool rel = arch != Arch::x86_64 && withRelocs.size() > 2;
    static const std::regex row(R"( ([0-9a-f]+) (.{35}) .*)");
    for (const std::string &line : lines(rel ? run(objdump, withRelocs) : "")) {
        if (line.starts_with("Contents of section ")) {
            section = &object.sections[line.substr(20, line.size() - 21)];
        } else if (section && std::regex_match(line, m, row)) {
            std::int64_t at = std::stoll(m[1], nullptr, 16);
            std::istringstream words(m[2]);
            for (std::string word; words >> word;) {
                for (std::size_t i = 0; i < word.size(); i += 2) {
                    section->bytes[at++] = std::stoul(word.substr(i, 2), nullptr, 16);
                }
            }
        }
    }
    std::vector<std::string> args = {"-drz", "-w", path};
    if (arch != Arch::arm) {
        args.insert(args.end(), {"-M", "intel"});
    }
    static const std::set<std::string> prefixes = {
        "rep",    "repz",   "repe", "repnz", "repne", "lock", "notrack", "bnd",
        "data16", "addr32", "cs",   "ds",    "es",    "ss",   "fs",      "gs"};
    for (const std::string &line : lines(run(objdump, args))) {
        static const std::regex disassembly(R"(Disassembly of section (\S+):)");
        static const std::regex insn(R"(\s*([0-9a-f]+):\t([0-9a-f ]+)\t(.*))");
        if (std::regex_match(line, m, disassembly)) {
            section = &object.sections[m[1]];
        } else if (std::regex_match(line, m, insn)) {
            Insn i{std::stoll(m[1], nullptr, 16), {}, "", {}, trim(line), false};
            std::string text; // without the relocations (from objdump -r) and comments
            for (const std::string &field : split(m[3], '\t')) {
                if (matches(field, R"(\s*[0-9a-f]+: R_.*)")) {
                    break;
                }
                text += trim(field).starts_with("@") ? "" : field + " ";
            }
            std::istringstream words(arch == Arch::arm ? text : text.substr(0, text.find(" #")));
            while (words >> i.mnemonic && prefixes.contains(i.mnemonic) && words.peek() != EOF) {
            }
            std::getline(words, text);
            i.operands = operandsOf(text);
            i.data = i.mnemonic.starts_with(".");
            std::istringstream hex(m[2]);
            for (std::string word; hex >> word;) { // x86: bytes; arm: one little-endian word
                for (std::size_t b = word.size(); b >= 2; b -= 2) {
                    i.bytes.push_back(std::stoul(
                        word.substr(arch == Arch::arm ? b - 2 : word.size() - b, 2), nullptr, 16));
                }
            }
            for (std::int64_t b = 0; arch != Arch::x86_64 && b < std::int64_t(i.bytes.size());
                 ++b) {
                section->bytes[i.address + b] = i.bytes[b];
            }
            section->insns.push_back(i);
        }
    }
    for (auto &[name, s] : object.sections) { // REL: the addend is in the bytes
        for (auto &[offset, r] : s.relocs) {
            std::uint32_t value = 0;
            for (int b = 3; b >= 0; --b) {
                value = value << 8 | s.bytes[offset + b];
            }
            r.addend = arch == Arch::x86_64 ? r.addend : std::int32_t(value);
        }
    }
    return object;
}

const Symbol *functionAt(const Object &object, const Place &place)
{
    for (const Symbol &f : object.functions) {
        if (f.section == place.section && place.offset >= f.value &&
            place.offset < f.value + f.size) {
            return &f;
        }
    }
    return nullptr;
}

std::string variableAt(const Object &object, const Place &place)
{
    for (const Symbol &v : object.variables) {
        if (v.section == place.section && place.offset >= v.value &&
            (place.offset < v.value + v.size || place.offset == v.value)) {
            return place.variable.empty() ? v.name : place.variable;
        }
    }
    return place.variable;
}

bool pcRelative(const std::string &type)
{
    return matches(type, ".*(PC32|PLT32|GOTPCREL.*)|R_ARM_REL32");
}

bool throughGot(const std::string &type)
{
    return matches(type, ".*GOTPCREL.*|R_386_GOT32X?|R_ARM_GOT(_PREL|32|_BREL)");
}

// Where a relocation points: symbol + addend, plus for a PC-relative field in an instruction
// the distance from the field to the instruction's end (the PC the processor adds to it).
Place resolve(const Object &object, const Reloc &r, std::int64_t fieldToEnd)
{
    const auto s = object.symbols.find(r.symbol);
    if (s == object.symbols.end() || s->second.section == "*UND*") {
        return {};
    }
    Place place{s->second.section, s->second.type == 'O' ? r.symbol : "",
                s->second.value + r.addend + (pcRelative(r.type) ? fieldToEnd : 0)};
    if (matches(r.type, "R_ARM_(CALL|JUMP24|PC24)")) { // the addend is the branch's 24-bit field
        place.offset = s->second.value + (std::int32_t(std::uint32_t(r.addend) << 8) >> 8) * 4 + 8;
    }
    return place;
}

} // namespace harness::oracle
