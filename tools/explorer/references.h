// What the instructions of one function refer to: the function each call or jump reaches
// (through its relocation when it has one), and the variables each operand names, either by
// a relocation on the operand or through a register that holds a variable's address.
#pragma once

#include "decode.h"
#include "elf_tables.h"
#include "facts.h"

#include <vector>

namespace explorer
{

// Where a relocation on an instruction's bytes points, counting a PC-relative field from
// the instruction's end (x86) or from the instruction plus 8 (ARM branches). False for a
// symbol defined in another file.
bool instructionTarget(const ElfTables &tables, const Relocation &r, std::uint64_t instructionEnd,
                       Place &place);

// Whether a relocation type is PC-relative (the word holds an address less where it is).
bool pcRelative(int machine, unsigned type);

struct Resolved {
    std::vector<Instruction> code;
    std::vector<Place> addresses; // every address the code forms: to find what it refers to
};

// The instructions of function (a symbol of tables), decoded by decoder, with their flow,
// targets and variables resolved. pointers are the addresses the file's data holds (jump
// tables among them): an indirect jump may go to those inside the function. Text names call
// and jump targets; line and locals are left for the caller.
Resolved resolveReferences(const ElfTables &tables, const Decoder &decoder, const Symbol &function,
                           const std::vector<Decoded> &decoded, const std::vector<Place> &pointers);

} // namespace explorer
