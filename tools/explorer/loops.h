// The loops of a function, found as natural loops of its control-flow graph: an edge back
// to an instruction that dominates where it comes from closes a loop. A backward jump that
// is not such an edge (to code shared by two paths) closes none.
#pragma once

#include "facts.h"

#include <vector>

namespace explorer
{

// The instructions each instruction of code may pass control to, by index. Control leaves
// an instruction for the next unless it always jumps, returns or tail-calls; a jump adds its
// target, an indirect jump the targets found for it (a jump table's cases).
std::vector<std::vector<std::size_t>> successors(const std::vector<Instruction> &code);

// The natural loops of a function's code, one per head (loops sharing a head are merged),
// in the order of their heads.
std::vector<Loop> naturalLoops(const std::vector<Instruction> &code);

} // namespace explorer
