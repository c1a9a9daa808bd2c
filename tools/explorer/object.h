// Reads what the toolchain recorded in one object file: the functions and data objects
// (symbol table), each instruction (disassembled with Capstone) with its source line (DWARF
// line table), the symbols its relocations name, the locals it touches (DWARF locations
// and call frame information).
#pragma once

#include "facts.h"

#include <string>

namespace explorer
{

// Fills level.functions and level.variables from the object file at path, compiled for
// target ("x86-64", "arm" or "i386") from sourcePath. Lines of other files (an inlined
// header function) count as line 0. Throws std::runtime_error when the file cannot be read.
void readObject(const std::string &path, const std::string &target, const std::string &sourcePath,
                Level &level);

} // namespace explorer
