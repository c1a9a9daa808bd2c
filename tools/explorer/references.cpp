// Relocations name what the compiler left for the linker: the callee of a call, the variable
// of an operand. A relocation may name a section plus offset instead of a symbol (for what
// the file keeps local); the offset then leads to the function or variable found there.
// Addresses are followed through registers along the control flow: from an instruction that
// puts a variable's address in a register (lea, a literal-pool load, a GOT load) to the loads
// and stores through that register, until the register is written again, a call may have
// changed it, or paths that meet disagree on it.
#include "references.h"

#include "loops.h"

#include <cstdio>
#include <map>
#include <optional>

namespace explorer
{

bool pcRelative(int machine, unsigned type)
{
    if (machine == EM_X86_64) {
        return type == R_X86_64_PC32 || type == R_X86_64_PLT32 || type == R_X86_64_GOTPCREL ||
               type == R_X86_64_GOTPCRELX || type == R_X86_64_REX_GOTPCRELX;
    }
    if (machine == EM_386) {
        return type == R_386_PC32 || type == R_386_PLT32;
    }
    return machine == EM_ARM && type == R_ARM_REL32;
}

namespace
{

bool armBranch(unsigned type)
{
    return type == R_ARM_CALL || type == R_ARM_JUMP24 || type == R_ARM_PC24;
}

// A load of a variable's address from the global offset table.
bool gotLoad(int machine, unsigned type)
{
    if (machine == EM_X86_64) {
        return type == R_X86_64_GOTPCREL || type == R_X86_64_GOTPCRELX ||
               type == R_X86_64_REX_GOTPCRELX;
    }
    return machine == EM_386 && (type == R_386_GOT32 || type == R_386_GOT32X);
}

// Where the processor counts a relocated field from, relative to the field: the end of the
// instruction for x86 PC-relative fields, the instruction plus 8 for ARM branches.
std::int64_t correction(int machine, const Relocation &r, std::uint64_t instructionEnd)
{
    if (machine != EM_ARM && pcRelative(machine, r.type)) {
        return std::int64_t(instructionEnd - r.offset);
    }
    if (machine == EM_ARM && armBranch(r.type)) {
        return 8;
    }
    return 0;
}

void addUse(std::vector<VariableUse> &uses, const std::string &symbol, bool reads, bool writes)
{
    for (VariableUse &use : uses) {
        if (use.symbol == symbol) {
            use.reads = use.reads || reads;
            use.writes = use.writes || writes;
            return;
        }
    }
    uses.push_back({symbol, reads, writes});
}

// A register's known value: an address in the file, or (ARM, PC-relative pool word) an
// address still short of the program counter that "add rN, pc, rN" adds.
struct Known {
    Place place;
    bool needsPc = false;
    bool got = false; // the place of a GOT entry's variable, which "ldr rD, [pc, rN]" loads
    bool operator==(const Known &) const = default;
};

class Resolver
{
  public:
    Resolver(const ElfTables &tables, const Decoder &decoder, const Symbol &function)
        : tables_(tables), decoder_(decoder), function_(function), machine_(tables.machine())
    {
    }

    Resolved run(const std::vector<Decoded> &decoded, const std::vector<Place> &pointers)
    {
        std::vector<Instruction> code;
        for (const Decoded &d : decoded) {
            code.push_back(flowOf(d));
        }
        tableTargets(decoded, pointers, code);
        // The addresses known on entry to each instruction: those every path to it agrees
        // on (nothing is known at the function's start), found by iterating to a fixed point.
        const std::vector<std::vector<std::size_t>> next = successors(code);
        std::vector<std::optional<Registers>> entry(code.size());
        if (!code.empty()) {
            entry[0] = Registers{};
        }
        std::vector<std::size_t> work = {0};
        while (!work.empty() && !code.empty()) {
            const std::size_t i = work.back();
            work.pop_back();
            Registers state = *entry[i];
            Instruction scratch = code[i];
            step(decoded[i], scratch, state);
            for (std::size_t j : next[i]) {
                if (!entry[j]) {
                    entry[j] = state;
                    work.push_back(j);
                } else if (meet(*entry[j], state)) {
                    work.push_back(j);
                }
            }
        }
        addresses_.clear();
        for (std::size_t i = 0; i < code.size(); ++i) {
            Registers state = entry[i] ? *entry[i] : Registers{};
            step(decoded[i], code[i], state);
        }
        return {std::move(code), std::move(addresses_)};
    }

