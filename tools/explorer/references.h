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

// The instructions of function (a symbol of tables), decoded by decoder, with their flow,
// targets and variables resolved. Text names call and jump targets; line and locals are
// left for the caller.
std::vector<Instruction> resolveReferences(const ElfTables &tables, const Decoder &decoder,
                                           const Symbol &function,
                                           const std::vector<Decoded> &decoded);

// Whether a relocation refers to a function (its address is taken, or it is called) of the
// file: the function's own symbol, or its section at the function's offset.
const Symbol *functionReferenced(const ElfTables &tables, const Relocation &r);

} // namespace explorer
