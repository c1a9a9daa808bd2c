// The oracle's facts: which variables each instruction names (addresses followed through the
// registers along the control-flow graph), and everything the explorer should say about an object.
#include "oracle.h"
#include "run_process.h"

#include <algorithm>

namespace harness::oracle
{
namespace
{

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

template <typename Numbers> std::string joined(const Numbers &numbers)
{
    std::string text;
    for (auto n : numbers) {
        text += (text.empty() ? "" : ",") + std::to_string(n);
    }
    return text.empty() ? "-" : text;
}

} // namespace

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

} // namespace harness::oracle