  private:
    const ElfTables &tables_;
    const Decoder &decoder_;
    const Symbol &function_;
    int machine_;
    mutable std::vector<Place> addresses_; // formed by the code, noted on the last pass

    using Registers = std::map<std::string, Known>;

    // Keeps in into only what state agrees with; true when into changed.
    static bool meet(Registers &into, const Registers &state)
    {
        bool changed = false;
        for (auto it = into.begin(); it != into.end();) {
            auto other = state.find(it->first);
            if (other == state.end() || !(other->second == it->second)) {
                it = into.erase(it);
                changed = true;
            } else {
                ++it;
            }
        }
        return changed;
    }

    std::uint64_t end() const
    {
        return function_.value + function_.size;
    }

    // The relocations on the bytes of an instruction.
    std::vector<const Relocation *> relocationsOn(const Decoded &d) const
    {
        return tables_.relocationsIn(function_.section, d.address, d.address + d.size);
    }

    // Where each indirect jump may go: the addresses the data holds that fall inside this
    // function (a jump table), and on ARM the branches that follow "add pc, pc, rN, lsl #2",
    // a table of branches the add indexes.
    void tableTargets(const std::vector<Decoded> &decoded, const std::vector<Place> &pointers,
                      std::vector<Instruction> &code) const
    {
        std::vector<std::uint64_t> inside;
        for (const Place &place : pointers) {
            if (place.section == function_.section &&
                place.offset >= std::int64_t(function_.value) &&
                place.offset < std::int64_t(end())) {
                inside.push_back(std::uint64_t(place.offset) - function_.value);
            }
        }
        std::map<std::uint64_t, std::size_t> at;
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            at[decoded[i].address] = i;
        }
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            if (code[i].flow != Flow::indirectJump) {
                continue;
            }
            code[i].tableTargets = inside;
            if (machine_ == EM_ARM && decoded[i].mnemonic.starts_with("add")) {
                for (auto next = at.find(decoded[i].address + 8);
                     next != at.end() && decoded[next->second].mnemonic == "b" &&
                     next->first + 4 <= end();
                     next = at.find(next->first + 4)) {
                    code[i].tableTargets.push_back(next->first - function_.value);
                }
            }
        }
    }

    // The function a direct call or jump reaches, and whether that is this function itself.
    Instruction flowOf(const Decoded &d)
    {
        Instruction out;
        out.offset = d.address - function_.value;
        out.text = d.mnemonic + (d.operands.empty() ? "" : " " + d.operands);
        out.work = d.work;
        out.flow = d.flow;
        out.conditional = d.conditional;
        if (d.flow != Flow::jump && d.flow != Flow::conditionalJump && d.flow != Flow::call) {
            return out;
        }
        std::optional<Place> target;
        std::string external;
        for (const Relocation *r : relocationsOn(d)) {
            Place place;
            if (tables_.placeOf(*r, correction(machine_, *r, d.address + d.size), place)) {
                target = place;
            } else if (r->symbol < tables_.symbols().size()) {
                external = tables_.symbols()[r->symbol].name; // defined in another file
            }
        }
        if (!target && external.empty() && d.directTarget) {
            target = Place{function_.section, std::int64_t(*d.directTarget)};
        }
        const bool within = target && target->section == function_.section &&
                            target->offset >= std::int64_t(function_.value) &&
                            target->offset < std::int64_t(end());
        if (d.flow != Flow::call && within) {
            out.jumpTarget = std::uint64_t(target->offset) - function_.value;
            char offset[32];
            std::snprintf(offset, sizeof offset, "+0x%llx", (unsigned long long)out.jumpTarget);
            out.text = d.mnemonic + " " + withoutParameters(demangledName(function_.name)) + offset;
            return out;
        }
        if (target) {
            const Symbol *callee = tables_.functionAt(*target);
            out.callee = callee != nullptr && std::uint64_t(target->offset) == callee->value
                             ? callee->name
                             : "";
        } else {
            out.callee = external;
        }
        if (d.flow != Flow::call) {
            out.flow = Flow::tailCall;
        }
        // A call to a runtime division helper does a divide (ARMv5 has no divide instruction,
        // and i386 divides 64-bit numbers in one).
        const std::string &c = out.callee;
        if ((c.starts_with("__aeabi_") && c.find("div") != std::string::npos) || c == "__divdi3" ||
            c == "__udivdi3" || c == "__moddi3" || c == "__umoddi3" || c == "__divsi3" ||
            c == "__udivsi3" || c == "__modsi3" || c == "__umodsi3") {
            out.work = Work::divide;
        }
        out.text = d.mnemonic + " " + (out.callee.empty() ? "?" : out.callee);
        return out;
    }

