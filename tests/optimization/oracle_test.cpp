// The optimisation explorer's facts set against binutils' own reading of the objects it
// compiled: objdump's symbols, relocations, section bytes and disassembly, and c++filt's
// names. For each program of the corpus on x86-64, arm and i386, and for each demo on its
// targets, every function, variable, instruction and loop the explorer reports at -O0, -O2
// and -Os must be what this reading of the same object finds.
#include "targets.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace harness
{
namespace
{

namespace fs = std::filesystem;

enum class Arch { x86_64, i386, arm };

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
std::vector<std::string> operandsOf(const std::string &text)
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

// ------------------------------------------------------------------ objdump's reading

struct Symbol {
    std::string name, section; // section *UND* for a symbol of another object
    std::int64_t value = 0, size = 0;
    char type = ' '; // F function, O data object, d section
    bool global = false;
};

struct Reloc {
    std::string type, symbol;
    std::int64_t addend = 0; // on i386 and arm read from the bytes it applies to
};

struct Insn {
    std::int64_t address = 0;
    std::vector<std::uint8_t> bytes;
    std::string mnemonic; // x86 prefixes dropped
    std::vector<std::string> operands;
    std::string line;  // objdump's, for messages
    bool data = false; // a word of an ARM literal pool
    std::int64_t end() const
    {
        return address + std::int64_t(bytes.size());
    }
};

struct Section {
    bool alloc = false;
    std::vector<Insn> insns;
    std::map<std::int64_t, Reloc> relocs;
    std::map<std::int64_t, std::uint8_t> bytes; // where relocations need their addends
};

struct Object {
    Arch arch;
    std::map<std::string, Symbol> symbols;
    std::vector<Symbol> functions, variables; // FUNC symbols with a size, OBJECT symbols
    std::map<std::string, Section> sections;
};

std::string run(const std::string &program, const std::vector<std::string> &args)
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

// ------------------------------------------------------------------ places and names

// A place in the object: an offset in a section, and the data object a relocation names.
struct Place {
    std::string section, variable;
    std::int64_t offset = 0;
};

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

// ------------------------------------------------------------------ decoding instructions

const std::set<std::string> armConditions = {"eq", "ne", "cs", "hs", "cc", "lo", "mi", "pl", "vs",
                                             "vc", "hi", "ls", "ge", "lt", "gt", "le", "al"};

// An ARM mnemonic taken apart: addls = add + ls, lsls = lsl (+ s), ldrbeq = ldr + eq.
struct ArmOp {
    std::string base, cond;
};

ArmOp armOp(const std::string &mnemonic)
{
    static const std::vector<std::string> bases = {
        "umull", "umlal", "smull", "smlal", "sdiv", "udiv", "push", "and", "eor", "sub",
        "rsb",   "add",   "adc",   "sbc",   "rsc",  "tst",  "teq",  "cmp", "cmn", "orr",
        "mov",   "bic",   "mvn",   "lsl",   "lsr",  "asr",  "ror",  "rrx", "mul", "mla",
        "mls",   "clz",   "pop",   "blx",   "nop",  "bl",   "bx",   "b"};
    const std::string name = mnemonic.substr(0, mnemonic.find('.'));
    for (const char *family : {"ldr", "str", "ldm", "stm"}) {
        if (name.starts_with(family)) {
            const std::string tail = name.size() >= 5 ? name.substr(name.size() - 2) : "";
            return {family, armConditions.contains(tail) ? tail : ""};
        }
    }
    for (const std::string &base : bases) {
        std::string rest = name.starts_with(base) ? name.substr(base.size()) : "-";
        const bool flags = base[0] != 'b' || base == "bic"; // s, before or after a condition
        if (flags && rest.starts_with("s")) {
            rest.erase(0, 1);
        } else if (flags && rest.size() == 3 && rest.ends_with("s")) {
            rest.pop_back();
        }
        if (rest.empty() || armConditions.contains(rest)) {
            return {base, rest == "al" ? "" : rest};
        }
    }
    return {name, ""};
}

std::string armRegister(std::string name)
{
    static const std::map<std::string, std::string> aliases = {
        {"sb", "r9"},  {"sl", "r10"}, {"fp", "r11"}, {"ip", "r12"},
        {"sp", "r13"}, {"lr", "r14"}, {"pc", "r15"}};
    name = trim(name.substr(0, name.find('!')));
    return aliases.contains(name) ? aliases.at(name) : name;
}

std::vector<std::string> armList(const std::string &operand) // {r4, r5-r7, pc}
{
    std::vector<std::string> registers;
    for (const std::string &item : split(operand.substr(1, operand.size() - 2), ',')) {
        const std::vector<std::string> range = split(armRegister(item), '-');
        for (int r = std::stoi(armRegister(range[0]).substr(1));
             range.size() == 2 && r <= std::stoi(trim(range[1]).substr(1)); ++r) {
            registers.push_back("r" + std::to_string(r));
        }
        if (range.size() == 1) {
            registers.push_back(range[0]);
        }
    }
    return registers;
}

// An x86 general register by its 64-bit name (rax for eax, ax, al, ah), or "".
std::string x86Register(const std::string &name)
{
    static const std::regex pattern(R"([re]?([abcd])[xlh]|[re]?(si|di|bp|sp)l?|(r\d+)[dwb]?)");
    std::smatch m;
    if (!std::regex_match(name, m, pattern)) {
        return "";
    }
    return m[1].matched ? "r" + m[1].str() + "x" : m[2].matched ? "r" + m[2].str() : m[3].str();
}

// The memory operand of an instruction: where it is, its base register and displacement.
struct Memory {
    int position = -1;
    std::string base, index; // ARM: index only for [pc, rN]
    int scale = 1;
    std::int64_t displacement = 0;
};

Memory memoryOperand(Arch arch, const std::vector<std::string> &operands)
{
    Memory memory;
    for (int p = 0; p < int(operands.size()) && memory.position < 0; ++p) {
        const std::string &o = operands[p];
        const std::size_t open = o.find('[');
        if (open == std::string::npos) {
            memory.position = arch != Arch::arm && matches(o, ".*[c-gs]s:0x.*") ? p : -1;
            continue;
        }
        memory.position = p;
        const std::string inside = o.substr(open + 1, o.find(']') - open - 1);
        if (arch == Arch::arm) {
            const std::vector<std::string> parts = split(inside, ',');
            memory.base = armRegister(parts[0]);
            if (parts.size() > 1 && trim(parts[1]).starts_with("#")) {
                memory.displacement = number(trim(parts[1]));
            } else if (parts.size() > 1 && memory.base == "r15") {
                memory.index = armRegister(parts[1]);
            }
            continue;
        }
        for (const std::string &term :
             split(std::regex_replace(inside, std::regex("-"), "+-"), '+')) {
            if (term == "rip" || term == "eip") {
                memory.base = "rip";
            } else if (const std::size_t star = term.find('*'); star != std::string::npos) {
                memory.index = x86Register(term.substr(0, star));
                memory.scale = int(number(term.substr(star + 1)));
            } else if (!x86Register(term).empty() && memory.base.empty()) {
                memory.base = x86Register(term);
            } else if (matches(term, "-?0x[0-9a-f]+")) {
                memory.displacement += number(term);
            }
        }
    }
    return memory;
}

// What an instruction does: divide, multiply, shift, mask or other.
std::string workOf(Arch arch, const Insn &i)
{
    const std::string first = i.operands.empty() ? "" : i.operands[0];
    if (arch == Arch::arm) {
        const std::string m = armOp(i.mnemonic).base;
        const bool dataWithShift =
            matches(m, "and|eor|sub|rsb|add|adc|sbc|rsc|tst|teq|cmp|cmn|orr|mov|bic|mvn") &&
            std::any_of(i.operands.begin(), i.operands.end(), [](const std::string &o) {
                return matches(o, "(lsl|lsr|asr|ror|rrx)( .*)?");
            });
        return matches(m, "sdiv|udiv|vdiv")                                     ? "divide"
               : matches(m, "mul|mla|mls|[su]mull|[su]mlal|vmul|vmla|vmls")     ? "multiply"
               : dataWithShift || matches(m, "lsl|lsr|asr|ror|rrx|vshl|vshr")   ? "shift"
               : matches(m, "and|bic|vand|vbic") && armRegister(first) != "r13" ? "mask"
                                                                                : "other";
    }
    const std::string &m = i.mnemonic;
    return matches(m, "i?div|v?div[sp][sd]|fi?divr?p?") ? "divide"
           : matches(m, "i?mul|mulx|v?mul[sp][sd]|v?pmul.*|v?pmadd.*|vfn?m(add|sub).*|fi?mulp?")
               ? "multiply"
           : matches(m, "s[ah][lr]|ro[lr]|rc[lr]|sh[lr]d|s[ah][lr]x|rorx|v?ps(ll|rl|ra).*")
               ? "shift"
           : matches(m, "andn?|v?pandn?[dq]?|v?andn?p[sd]") && x86Register(first) != "rsp"
               ? "mask"
               : "other";
}

// ------------------------------------------------------------------ flow

struct Step {
    std::string flow = "-", dest = "-", work = "other";
    bool conditional = false;
    std::optional<std::int64_t> to; // a jump's destination, an offset in the function
};

Step flowOf(const Object &object, const std::string &section, const Symbol &function, const Insn &i)
{
    Step step;
    step.work = workOf(object.arch, i);
    std::string kind; // call or branch, when direct
    const std::string first = i.operands.empty() ? "" : i.operands[0];
    const bool direct = matches(first, "[0-9a-f]+ <.*>");
    if (object.arch == Arch::arm) {
        const ArmOp op = armOp(i.mnemonic);
        const std::string reg = armRegister(first);
        step.conditional = !op.cond.empty();
        if (op.base == "b" || op.base == "bl" || (op.base == "blx" && direct)) {
            kind = op.base == "b" ? "branch" : "call";
        } else if (op.base == "bx" || op.base == "blx") {
            step.flow = op.base == "blx" ? "icall" : reg == "r14" ? "ret" : "ijump";
        } else if ((op.base == "pop" || op.base == "ldm") &&
                   std::ranges::count(armList(i.operands.back()), "r15") > 0) {
            step.flow = op.base == "pop" || reg == "r13" ? "ret" : "ijump";
        } else if (op.base == "ldr" && reg == "r15") {
            step.flow = i.operands.size() == 3 && i.operands[1] == "[sp]" ? "ret" : "ijump";
        } else if (reg == "r15" && !matches(op.base, "str|stm|push|cmp|cmn|tst|teq")) {
            step.flow = op.base == "mov" && armRegister(i.operands[1]) == "r14" ? "ret" : "ijump";
        }
    } else {
        if (matches(i.mnemonic, "ret[nq]?")) {
            step.flow = "ret";
        } else if (i.mnemonic == "call" || i.mnemonic.starts_with("j") ||
                   i.mnemonic.starts_with("loop")) {
            step.conditional = i.mnemonic != "call" && i.mnemonic != "jmp";
            if (direct) {
                kind = i.mnemonic == "call" ? "call" : "branch";
            } else {
                step.flow = i.mnemonic == "call" ? "icall" : "ijump";
            }
        }
    }
    if (kind.empty()) {
        return step;
    }
    step.flow = kind == "call" ? "call" : "tailcall";
    const auto &relocs = object.sections.at(section).relocs;
    const auto r = relocs.lower_bound(i.address);
    if (r != relocs.end() && r->first < i.end()) { // named by the relocation
        const Place place = resolve(object, r->second, i.end() - r->first);
        const auto s = object.symbols.find(r->second.symbol);
        const Symbol *callee = functionAt(object, place);
        step.dest =
            s == object.symbols.end() || s->second.section == "*UND*" || s->second.type == 'F'
                ? r->second.symbol
            : callee ? callee->name
                     : "?";
    } else if (const Symbol *callee =
                   functionAt(object, {section, "", std::stoll(first, nullptr, 16)});
               kind == "branch" && callee == &function) {
        step.flow = step.conditional ? "cjump" : "jump";
        step.to = std::stoll(first, nullptr, 16) - function.value;
        step.dest = std::to_string(*step.to);
    } else {
        step.dest = callee ? callee->name : "?";
    }
    if (matches(step.dest, "__aeabi_.*div.*|__u?(div|mod)[sd]i3")) {
        step.work = "divide";
    }
    return step;
}

// ------------------------------------------------------------------ control flow

// The control-flow graph of a function's instructions: each one's successors (the next
// one, a jump's destination; an indirect jump's are the instructions of the function that
// addresses outside its instructions point at, or on ARM the branches its add indexes).
struct Graph {
    std::vector<std::vector<int>> successors;
};

Graph graphOf(const Object &object, const Symbol &f, const std::vector<const Insn *> &insns,
              const std::vector<Step> &steps, const std::vector<Place> &pointers)
{
    std::map<std::int64_t, int> index; // offset in the function -> instruction
    for (std::size_t k = 0; k < insns.size(); ++k) {
        index[insns[k]->address - f.value] = int(k);
    }
    Graph graph{std::vector<std::vector<int>>(insns.size())};
    for (std::size_t k = 0; k < insns.size(); ++k) {
        const Step &step = steps[k];
        std::vector<std::int64_t> to;
        if (step.to) {
            to.push_back(*step.to);
        }
        for (const Place &place : pointers) {
            if (step.flow == "ijump" && functionAt(object, place) == &f) {
                to.push_back(place.offset - f.value);
            }
        }
        // ARM "add pc, pc, rN, lsl #2" jumps into the table of branches that follows it.
        for (std::int64_t at = insns[k]->address - f.value + 8;
             step.flow == "ijump" && object.arch == Arch::arm &&
             armOp(insns[k]->mnemonic).base == "add" && index.contains(at) &&
             insns[index[at]]->mnemonic == "b";
             at += 4) {
            to.push_back(at);
        }
        if ((step.conditional || !matches(step.flow, "jump|ijump|ret|tailcall")) &&
            k + 1 < insns.size()) {
            graph.successors[k].push_back(int(k + 1));
        }
        for (std::int64_t offset : to) {
            if (index.contains(offset)) {
                graph.successors[k].push_back(index[offset]);
            }
        }
    }
    return graph;
}

// ------------------------------------------------------------------ loops

// The natural loops of a control-flow graph entered at node 0: for each back edge n -> h,
// where h dominates n (every path from the entry to n passes through h), h and every node
// that reaches n without passing through h. Loops with the same head are one.
std::map<int, std::set<int>> naturalLoops(const std::vector<std::vector<int>> &successors)
{
    const int count = int(successors.size());
    const auto reachedAvoiding = [&](int avoided) {
        std::vector<bool> seen(count, false);
        std::vector<int> work;
        if (count > 0 && avoided != 0) {
            seen[0] = true;
            work.push_back(0);
        }
        while (!work.empty()) {
            const int node = work.back();
            work.pop_back();
            for (int next : successors[node]) {
                if (next != avoided && !seen[next]) {
                    seen[next] = true;
                    work.push_back(next);
                }
            }
        }
        return seen;
    };
    const std::vector<bool> reachable = reachedAvoiding(-1);
    std::vector<std::vector<int>> predecessors(count);
    for (int node = 0; node < count; ++node) {
        for (int next : successors[node]) {
            predecessors[next].push_back(node);
        }
    }
    std::map<int, std::set<int>> loops;
    for (int head = 0; head < count; ++head) {
        const std::vector<bool> avoiding = reachedAvoiding(head);
        for (int tail : predecessors[head]) {
            if (!reachable[tail] || avoiding[tail]) {
                continue; // not a back edge: the head does not dominate the tail
            }
            std::set<int> &body = loops[head];
            body.insert(head);
            for (std::vector<int> work = {tail}; !work.empty();) {
                const int node = work.back();
                work.pop_back();
                if (reachable[node] && body.insert(node).second) {
                    work.insert(work.end(), predecessors[node].begin(), predecessors[node].end());
                }
            }
        }
    }
    return loops;
}

// ------------------------------------------------------------------ variables

// How an x86 instruction uses its memory operand at position: r, w, rw, or a (lea).
std::string x86Access(const std::string &m, int position, std::size_t count)
{
    if (m == "lea" || m == "xchg" || m == "xadd") {
        return m == "lea" ? "a" : "rw";
    }
    if (position > 0) {
        return "r"; // a source
    }
    if (count == 1) {
        return m.starts_with("set") || m == "pop" ||
                       matches(m, "f(n?st(p|cw|sw|env)?|istt?p?|bstp|n?save)")
                   ? "w"
               : matches(m, "inc|dec|neg|not") ? "rw"
                                               : "r";
    }
    return matches(m, "v?mov.*|stos.*|v?pextr.|v?extract.*") ? "w"
           : matches(m, "cmp|test|bt|v?u?comis[sd]|v?ptest") ? "r"
                                                             : "rw";
}

std::vector<std::string> x86Writes(const Insn &i)
{
    static const std::map<std::string, std::vector<std::string>> implicit = {
        {"cdq", {"rdx"}},   {"cqo", {"rdx"}},          {"cwd", {"rdx"}},
        {"cdqe", {"rax"}},  {"cwde", {"rax"}},         {"cbw", {"rax"}},
        {"leave", {"rbp"}}, {"rdtsc", {"rax", "rdx"}}, {"cpuid", {"rax", "rbx", "rcx", "rdx"}}};
    const std::string &m = i.mnemonic;
    if (matches(m, "i?mul|i?div") && i.operands.size() == 1) {
        return {"rax", "rdx"};
    }
    std::vector<std::string> written =
        implicit.contains(m) ? implicit.at(m) : std::vector<std::string>{};
    if (!matches(m, "cmp|test|bt|push|call|j.*|loop.*|ret.*|nop|v?u?comis[sd]|v?ptest") &&
        !i.operands.empty()) {
        written.push_back(x86Register(i.operands[0]));
    }
    if ((m == "xchg" || m == "xadd") && i.operands.size() == 2) {
        written.push_back(x86Register(i.operands[1]));
    }
    if (std::any_of(i.operands.begin(), i.operands.end(),
                    [](const std::string &o) { return o.find("s:[") != std::string::npos; })) {
        written.insert(written.end(), {"rdi", "rsi", "rcx"}); // a string instruction
    }
    return written;
}

std::vector<std::string> armWrites(const ArmOp &op, const std::vector<std::string> &operands)
{
    if (operands.empty() || matches(op.base, "cmp|cmn|tst|teq|b|bl|bx|blx|nop|push")) {
        return {};
    }
    std::vector<std::string> written;
    if (op.base == "pop" || op.base == "ldm") {
        written = armList(operands.back());
    }
    if (op.base == "pop" || op.base == "ldm" || op.base == "stm") {
        if (op.base != "pop" && operands[0].ends_with("!")) {
            written.push_back(armRegister(operands[0]));
        }
        return written;
    }
    const auto memory = std::find_if(operands.begin(), operands.end(),
                                     [](const std::string &o) { return o.starts_with("["); });
    if (memory == operands.end()) {
        written.push_back(armRegister(operands[0]));
        if (matches(op.base, "[su]m(ull|lal)")) {
            written.push_back(armRegister(operands[1]));
        }
        return written;
    }
    for (auto o = operands.begin(); op.base == "ldr" && o != memory; ++o) {
        written.push_back(armRegister(*o));
    }
    if (memory->ends_with("!") || memory + 1 != operands.end()) { // written back
        written.push_back(armRegister(memory->substr(1, memory->find_first_of(",]") - 1)));
    }
    return written;
}

// What a register holds: k an address; on arm also p an address less the PC, which
// "add rD, pc, rN" completes, or g a GOT entry's offset, which "ldr rD, [pc, rN]" loads through.
struct Held {
    Place place;
    char kind = 'k';
};

using Literals = std::map<std::pair<std::string, std::int64_t>, Held>;

// ARM literal words as what they give the register they are loaded into: an address
// (R_ARM_ABS32), a GOT entry (R_ARM_GOT_PREL), or an address relative to the PC of the
// "add rD, pc, rN" or "ldr rD, [pc, rN]" that follows the load: R_ARM_REL32, or a plain
// number when the assembler resolved an address in the same section itself.
Literals armLiterals(const Object &object)
{
    Literals literals;
    for (const auto &[name, section] : object.sections) {
        for (std::size_t k = 0; k < section.insns.size(); ++k) {
            const Insn &i = section.insns[k];
            const Memory memory = memoryOperand(Arch::arm, i.operands);
            const Symbol *f = functionAt(object, {name, "", i.address});
            if (i.data || !f || armOp(i.mnemonic).base != "ldr" || memory.base != "r15" ||
                !memory.index.empty()) {
                continue;
            }
            const std::int64_t at = i.address + 8 + memory.displacement;
            const auto r = section.relocs.find(at);
            Held held;
            if (r == section.relocs.end()) {
                std::uint32_t word = 0;
                for (int b = 3; b >= 0; --b) {
                    word = word << 8 | section.bytes.at(at + b);
                }
                held = {{name, "", std::int32_t(word)}, 'p'};
            } else {
                const bool got = r->second.type == "R_ARM_GOT_PREL";
                held.kind = r->second.type == "R_ARM_REL32" ? 'p' : got ? 'g' : 'k';
                held.place = resolve(
                    object, {r->second.type, r->second.symbol, got ? 0 : r->second.addend}, 0);
                held.place.offset -= held.kind == 'p' ? at : 0;
            }
            const std::string reg = armRegister(i.operands[0]);
            bool completed = false;
            for (std::size_t j = k + 1; held.kind == 'p' && j < section.insns.size() &&
                                        section.insns[j].address < f->value + f->size;
                 ++j) {
                const Insn &next = section.insns[j];
                const Memory use = memoryOperand(Arch::arm, next.operands);
                if ((armOp(next.mnemonic).base == "add" && next.operands.size() == 3 &&
                     armRegister(next.operands[1]) == "r15" &&
                     armRegister(next.operands[2]) == reg) ||
                    use.index == reg) {
                    held.place.offset += next.address + 8;
                    completed = true;
                    break;
                }
                if (std::ranges::count(armWrites(armOp(next.mnemonic), next.operands), reg) > 0) {
                    break;
                }
            }
            if (r != section.relocs.end() || completed) {
                literals[{name, at}] = held;
            }
        }
    }
    return literals;
}

// The variables one instruction names, with how: r, w, or a for its address only.
struct Named {
    const Object &object;
    std::map<std::string, std::set<char>> modes;

    void add(const Place &place, const std::string &how)
    {
        if (const std::string variable = variableAt(object, place); !variable.empty()) {
            modes[variable].insert(how.begin(), how.end());
        }
    }
    std::string text() const // "SYM:r,SYM:a", or "-"
    {
        std::string text;
        for (const auto &[variable, how] : modes) {
            const std::string rw =
                std::string(how.contains('r') ? "r" : "") + (how.contains('w') ? "w" : "");
            text += (text.empty() ? "" : ",") + variable + ":" + (rw.empty() ? "a" : rw);
        }
        return text.empty() ? "-" : text;
    }
};

using Registers = std::map<std::string, Held>;

const Held *holding(const Registers &registers, const std::string &reg, char kind)
{
    const auto h = registers.find(reg);
    return h != registers.end() && h->second.kind == kind ? &h->second : nullptr;
}

Place plus(Place place, std::int64_t displacement) // an offset from an address a register holds
{
    place.variable.clear();
    place.offset += displacement;
    return place;
}

// What an ARM instruction names, and gives back what its first register holds afterwards.
std::optional<Held> armNames(const Symbol &function, const Insn &i, const Literals &literals,
                             const Registers &registers, Named &named)
{
    const ArmOp op = armOp(i.mnemonic);
    const Memory memory = memoryOperand(Arch::arm, i.operands);
    const std::string how = op.base == "ldr" || op.base == "ldm" ? "r" : "w";
    if (op.base == "ldr" && memory.base == "r15" && memory.index.empty()) { // a literal word
        const auto literal = literals.find({function.section, i.address + 8 + memory.displacement});
        if (literal != literals.end()) {
            if (literal->second.kind != 'p') { // an address less the PC is not one yet
                named.add(literal->second.place, "a");
            }
            return literal->second;
        }
    } else if (op.base == "add" && i.operands.size() == 3 && armRegister(i.operands[1]) == "r15") {
        if (const Held *h = holding(registers, armRegister(i.operands[2]), 'p')) {
            named.add(h->place, "a");
            return Held{h->place, 'k'};
        }
    } else if (const Held *h = holding(registers, memory.index, 'p')) {
        named.add(h->place, how); // ldr rD, [pc, rN]: the variable itself
    } else if (const Held *g = holding(registers, memory.index, 'g'); g && how == "r") {
        return Held{g->place, 'k'};
    } else if (matches(op.base, "ldr|str|ldm|stm")) {
        const std::string base = memory.position >= 0 ? memory.base : armRegister(i.operands[0]);
        if (const Held *h = holding(registers, base, 'k')) {
            named.add(plus(h->place, memory.displacement), how);
        }
    }
    return std::nullopt;
}

// What an x86 instruction names, and gives back what its first register holds afterwards.
std::optional<Held> x86Names(const Object &object, const Section &section, const Insn &i,
                             const Step &step, const Registers &registers, Named &named)
{
    const Memory memory = memoryOperand(object.arch, i.operands);
    const std::string how = x86Access(i.mnemonic, memory.position, i.operands.size());
    std::optional<Held> loaded;
    const bool branch = step.flow == "call" || step.flow == "tailcall" || step.to;
    for (auto r = section.relocs.lower_bound(i.address);
         !branch && r != section.relocs.end() && r->first < i.end(); ++r) {
        const Place place = resolve(object, r->second, i.end() - r->first);
        const bool immediate = r->first + 4 == i.end() && !i.operands.empty() &&
                               matches(i.operands.back(), "-?(0x[0-9a-f]+|[0-9]+)");
        if (throughGot(r->second.type) || i.mnemonic == "lea" || immediate || memory.position < 0) {
            named.add(place, "a");
            if (!place.section.empty() && (i.mnemonic == "lea" || i.mnemonic == "mov")) {
                loaded = Held{plus(place, 0), 'k'};
            }
        } else {
            named.add(place, how);
        }
    }
    // The base register's address, or with scale 1 the index's when the base holds none
    // (the two add alike).
    const Held *h = holding(registers, memory.base, 'k');
    if (h == nullptr && memory.scale == 1) {
        h = holding(registers, memory.index, 'k');
    }
    if (h && i.mnemonic != "nop" && !i.mnemonic.starts_with("prefetch")) {
        named.add(plus(h->place, memory.displacement), how);
    }
    return loaded;
}

// The variables each instruction of a function names. Which registers hold addresses is
// followed along the control-flow graph: on entry to an instruction, what every path to it
// agrees on (nothing at the function's entry); a call forgets the caller-saved registers.
std::vector<std::string> variablesOf(const Object &object, const Symbol &function,
                                     const std::vector<const Insn *> &insns,
                                     const std::vector<Step> &steps, const Graph &graph,
                                     const Literals &literals)
{
    static const std::map<Arch, std::vector<std::string>> callerSaved = {
        {Arch::x86_64, {"rax", "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11"}},
        {Arch::i386, {"rax", "rcx", "rdx"}},
        {Arch::arm, {"r0", "r1", "r2", "r3", "r12", "r14"}}};
    const bool arm = object.arch == Arch::arm;
    // What instruction k names, and the registers after it.
    const auto step = [&](std::size_t k, Registers registers) {
        const Insn &i = *insns[k];
        Named named{object, {}};
        const std::optional<Held> loaded =
            arm ? armNames(function, i, literals, registers, named)
                : x86Names(object, object.sections.at(function.section), i, steps[k], registers,
                           named);
        for (const std::string &reg :
             arm ? armWrites(armOp(i.mnemonic), i.operands) : x86Writes(i)) {
            registers.erase(reg);
        }
        const std::string first = i.operands.empty() ? ""
                                  : arm              ? armRegister(i.operands[0])
                                                     : x86Register(i.operands[0]);
        if (loaded && !first.empty()) {
            registers[first] = *loaded;
        }
        for (const std::string &reg : callerSaved.at(object.arch)) {
            if (steps[k].flow == "call" || steps[k].flow == "icall") {
                registers.erase(reg);
            }
        }
        return std::make_pair(named.text(), registers);
    };
    const auto same = [](const Held &a, const Held &b) {
        return a.kind == b.kind && a.place.section == b.place.section &&
               a.place.offset == b.place.offset && a.place.variable == b.place.variable;
    };
    std::vector<std::optional<Registers>> entry(insns.size());
    std::vector<std::size_t> work;
    if (!insns.empty()) {
        entry[0] = Registers{};
        work.push_back(0);
    }
    while (!work.empty()) {
        const std::size_t k = work.back();
        work.pop_back();
        const Registers after = step(k, *entry[k]).second;
        for (const int next : graph.successors[k]) {
            std::optional<Registers> &in = entry[std::size_t(next)];
            if (!in) {
                in = after;
                work.push_back(std::size_t(next));
                continue;
            }
            bool changed = false;
            for (auto r = in->begin(); r != in->end();) {
                const auto other = after.find(r->first);
                if (other == after.end() || !same(other->second, r->second)) {
                    r = in->erase(r);
                    changed = true;
                } else {
                    ++r;
                }
            }
            if (changed) {
                work.push_back(std::size_t(next));
            }
        }
    }
    std::vector<std::string> result;
    for (std::size_t k = 0; k < insns.size(); ++k) {
        result.push_back(step(k, entry[k] ? *entry[k] : Registers{}).first);
    }
    return result;
}

// ------------------------------------------------------------------ the reading as facts

// A fact by its kind, symbol and offset (-1 for functions and variables), and what it says.
using Key = std::tuple<std::string, std::string, std::int64_t>;
using Said = std::map<Key, std::string>;

template <typename Numbers> std::string joined(const Numbers &numbers)
{
    std::string text;
    for (auto n : numbers) {
        text += (text.empty() ? "" : ",") + std::to_string(n);
    }
    return text.empty() ? "-" : text;
}

std::string insnFact(const std::string &flow, const std::string &dest, const std::string &work,
                     const std::string &variables)
{
    return "flow=" + flow + " dest=" + dest + " work=" + work + " variables=" + variables;
}

// What the explorer should say about an object; shown: objdump's line of each instruction.
Said expectedFacts(const Object &object, std::map<Key, std::string> &shown)
{
    Said expected;
    const Literals literals = object.arch == Arch::arm ? armLiterals(object) : Literals{};
    std::set<std::string> referenced; // called, branched to, or address taken
    const auto takeAddress = [&](const Place &place, const std::string &symbol) {
        const auto s = object.symbols.find(symbol);
        const Symbol *f = functionAt(object, place);
        if (s != object.symbols.end() && s->second.type == 'F') {
            referenced.insert(symbol);
        } else if (f && f->value == place.offset) {
            referenced.insert(f->name);
        }
    };
    // Addresses outside the instructions: in data (tables of functions, jump tables) and in
    // literal words. A PC-relative entry of a jump table holds its target less the table's
    // start, which the instruction that loads the table points at.
    std::vector<Place> pointers;
    std::set<std::pair<std::string, std::int64_t>> tableStarts;
    for (const auto &[name, section] : object.sections) {
        for (const Insn &i : section.insns) {
            for (auto r = section.relocs.lower_bound(i.address);
                 r != section.relocs.end() && r->first < i.end(); ++r) {
                const Place place = resolve(object, r->second, i.end() - r->first);
                tableStarts.insert({place.section, place.offset});
            }
        }
    }
    for (const auto &[name, section] : object.sections) {
        for (const auto &[offset, r] : section.relocs) {
            const bool word =
                std::any_of(section.insns.begin(), section.insns.end(),
                            [&](const Insn &i) { return i.data && i.address == offset; });
            if ((!section.insns.empty() && !word) || literals.contains({name, offset})) {
                continue; // read with the instruction it is on, or with the load of its word
            }
            Place place = resolve(object, r, 0);
            const auto start = tableStarts.upper_bound({name, offset});
            if (pcRelative(r.type) && start != tableStarts.begin() &&
                std::prev(start)->first == name) {
                place.offset -= offset - std::prev(start)->second;
            }
            pointers.push_back(place);
            takeAddress(place, r.symbol);
        }
    }
    for (const auto &[at, literal] : literals) {
        pointers.push_back(literal.place);
        const auto r = object.sections.at(at.first).relocs.find(at.second);
        takeAddress(literal.place,
                    r == object.sections.at(at.first).relocs.end() ? "" : r->second.symbol);
    }
    for (const Symbol &f : object.functions) {
        const Section &section = object.sections.at(f.section);
        std::vector<const Insn *> insns; // not the literal words among them
        for (const Insn &i : section.insns) {
            if (!i.data && i.address >= f.value && i.address < f.value + f.size) {
                insns.push_back(&i);
            }
        }
        std::vector<Step> steps;
        for (const Insn *i : insns) {
            const Step &step = steps.emplace_back(flowOf(object, f.section, f, *i));
            if (step.flow == "call" || step.flow == "tailcall") {
                referenced.insert(step.dest);
                continue;
            }
            const auto &relocs = section.relocs;
            for (auto r = relocs.lower_bound(i->address); r != relocs.end() && r->first < i->end();
                 ++r) {
                takeAddress(resolve(object, r->second, i->end() - r->first), r->second.symbol);
            }
            const Memory memory = memoryOperand(object.arch, i->operands);
            const auto r = relocs.lower_bound(i->address);
            if (i->mnemonic == "lea" && memory.base == "rip" &&
                (r == relocs.end() || r->first >= i->end())) {
                // an address in the same section, which the assembler worked out itself
                takeAddress({f.section, "", i->end() + memory.displacement}, "");
            }
        }
        const Graph graph = graphOf(object, f, insns, steps, pointers);
        const std::vector<std::string> variables =
            variablesOf(object, f, insns, steps, graph, literals);
        for (std::size_t k = 0; k < insns.size(); ++k) {
            const Key key{"insn", f.name, insns[k]->address - f.value};
            expected[key] = insnFact(steps[k].flow, steps[k].dest, steps[k].work, variables[k]);
            shown[key] = insns[k]->line;
        }
        for (const auto &[head, body] : naturalLoops(graph.successors)) {
            std::set<std::int64_t> offsets;
            for (int k : body) {
                offsets.insert(insns[k]->address - f.value);
            }
            expected[{"loop", f.name, insns[head]->address - f.value}] = "body " + joined(offsets);
        }
    }
    // Names: c++filt's for mangled symbols, the symbol itself otherwise.
    RunOptions options;
    std::vector<const Symbol *> symbols;
    for (const std::vector<Symbol> *list : {&object.functions, &object.variables}) {
        for (const Symbol &s : *list) {
            symbols.push_back(&s);
            options.input += s.name + "\n";
        }
    }
    const std::vector<std::string> names = lines(harness::run("c++filt", {}, options).out);
    for (std::size_t k = 0; k < symbols.size(); ++k) {
        const Symbol &s = *symbols[k];
        const std::string name = s.name.starts_with("_Z") && k < names.size() ? names[k] : s.name;
        const std::string said =
            name + " " + std::to_string(s.size) + (s.global ? " global" : " local");
        if (s.type == 'F') {
            expected[{"function", s.name, -1}] =
                said + (referenced.contains(s.name) ? " called" : " uncalled");
        } else {
            expected[{"variable", s.name, -1}] = said;
        }
    }
    return expected;
}

// ------------------------------------------------------------------ the explorer's facts

// The explorer's facts at one level, as the reading gives them; twice-given names are problems.
Said explorerFacts(const std::string &facts, const std::string &target, const std::string &level,
                   std::vector<std::string> &problems)
{
    Said said;
    std::set<std::string> names;
    for (const std::string &line : lines(facts)) {
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() < 7 || f[1] != target || f[2] != level) {
            continue;
        }
        if ((f[0] == "function" || f[0] == "variable") && f.size() >= 7) {
            std::string text = f[4];
            for (std::size_t k = 5; k < f.size(); ++k) {
                text += " " + f[k];
            }
            said[{f[0], f[3], -1}] = text;
            if (!names.insert(f[0] + " " + f[4]).second) {
                problems.push_back(f[0] + " name " + f[4] + " is given to two symbols");
            }
        } else if (f[0] == "insn" && f.size() >= 12) {
            std::vector<std::string> variables = split(f[9], ',');
            std::sort(variables.begin(), variables.end());
            std::string sorted;
            for (const std::string &v : variables) {
                sorted += (sorted.empty() ? "" : ",") + v;
            }
            said[{"insn", f[3], std::stoll(f[4])}] = insnFact(f[7], f[8], f[6], sorted);
        } else if (f[0] == "loop") {
            said[{"loop", f[3], std::stoll(f[4])}] = "body " + f[5];
        }
    }
    return said;
}

std::vector<std::string> differences(const Said &said, const Said &expected,
                                     const std::map<Key, std::string> &shown)
{
    std::vector<std::string> problems;
    std::set<Key> keys;
    for (const Said *facts : {&said, &expected}) {
        for (const auto &[key, text] : *facts) {
            keys.insert(key);
        }
    }
    for (const Key &key : keys) {
        const std::string got = said.contains(key) ? said.at(key) : "nothing";
        const std::string want = expected.contains(key) ? expected.at(key) : "nothing";
        if (got != want) {
            const auto &[kind, symbol, offset] = key;
            problems.push_back(kind + " " + symbol +
                               (offset < 0 ? "" : " +" + std::to_string(offset)) +
                               (shown.contains(key) ? "   objdump: " + shown.at(key) : "") +
                               "\n    explorer: " + got + "\n    oracle:   " + want);
        }
    }
    return problems;
}

// ------------------------------------------------------------------ the cases

struct Case {
    std::string file; // in the source tree
    std::string target;
    bool demo = false;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.file << " on " << c.target;
}

class Oracle : public ::testing::TestWithParam<Case>
{
};

TEST_P(Oracle, ExplorerAgreesWithBinutils)
{
    const Case &c = GetParam();
    const std::string stem = fs::path(c.file).stem().string();
    const std::string scratch =
        ::testing::TempDir() + "oracle-" + std::to_string(getpid()) + "-" + stem + "-" + c.target;
    std::vector<std::string> args = {source(c.file), "--target",  c.target,
                                     "--facts",      "--scratch", scratch};
    if (c.demo) {
        args.insert(args.end(), {"-I", source("standins/minmax")});
    }
    RunOptions options;
    options.timeout = std::chrono::seconds(180);
    const RunResult explored =
        harness::run(std::string(LABS_BIN_DIR) + "/../tools/opt_explorer", args, options);
    ASSERT_TRUE(explored.exited(0)) << explored.err;
    bool agreed = true;
    for (const char *level : {"-O0", "-O2", "-Os"}) {
        const std::string object = scratch + "/" + stem + "/" + c.target + level + ".o";
        ASSERT_TRUE(fs::exists(object)) << object;
        const Arch arch = c.target == "arm"    ? Arch::arm
                          : c.target == "i386" ? Arch::i386
                                               : Arch::x86_64;
        std::map<Key, std::string> shown;
        const Said expected = expectedFacts(readObject(object, arch), shown);
        std::vector<std::string> problems;
        const Said said = explorerFacts(explored.out, c.target, level, problems);
        for (const std::string &p : differences(said, expected, shown)) {
            problems.push_back(p);
        }
        std::string message;
        int count = 0;
        for (const std::string &p : problems) {
            for (const std::string &line : lines(p)) {
                message += ++count <= 30 ? "  " + line + "\n" : "";
            }
        }
        if (count > 30) {
            message += "  ... and " + std::to_string(count - 30) + " lines more\n";
        }
        EXPECT_TRUE(problems.empty()) << object << ": " << problems.size() << " differences\n"
                                      << message;
        agreed = agreed && problems.empty();
    }
    if (agreed) {
        fs::remove_all(scratch);
    }
}

std::vector<Case> corpus()
{
    std::vector<Case> cases;
    std::set<std::string> files;
    for (const auto &entry : fs::directory_iterator(source("tests/optimization/corpus"))) {
        files.insert(entry.path().filename().string());
    }
    for (const std::string &file : files) {
        for (const char *target : {"x86-64", "arm", "i386"}) {
            cases.push_back({"tests/optimization/corpus/" + file, target});
        }
    }
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<Case> &info)
{
    std::string name = fs::path(info.param.file).stem().string() + "_" + info.param.target;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, Oracle, ::testing::ValuesIn(corpus()), caseName);

// The demos too, each on all three targets (a student compiles them for any).
std::vector<Case> demos()
{
    std::vector<Case> cases;
    std::set<std::string> files;
    for (const auto &entry : fs::directory_iterator(source("optimization"))) {
        if (entry.path().extension() == ".cpp") {
            files.insert(entry.path().filename().string());
        }
    }
    for (const std::string &file : files) {
        for (const char *target : {"x86-64", "arm", "i386"}) {
            cases.push_back({"optimization/" + file, target, true});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Demos, Oracle, ::testing::ValuesIn(demos()), caseName);

} // namespace
} // namespace harness
