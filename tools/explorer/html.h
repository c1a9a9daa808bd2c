// The explorer's page: one self-contained HTML file (styles and script inline, nothing
// fetched) that shows the summary above, the source in the middle with what each level made
// of each line, and each level's assembly beside it, a source line and the instructions made
// from it in the same colour.
#pragma once

#include "facts.h"

#include <string>

namespace explorer
{

// The whole page for an exploration. Markup the script (and the tests) rely on:
//   source lines      <div class="src" data-line="N"> with the text in <span class="text">
//   instructions      <div class="insn" data-line="N" data-level="-O2" data-target="x86-64">
//   remarks           <div class="remark" data-line="N" data-level=".." data-target="..">
//                     (class "missed" for what the compiler tried and did not do)
//   line facts        <div class="facts tT" data-line="N">, one line per level
//   summary           <section class="summary tT" data-target=".."> of <li> sentences, those
//                     about lines with data-lines="N M ..." (a click selects them all)
//   function headings <h3 class="fn" data-level=".." data-target="..">
//   target switch     <button class="target" data-target=".."> (only with two or more)
// Clicking a line (or an instruction) gives the class "selected" to that source line and
// to every instruction of it, and sets the fragment #LN; a page opened with #LN starts so.
// Hovering gives the class "hover" in the same way.
std::string renderPage(const Exploration &exploration);

// Text made safe for HTML content and for attribute values in double quotes.
std::string escapeHtml(const std::string &text);

} // namespace explorer