    void useAt(const Place &place, bool reads, bool writes, Instruction &out,
               const std::string &named = "") const
    {
        if (!named.empty()) {
            addUse(out.variables, named, reads, writes);
        } else if (const Symbol *object = tables_.objectAt(place)) {
            addUse(out.variables, object->name, reads, writes);
        }
    }

    // The variables the instruction names, given the addresses known before it; leaves in
    // known those known after it.
    void step(const Decoded &d, Instruction &out, Registers &known) const
    {
        std::optional<std::pair<std::string, Known>> learned;
        std::vector<bool> relocated(d.memory.size(), false);
        for (const Relocation *r : relocationsOn(d)) {
            Place place;
            if (instructionTarget(tables_, *r, d.address + d.size, place)) {
                addresses_.push_back(place);
            }
        }
        const bool transfer =
            d.flow == Flow::call || d.flow == Flow::jump || d.flow == Flow::conditionalJump;
        // Relocations on the instruction's own bytes (x86): a memory operand's displacement
        // or an immediate.
        if (machine_ != EM_ARM && !transfer) {
            for (const Relocation *r : relocationsOn(d)) {
                const int at = int(r->offset - d.address);
                const bool got = gotLoad(machine_, r->type);
                Place place;
                if (got) {
                    // The operand reads the table's entry, which holds the variable's address.
                    const Symbol &s = tables_.symbols()[r->symbol];
                    if (s.section == SHN_UNDEF || !tables_.placeOf(*r, -r->addend, place)) {
                        continue;
                    }
                    useAt(place, false, false, out);
                    if (!d.destination.empty()) {
                        learned = std::make_pair(d.destination, Known{place, false});
                    }
                    continue;
                }
                if (!tables_.placeOf(*r, correction(machine_, *r, d.address + d.size), place)) {
                    continue;
                }
                // A relocation against a variable's own symbol names it, whatever the
                // offset (an end pointer, say); one against a section names what lies there.
                const Symbol &s = tables_.symbols()[r->symbol];
                const std::string named = s.type == STT_OBJECT ? s.name : "";
                for (std::size_t m = 0; m < d.memory.size(); ++m) {
                    if (d.memory[m].displacementAt == at) {
                        relocated[m] = true;
                        useAt(place, d.memory[m].reads, d.memory[m].writes, out, named);
                        if (d.takesAddress && !d.destination.empty()) {
                            learned = std::make_pair(d.destination, Known{place, false});
                        }
                    }
                }
                if (at == d.immediateAt) {
                    useAt(place, false, false, out, named);
                    if (d.mnemonic == "mov" && !d.destination.empty()) {
                        learned = std::make_pair(d.destination, Known{place, false});
                    }
                }
            }
        }
        // ARM: a literal-pool word gives the loaded register an address: its relocation's
        // (R_ARM_ABS32), a variable's through the GOT (R_ARM_GOT_PREL), or one still short
        // of the program counter that "add rD, pc, rN" or "ldr rD, [pc, rN]" adds
        // (R_ARM_REL32, or a plain word the assembler worked out in this section).
        if (d.isLiteralLoad) {
            const auto words =
                tables_.relocationsIn(function_.section, d.literalAddress, d.literalAddress + 4);
            if (words.empty()) {
                const Place place{function_.section, std::int64_t(std::int32_t(d.literalWord))};
                learned = std::make_pair(d.destination, Known{place, true, false});
            }
            for (const Relocation *r : words) {
                Place place;
                if (r->type == R_ARM_GOT_PREL) {
                    if (tables_.placeOf(*r, -r->addend, place)) {
                        useAt(place, false, false, out);
                        addresses_.push_back(place);
                        learned = std::make_pair(d.destination, Known{place, false, true});
                    }
                } else if (!tables_.placeOf(*r, 0, place)) {
                    continue;
                } else if (r->type == R_ARM_REL32) {
                    place.offset -= std::int64_t(d.literalAddress);
                    learned = std::make_pair(d.destination, Known{place, true, false});
                } else if (r->type == R_ARM_ABS32) {
                    useAt(place, false, false, out);
                    addresses_.push_back(place);
                    learned = std::make_pair(d.destination, Known{place, false, false});
                }
            }
        }
        if (d.addsPc) {
            auto it = known.find(d.pcAddend);
            if (it != known.end() && it->second.needsPc) {
                Known address = it->second;
                address.place.offset += std::int64_t(d.address + 8);
                address.needsPc = false;
                useAt(address.place, false, false, out);
                addresses_.push_back(address.place);
                learned = std::make_pair(d.destination, address);
            }
        }
        // x86: an address in this section the assembler worked out itself (lea of a local
        // function, PC-relative with no relocation left).
        if (machine_ != EM_ARM && d.takesAddress && !d.memory.empty() && d.memory[0].base == "ip" &&
            relocationsOn(d).empty()) {
            addresses_.push_back(
                {function_.section, std::int64_t(d.address + d.size) + d.memory[0].displacement});
        }
        // Loads and stores through a register that holds a known address (x86 reads the
        // base, or a scale-1 index that stands in for it); lea takes the address they form.
        for (std::size_t m = 0; m < d.memory.size(); ++m) {
            const MemoryOperand &op = d.memory[m];
            if (relocated[m]) {
                continue;
            }
            if (op.base == "pc" && !op.index.empty()) {
                // ldr rD, [pc, rN]: the program counter completes the address rN holds.
                auto it = known.find(op.index);
                if (it != known.end() && it->second.needsPc) {
                    Place place = it->second.place;
                    place.offset += std::int64_t(d.address + 8);
                    useAt(place, op.reads, op.writes, out);
                    addresses_.push_back(place);
                } else if (it != known.end() && it->second.got && op.reads) {
                    learned = std::make_pair(d.destination, Known{it->second.place, false, false});
                }
                continue;
            }
            auto it = known.find(op.base);
            if (it == known.end() && op.scale == 1 && !op.index.empty()) {
                it = known.find(op.index);
            }
            if (it == known.end() || it->second.needsPc || it->second.got) {
                continue;
            }
            Place place = it->second.place;
            place.offset += op.displacement;
            useAt(place, op.reads && !d.takesAddress, op.writes && !d.takesAddress, out);
            for (std::int64_t word = 4; word < op.span; word += 4) {
                useAt({place.section, place.offset + word}, op.reads, op.writes, out);
            }
        }
        for (const MemoryOperand &op : d.memory) {
            out.readsMemory = out.readsMemory || op.reads;
            out.writesMemory = out.writesMemory || op.writes;
        }
        for (const std::string &reg : d.written) {
            known.erase(reg);
        }
        if (d.flow == Flow::call || d.flow == Flow::indirectCall) {
            for (const std::string &reg : decoder_.callerSaved()) {
                known.erase(reg);
            }
        }
        if (learned && !learned->first.empty()) {
            known[learned->first] = learned->second;
        }
    }
};

} // namespace

bool instructionTarget(const ElfTables &tables, const Relocation &r, std::uint64_t instructionEnd,
                       Place &place)
{
    return tables.placeOf(r, correction(tables.machine(), r, instructionEnd), place);
}

Resolved resolveReferences(const ElfTables &tables, const Decoder &decoder, const Symbol &function,
                           const std::vector<Decoded> &decoded, const std::vector<Place> &pointers)
{
    return Resolver(tables, decoder, function).run(decoded, pointers);
}

} // namespace explorer
