// The explorer's reports: the terminal report of one source, the overview table of several,
// and every fact as plain lines for scripts and tests.
#pragma once

#include "facts.h"

#include <string>
#include <vector>

namespace explorer
{

// Source lines with what each level made of them, function sizes, the compiler's remarks
// and the summary, per target. Below 120 columns each level gets a row of its own under
// its source line; from 120 on the levels stand side by side. withCode adds each line's
// instructions under it, level by level (side by side from 120 columns).
std::string terminalReport(const Exploration &exploration, int width, bool withCode = false);

// One row per source and target: bytes, instructions, calls and loops at -O0 and -O2.
// Fits 80 columns.
std::string overviewTable(const std::vector<Exploration> &explorations);

// Every fact on a line of its own, fields separated by tabs:
//   function TARGET LEVEL SYMBOL NAME SIZE global|local called|uncalled
//   variable TARGET LEVEL SYMBOL NAME SIZE global|local
//   insn     TARGET LEVEL FUNCTION OFFSET LINE WORK FLOW DEST VARIABLES LOCALS TEXT
//   loop     TARGET LEVEL FUNCTION HEAD BODY LINES
//   remark   TARGET LEVEL optimized|missed LINE COLUMN PASS TEXT
//   summary  TARGET SENTENCE
// FUNCTION is a function's SYMBOL; NAME its full signature when the symbol is mangled.
// "called" means called, tail-called or its address taken in the file. OFFSET, HEAD, BODY
// and a jump's DEST are decimal offsets from the function's start. WORK is other, divide,
// multiply, shift or mask. FLOW is - (on to the next), jump, cjump (conditional), call,
// tailcall, ijump (indirect), icall (indirect) or ret; DEST is a jump's offset, a call's or
// tail call's SYMBOL ("?" when unknown), "-" otherwise. VARIABLES lists SYMBOL:r, :w, :rw
// or :a (address only) for each variable an operand names. Lists are comma-separated, "-"
// when empty.
std::string factsText(const Exploration &exploration);

} // namespace explorer
