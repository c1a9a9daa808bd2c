// The explorer's page, written as one string: styles and script inline, so that the file
// opens anywhere without fetching anything. The script only reads the markup (data-line,
// data-index), so everything the page knows is in the HTML itself.
#include "html.h"

#include "summary.h"

#include <cstddef>
#include <cstdio>
#include <map>
#include <set>

namespace explorer
{
namespace
{

// Light colours, one per source line number modulo their count; neighbouring lines get
// hues far apart. Selected lines take a deeper shade of the same hue.
constexpr int paletteSize = 12;
constexpr int hueStep = 150;

const char *const style = R"(
* { box-sizing: border-box; }
html, body { margin: 0; height: 100%; }
body {
  display: flex; flex-direction: column; color: #1d2430; background: #fbfbfa;
  font: 13px/1.5 ui-monospace, "DejaVu Sans Mono", "Liberation Mono", monospace;
}
header {
  display: flex; flex-wrap: wrap; align-items: baseline; gap: .4em 1.2em;
  padding: .5em 1em; background: #f1f2f4; border-bottom: 1px solid #d8dbe2;
}
header h1 { margin: 0; font-size: 1.25em; }
header .path, header .hint { color: #667085; }
header .hint { margin-left: auto; font-size: .9em; }
nav.targets { display: flex; gap: .3em; }
nav.targets button {
  font: inherit; padding: .15em .9em; border: 1px solid #aab1bd; border-radius: 4px;
  background: #fff; color: inherit; cursor: pointer;
}
nav.targets button.active { background: #1d2430; border-color: #1d2430; color: #fff; }
main { flex: 1; min-height: 0; display: flex; }
.column { flex: 1 1 0; min-width: 0; overflow: auto; border-right: 1px solid #e3e5e9; }
.column.source { flex-grow: 1.4; background: #fff; }
.column[hidden] { display: none; }
.column h2 {
  position: sticky; top: 0; z-index: 1; margin: 0; padding: .35em .7em; font-size: 1em;
  background: #e9ecf1; border-bottom: 1px solid #d8dbe2; white-space: nowrap;
}
.column h2 small { font-weight: normal; color: #667085; }
h3.fn { margin: .9em 0 .2em; padding: 0 .7em; font-size: 1em; color: #23344d; }
h3.fn .size, h3.fn .scope { font-weight: normal; color: #667085; }
.empty { padding: .5em .7em; color: #667085; }
.src, .insn {
  display: flex; gap: .9em; min-height: 1.5em; padding: 0 .7em; white-space: pre;
  border-left: 3px solid transparent; cursor: pointer;
}
.src .no, .insn .off { min-width: 3ch; text-align: right; color: #8a909b; user-select: none; }
.src .text { tab-size: 4; }
.insn .asm { flex: 1; }
/* Long instructions and source lines wrap inside their column rather than run out of it. */
.insn .asm, .insn .mem, .src .text { min-width: 0; white-space: pre-wrap; overflow-wrap: anywhere; }
.insn .ln { color: #8a909b; }
.insn .mem { color: #6b5a2e; font-size: 85%; margin-right: 0.6ch; }
.insn.line { background: hsl(var(--h) 80% 91%); }
.insn.line.selected { background: hsl(var(--h) 80% 80%); }
.src.selected { background: #e3e6eb; }
.selected { border-left-color: #1d2430; }
.hover { box-shadow: inset 0 0 0 1px #7b8494; }
.remark {
  display: none; margin: .1em .7em .2em calc(3ch + 1.6em); padding: .05em .5em;
  font-size: .88em; white-space: pre-wrap; color: #5c4700;
  background: #fff5d1; border-left: 3px solid #e0b000;
}
.remark .lvl { margin-right: .7em; font-weight: bold; }
.remark.missed { color: #5b2a2a; background: #fbe9e7; border-left-color: #c75b4a; }
.facts {
  display: none; margin: 0 .7em .15em calc(3ch + 1.6em); font-size: .85em; color: #4a5466;
  white-space: pre-wrap;
}
.facts .lvl { display: inline-block; min-width: 4ch; font-weight: bold; }
.summary {
  display: none; max-height: 28vh; overflow: auto; padding: .3em 1em .4em;
  background: #f7f8fa; border-bottom: 1px solid #d8dbe2;
}
.summary h2 { margin: .2em 0; font-size: 1em; }
.summary ul { margin: 0; padding-left: 1.4em; }
.summary li { white-space: normal; }
.summary li.linked { cursor: pointer; text-decoration: underline dotted #8a909b; }
.summary li.linked:hover { background: #e3e6eb; }
)";

const char *const script = R"(
(function () {
  'use strict';
  function all(selector) {
    return Array.prototype.slice.call(document.querySelectorAll(selector));
  }
  // Gives the class to the source line and to every instruction made from it.
  function mark(name, line) {
    markAll(name, line > 0 ? [line] : []);
  }
  function markAll(name, lines) {
    all('.' + name).forEach(function (e) { e.classList.remove(name); });
    lines.forEach(function (line) {
      all('.src[data-line="' + line + '"], .insn[data-line="' + line + '"]')
        .forEach(function (e) { e.classList.add(name); });
    });
  }
  // Scrolls every shown column but the one clicked to the first selected row in it.
  function reveal(except) {
    all('.column').forEach(function (column) {
      if (column === except || column.hidden) return;
      var first = column.querySelector('.selected');
      if (!first) return;
      var box = column.getBoundingClientRect(), at = first.getBoundingClientRect();
      if (at.top < box.top + 30 || at.bottom > box.bottom) {
        column.scrollTop += at.top - box.top - column.clientHeight / 3;
      }
    });
  }
  function select(line, except) {
    mark('selected', line);
    if (location.hash !== '#L' + line) history.replaceState(null, '', '#L' + line);
    reveal(except);
  }
  function show(index) {
    document.body.className = 'show-t' + index;
    all('.column[data-index]').forEach(function (c) { c.hidden = c.dataset.index !== index; });
    all('button.target').forEach(function (b) {
      var on = b.dataset.index === index;
      b.classList.toggle('active', on);
      b.setAttribute('aria-pressed', on ? 'true' : 'false');
    });
    reveal(null);
  }
  function row(element) {
    return element.closest ? element.closest('.src, .insn') : null;
  }
  document.addEventListener('click', function (event) {
    var button = event.target.closest && event.target.closest('button.target');
    if (button) {
      show(button.dataset.index);
      return;
    }
    // A sentence of the summary selects every line it is about.
    var said = event.target.closest && event.target.closest('li[data-lines]');
    if (said) {
      var lines = said.dataset.lines.split(' ').map(Number);
      markAll('selected', lines);
      history.replaceState(null, '', '#L' + lines[0]);
      reveal(null);
      return;
    }
    var hit = row(event.target);
    if (hit && Number(hit.dataset.line) > 0) {
      select(Number(hit.dataset.line), hit.closest('.column'));
    }
  });
  var hovered = 0;
  document.addEventListener('mouseover', function (event) {
    var hit = row(event.target), line = hit ? Number(hit.dataset.line) : 0;
    if (line !== hovered) {
      hovered = line;
      mark('hover', line);
    }
  });
  function fromFragment() {
    var found = /^#L([0-9]+)$/.exec(location.hash);
    if (found) select(Number(found[1]), null);
  }
  window.addEventListener('hashchange', fromFragment);
  fromFragment();
})();
)";

void attribute(std::string &out, const std::string &name, const std::string &value)
{
    out += " " + name + "=\"" + escapeHtml(value) + "\"";
}

// data-line, data-level and data-target of an instruction or remark.
void placeAttributes(std::string &out, int line, const Level &level, const Target &target)
{
    attribute(out, "data-line", std::to_string(line));
    attribute(out, "data-level", level.name);
    attribute(out, "data-target", target.name);
}

std::string colourClass(int line)
{
    return "c" + std::to_string(line % paletteSize);
}

std::string styles(std::size_t targets)
{
    std::string out = style;
    for (int i = 0; i < paletteSize; ++i) {
        out += ".c" + std::to_string(i) + " { --h: " + std::to_string(i * hueStep % 360) + "; }\n";
    }
    // A source line is coloured while the shown target has instructions from it.
    for (std::size_t t = 0; t < targets; ++t) {
        const std::string shown = ".show-t" + std::to_string(t);
        const std::string code = ".code-t" + std::to_string(t);
        out += shown + " .src" + code + " { background: hsl(var(--h) 80% 91%); }\n";
        out += shown + " .src" + code + ".selected { background: hsl(var(--h) 80% 80%); }\n";
        for (const char *shownWith : {" .remark.t", " .facts.t", " .summary.t"}) {
            out += shown + shownWith + std::to_string(t) + " { display: block; }\n";
        }
    }
    return out;
}

void renderRemark(std::string &out, const Remark &remark, const Level &level, const Target &target,
                  std::size_t index)
{
    out +=
        "<div class=\"remark t" + std::to_string(index) + (remark.missed ? " missed" : "") + "\"";
    placeAttributes(out, remark.line, level, target);
    out += "><span class=\"lvl\">" + escapeHtml(level.name) + (remark.missed ? " not done" : "") +
           "</span>";
    out += escapeHtml(remark.text) + "</div>\n";
}

void renderSource(std::string &out, const Exploration &exploration)
{
    const int count = static_cast<int>(exploration.sourceLines.size());
    // What each level's instructions of a line add up to, and which targets have
    // instructions from each line, for the colouring.
    std::vector<std::vector<std::map<int, Tally>>> tallies(exploration.targets.size());
    std::vector<std::set<std::size_t>> code(exploration.sourceLines.size() + 1);
    for (std::size_t t = 0; t < exploration.targets.size(); ++t) {
        for (const Level &level : exploration.targets[t].levels) {
            tallies[t].push_back(byLine(level));
            for (const auto &[line, tally] : tallies[t].back()) {
                if (line > 0 && line <= count) {
                    code[line].insert(t);
                }
            }
        }
    }
    auto remarksAt = [&](auto &&take) {
        for (std::size_t t = 0; t < exploration.targets.size(); ++t) {
            const Target &target = exploration.targets[t];
            for (const Level &level : target.levels) {
                for (const Remark &remark : level.remarks) {
                    if (take(remark.line)) {
                        renderRemark(out, remark, level, target, t);
                    }
                }
            }
        }
    };

    out += "<section class=\"column source\">\n<h2>" + escapeHtml(exploration.title) +
           " <small>source</small></h2>\n";
    // Remarks the compiler tied to no line of this file come first.
    remarksAt([&](int line) { return line < 1 || line > count; });
    for (int line = 1; line <= count; ++line) {
        out += "<div class=\"src " + colourClass(line);
        for (std::size_t t : code[line]) {
            out += " code-t" + std::to_string(t);
        }
        out += "\"";
        attribute(out, "data-line", std::to_string(line));
        out += "><span class=\"no\">" + std::to_string(line) + "</span><span class=\"text\">" +
               escapeHtml(exploration.sourceLines[line - 1]) + "</span></div>\n";
        // What each level of each target made of the line, as the terminal says it.
        for (std::size_t t : code[line]) {
            out += "<div class=\"facts t" + std::to_string(t) + "\"";
            attribute(out, "data-line", std::to_string(line));
            out += ">";
            for (std::size_t l = 0; l < tallies[t].size(); ++l) {
                auto it = tallies[t][l].find(line);
                out += std::string(l == 0 ? "" : "\n") + "<span class=\"lvl\">" +
                       escapeHtml(exploration.targets[t].levels[l].name) + "</span> " +
                       escapeHtml(it == tallies[t][l].end() ? "no code" : lineFacts(it->second));
            }
            out += "</div>\n";
        }
        remarksAt([&](int at) { return at == line; });
    }
    out += "</section>\n";
}

void renderLevel(std::string &out, const Target &target, std::size_t index, const Level &level)
{
    std::size_t instructions = 0;
    for (const Function &function : level.functions) {
        instructions += function.code.size();
    }
    out += "<section class=\"column asm\"";
    attribute(out, "data-index", std::to_string(index));
    attribute(out, "data-level", level.name);
    attribute(out, "data-target", target.name);
    out += index == 0 ? ">" : " hidden>";
    out += "\n<h2>" + escapeHtml(level.name) + " <small>" + escapeHtml(target.name) + " · " +
           std::to_string(codeBytes(level)) + " bytes, " + std::to_string(instructions) +
           " instructions</small></h2>\n";
    if (level.functions.empty()) {
        out += "<div class=\"empty\">no code</div>\n";
    }
    for (const Function &function : level.functions) {
        out += "<h3 class=\"fn\"";
        attribute(out, "data-level", level.name);
        attribute(out, "data-target", target.name);
        out += "><span class=\"name\">" + escapeHtml(function.name) + "</span> <span " +
               "class=\"size\">" + std::to_string(function.size) + " bytes</span>";
        if (!function.global) {
            out += " <span class=\"scope\">(static)</span>";
        }
        out += "</h3>\n";
        for (const Instruction &insn : function.code) {
            out += "<div class=\"insn";
            if (insn.line > 0) {
                out += " line " + colourClass(insn.line);
            }
            out += "\"";
            placeAttributes(out, insn.line, level, target);
            // What the instruction does to memory and which variables it names, as a tooltip
            // and a small note after it.
            std::vector<std::string> facts, names;
            if (insn.readsMemory || insn.writesMemory) {
                facts.push_back(std::string(insn.readsMemory ? "reads" : "") +
                                (insn.readsMemory && insn.writesMemory ? " and " : "") +
                                (insn.writesMemory ? "writes" : "") + " memory");
            }
            for (const VariableUse &use : insn.variables) {
                facts.push_back("variable " + use.symbol +
                                (use.reads || use.writes ? "" : " (its address)"));
                names.push_back(use.symbol);
            }
            for (const std::string &name : insn.locals) {
                facts.push_back("local " + name);
                names.push_back(name);
            }
            if (!facts.empty()) {
                attribute(out, "title", joined(facts, "; "));
            }
            const std::string note = std::string(insn.readsMemory ? "R" : "") +
                                     (insn.writesMemory ? "W" : "") +
                                     (names.empty() ? "" : " " + joined(names, " "));
            char offset[24];
            std::snprintf(offset, sizeof offset, "%llx",
                          static_cast<unsigned long long>(insn.offset));
            out += "><span class=\"off\">" + std::string(offset) + "</span><span class=\"asm\">" +
                   escapeHtml(insn.text) + "</span><span class=\"mem\">" + escapeHtml(note) +
                   "</span><span class=\"ln\">" +
                   (insn.line > 0 ? std::to_string(insn.line) : std::string()) + "</span></div>\n";
        }
    }
    out += "</section>\n";
}

// The summary of each target, shown with its target: a sentence about lines selects them.
void renderSummaries(std::string &out, const std::vector<Target> &targets)
{
    for (std::size_t t = 0; t < targets.size(); ++t) {
        out += "<section class=\"summary t" + std::to_string(t) + "\"";
        attribute(out, "data-target", targets[t].name);
        out += ">\n<h2>Summary <small>" + escapeHtml(targets[t].name) + "</small></h2>\n<ul>\n";
        for (const Sentence &sentence : summarize(targets[t])) {
            out += "<li";
            if (!sentence.lines.empty()) {
                std::string lines;
                for (int line : sentence.lines) {
                    lines += (lines.empty() ? "" : " ") + std::to_string(line);
                }
                out += " class=\"linked\"";
                attribute(out, "data-lines", lines);
            }
            out += ">" + escapeHtml(sentence.text) + "</li>\n";
        }
        out += "</ul>\n</section>\n";
    }
}

} // namespace

std::string escapeHtml(const std::string &text)
{
    static const std::map<char, std::string> entities = {
        {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"}};
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto entity = entities.find(c);
        if (entity != entities.end()) {
            out += entity->second;
        } else {
            out += c;
        }
    }
    return out;
}

std::string renderPage(const Exploration &exploration)
{
    const auto &targets = exploration.targets;
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<title>" + escapeHtml(exploration.title) + " · optimisation explorer</title>\n";
    out += "<style>" + styles(targets.size()) + "</style>\n</head>\n<body class=\"show-t0\">\n";

    out += "<header>\n<h1>" + escapeHtml(exploration.title) + "</h1>\n";
    out += "<span class=\"path\">" + escapeHtml(exploration.sourcePath) + "</span>\n";
    if (targets.size() > 1) {
        out += "<nav class=\"targets\">";
        for (std::size_t t = 0; t < targets.size(); ++t) {
            out += t == 0 ? "<button class=\"target active\"" : "<button class=\"target\"";
            attribute(out, "data-target", targets[t].name);
            attribute(out, "data-index", std::to_string(t));
            attribute(out, "aria-pressed", t == 0 ? "true" : "false");
            out += ">" + escapeHtml(targets[t].name) + "</button>";
        }
        out += "</nav>\n";
    } else if (targets.size() == 1) {
        out += "<span class=\"path\">" + escapeHtml(targets[0].name) + "</span>\n";
    }
    out += "<span class=\"hint\">click a line or an instruction to follow it</span>\n";
    out += "</header>\n";
    renderSummaries(out, targets);
    out += "<main>\n";

    // The first level of every target left of the source, the others right of it; only the
    // shown target's columns are visible.
    for (std::size_t t = 0; t < targets.size(); ++t) {
        if (!targets[t].levels.empty()) {
            renderLevel(out, targets[t], t, targets[t].levels.front());
        }
    }
    renderSource(out, exploration);
    for (std::size_t t = 0; t < targets.size(); ++t) {
        for (std::size_t l = 1; l < targets[t].levels.size(); ++l) {
            renderLevel(out, targets[t], t, targets[t].levels[l]);
        }
    }
    out += "</main>\n<script>" + std::string(script) + "</script>\n</body>\n</html>\n";
    return out;
}

} // namespace explorer
