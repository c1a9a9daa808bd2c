// Decodes the instructions of one function with Capstone into what the later passes need,
// the same for all three targets: the arithmetic it does, where control goes, its memory
// operands and the registers it writes. Registers are named by family ("a" for rax, eax, ax
// and al), so that a write to part of a register counts as a write to all of it.
#pragma once

#include "facts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace explorer
{

struct MemoryOperand {
    std::string base, index; // register families, "" when absent ("pc"/"ip" for PC-relative)
    int scale = 1;
    std::int64_t displacement = 0;
    std::int64_t span = 0; // bytes it touches when more than one word (ARM ldm and stm)
    bool reads = false, writes = false;
    int displacementAt = -1; // byte of the instruction where the displacement is (x86), or -1
};

struct Decoded {
    std::uint64_t address = 0; // offset in its section
    unsigned size = 0;
    std::string mnemonic, operands;
    Work work = Work::other;
    Flow flow = Flow::next;   // jump, conditionalJump or call for any direct transfer
    bool conditional = false; // runs only under a condition (x86 jcc, ARM condition codes)
    std::optional<std::uint64_t> directTarget; // section offset of a direct branch or call
    std::vector<MemoryOperand> memory;
    std::vector<std::string> written; // register families it writes
    std::string destination;          // the first operand's register family, if a register
    bool takesAddress = false;        // lea: computes an address, reads no memory
    int immediateAt = -1;             // byte of the instruction where an immediate is (x86)
    bool isLiteralLoad = false;       // ARM ldr rN, [pc, #k]: loads a literal pool word
    std::uint64_t literalAddress = 0; // the pool word's section offset
    std::uint32_t literalWord = 0;    // and the word itself, as the file holds it
    bool addsPc = false;              // ARM add rN, pc, rM
    std::string pcAddend;             // rM of that add
};

// The target's decoder: "x86-64", "i386" or "arm".
class Decoder
{
  public:
    explicit Decoder(const std::string &target);
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // The instructions in bytes [from, to) of a section of size bytes.
    std::vector<Decoded> decode(const std::uint8_t *bytes, std::uint64_t size, std::uint64_t from,
                                std::uint64_t to) const;

    // Register families a call may change (the callee need not keep them).
    const std::vector<std::string> &callerSaved() const;

    // The DWARF register number of a register family, or -1.
    int dwarfNumber(const std::string &family) const;

    // What the decoder knows of its target's registers (decode.cpp).
    struct Isa;

  private:
    const Isa *isa_;
    std::size_t handle_ = 0;
};

} // namespace explorer
