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
//   function TARGET LEVEL NAME SIZE global|local
//   variable TARGET LEVEL NAME SIZE global|local
//   insn TARGET LEVEL FUNCTION OFFSET LINE r|- w|- WORK back|- CALLEE GLOBALS LOCALS TEXT
//   remark TARGET LEVEL LINE COLUMN TEXT
//   summary TARGET SENTENCE
// (lists comma-separated, "-" when empty).
std::string factsText(const Exploration &exploration);

// text broken into lines of at most width columns, every line after the first indented.
std::string wrap(const std::string &text, int width, const std::string &indent);

} // namespace explorer
