// Relocations name what the compiler left for the linker: the callee of a call, the variable
// of an operand. A relocation may name a section plus offset instead of a symbol (for what
// the file keeps local); the offset then leads to the function or variable found there.
// Addresses are followed through registers along the control flow: from an
// instruction that puts a variable's address in a register (lea, a literal-pool load, a GOT
// load) to the loads and stores through that register, until the register is written again,
// a call may have changed it, or paths that meet disagree on it.
#include "references.h"

#include "loops.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <optional>
#include <set>

namespace explorer
{
namespace
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
    return false;
}

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
    if (pcRelative(machine, r.type)) {
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
};

class Resolver
{
  public:
    Resolver(const ElfTables &tables, const Decoder &decoder, const Symbol &function)
        : tables_(tables), decoder_(decoder), function_(function), machine_(tables.machine())
    {
    }

    std::vector<Instruction> run(const std::vector<Decoded> &decoded)
    {
        std::vector<Instruction> code;
        for (const Decoded &d : decoded) {
            code.push_back(flowOf(d));
        }
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
        for (std::size_t i = 0; i < code.size(); ++i) {
            Registers state = entry[i] ? *entry[i] : Registers{};
            step(decoded[i], code[i], state);
        }
        return code;
    }

  private:
    const ElfTables &tables_;
    const Decoder &decoder_;
    const Symbol &function_;
    int machine_;

    using Registers = std::map<std::string, Known>;

    // Keeps in into only what state agrees with; true when into changed.
    static bool meet(Registers &into, const Registers &state)
    {
        bool changed = false;
        for (auto it = into.begin(); it != into.end();) {
            auto other = state.find(it->first);
            if (other == state.end() || other->second.place.section != it->second.place.section ||
                other->second.place.offset != it->second.place.offset ||
                other->second.needsPc != it->second.needsPc) {
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
        for (const Relocation *r :
             tables_.relocationsIn(function_.section, d.address, d.address + d.size)) {
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

    const Symbol *variableAt(const Place &place) const
    {
        return tables_.objectAt(place);
    }

    void useAt(const Place &place, bool reads, bool writes, Instruction &out) const
    {
        if (const Symbol *object = variableAt(place)) {
            addUse(out.variables, object->name, reads, writes);
        }
    }

    // The variables the instruction names, given the addresses known before it; leaves in
    // known those known after it.
    void step(const Decoded &d, Instruction &out, Registers &known) const
    {
        std::optional<std::pair<std::string, Known>> learned;
        std::vector<bool> relocated(d.memory.size(), false);
        const bool transfer =
            d.flow == Flow::call || d.flow == Flow::jump || d.flow == Flow::conditionalJump;
        // Relocations on the instruction's own bytes (x86): a memory operand's displacement
        // or an immediate.
        if (machine_ != EM_ARM && !transfer) {
            for (const Relocation *r :
                 tables_.relocationsIn(function_.section, d.address, d.address + d.size)) {
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
                for (std::size_t m = 0; m < d.memory.size(); ++m) {
                    if (d.memory[m].displacementAt == at) {
                        relocated[m] = true;
                        useAt(place, d.memory[m].reads, d.memory[m].writes, out);
                        if (d.takesAddress && !d.destination.empty()) {
                            learned = std::make_pair(d.destination, Known{place, false});
                        }
                    }
                }
                if (at == d.immediateAt) {
                    useAt(place, false, false, out);
                    if (d.mnemonic == "mov" && !d.destination.empty()) {
                        learned = std::make_pair(d.destination, Known{place, false});
                    }
                }
            }
        }
        // ARM: a literal-pool word with a relocation gives the loaded register an address.
        if (d.isLiteralLoad) {
            for (const Relocation *r :
                 tables_.relocationsIn(function_.section, d.literalAddress, d.literalAddress + 4)) {
                Place place;
                if (!tables_.placeOf(*r, 0, place)) {
                    continue;
                }
                if (r->type == R_ARM_REL32) {
                    place.offset -= std::int64_t(d.literalAddress);
                    learned = std::make_pair(d.destination, Known{place, true});
                } else if (r->type == R_ARM_ABS32) {
                    useAt(place, false, false, out);
                    learned = std::make_pair(d.destination, Known{place, false});
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
                learned = std::make_pair(d.destination, address);
            }
        }
        // Loads and stores through a register that holds a known address (x86 reads the
        // base, or a scale-1 index that stands in for it).
        for (std::size_t m = 0; m < d.memory.size(); ++m) {
            const MemoryOperand &op = d.memory[m];
            if (relocated[m] || d.takesAddress) {
                continue;
            }
            auto it = known.find(op.base);
            if (it == known.end() && op.scale == 1 && !op.index.empty() &&
                !known.contains(op.base)) {
                it = known.find(op.index);
            }
            if (it == known.end() || it->second.needsPc) {
                continue;
            }
            Place place = it->second.place;
            place.offset += op.displacement;
            useAt(place, op.reads, op.writes, out);
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

std::vector<Instruction> resolveReferences(const ElfTables &tables, const Decoder &decoder,
                                           const Symbol &function,
                                           const std::vector<Decoded> &decoded)
{
    return Resolver(tables, decoder, function).run(decoded);
}

const Symbol *functionReferenced(const ElfTables &tables, const Relocation &r)
{
    if (r.symbol >= tables.symbols().size()) {
        return nullptr;
    }
    const Symbol &s = tables.symbols()[r.symbol];
    if (s.type == STT_FUNC) {
        return s.section == SHN_UNDEF ? nullptr : &s;
    }
    if (s.type != STT_SECTION) {
        return nullptr;
    }
    // A section plus offset names a function when it is the function's first byte.
    const std::int64_t fieldToCount = pcRelative(tables.machine(), r.type)              ? 4
                                      : tables.machine() == EM_ARM && armBranch(r.type) ? 8
                                                                                        : 0;
    Place place;
    if (!tables.placeOf(r, fieldToCount, place)) {
        return nullptr;
    }
    const Symbol *f = tables.functionAt(place);
    return f != nullptr && std::int64_t(f->value) == place.offset ? f : nullptr;
}

} // namespace explorer
