// The explorer's page in headless Chromium: what it shows once loaded, and what a real
// mouse click on a source line, an instruction or a target button does to it.
#include "browser.h"
#include "html.h"
#include "summary.h"
#include "run_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace harness
{
namespace
{

using explorer::Exploration;
using explorer::Function;
using explorer::Instruction;
using explorer::Level;
using explorer::Remark;
using explorer::Target;

Function function(const std::string &name, bool global, const std::vector<int> &lines)
{
    Function f;
    f.symbol = f.name = f.shortName = name;
    f.global = global;
    for (const int line : lines) {
        Instruction insn;
        insn.offset = f.size;
        insn.text =
            "op" + std::to_string(f.code.size()) + " <x> & \"" + std::to_string(line) + "\"";
        insn.line = line;
        f.code.push_back(insn);
        f.size += 4;
    }
    return f;
}

// Lines 1 and 5 have no code anywhere; line 2 has code for arm only; line 4 in every level.
Exploration fake()
{
    Exploration e;
    e.title = "page <demo> & \"friends\"";
    e.sourcePath = "/src/page&demo.cpp";
    e.sourceLines = {
        "#include <cstdio>",
        "static int twice(int v) { return v << 1 & 0xff; } // 'x' \"y\"",
        "int main(int argc, char **) {",
        "\tif (argc < 2 && argc > 0) std::printf(\"<b>%d</b>&amp;\\n\", twice(argc));",
        "",
        "    return 0;",
        "}",
    };
    Target x86{"x86-64", {}};
    x86.levels.push_back({"-O0", {function("main", true, {3, 3, 4, 4, 4, 6, 7})}, {}, {}});
    x86.levels.push_back({"-O2", {function("main", true, {4, 4, 0, 6})}, {}, {}});
    x86.levels.push_back({"-Os", {function("main", true, {4, 6, 6})}, {}, {}});
    x86.levels[1].remarks.push_back(
        {4, 7, false, "inline", "main", "Inlining int twice(int)/1 into \"int main()\" & <more>."});
    Target arm{"arm", {}};
    arm.levels.push_back(
        {"-O0",
         {function("twice<int>", false, {2, 2, 2}), function("main", true, {3, 4, 6, 7})},
         {},
         {}});
    arm.levels.push_back({"-O2", {function("main", true, {4, 6})}, {}, {}});
    arm.levels.push_back({"-Os", {function("main", true, {4, 4, 6})}, {}, {}});
    arm.levels[2].remarks.push_back({6, 5, false, "loop", "main", "loop turned into a <branch>"});
    e.targets = {x86, arm};
    return e;
}

// "insn LINE TARGET LEVEL" for every instruction of a line ("" for every line), with
// "src LINE" first when a source line is meant too, sorted.
std::vector<std::string> rowsOf(const Exploration &e, int line, const std::string &target = "")
{
    std::vector<std::string> rows;
    if (line > 0) {
        rows.push_back("src " + std::to_string(line));
    }
    for (const Target &t : e.targets) {
        for (const Level &level : t.levels) {
            for (const Function &f : level.functions) {
                for (const Instruction &insn : f.code) {
                    if ((line == 0 || insn.line == line) && (target.empty() || t.name == target)) {
                        rows.push_back("insn " + std::to_string(insn.line) + " " + t.name + " " +
                                       level.name);
                    }
                }
            }
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::string> strings(const Json &value)
{
    std::vector<std::string> out;
    for (const Json &item : value) {
        out.push_back(item.is_string() ? item.get<std::string>() : item.dump());
    }
    return out;
}

// The same "src/insn LINE TARGET LEVEL" rows for the elements the expression selects.
const std::string rows = R"(
  (selector) => [...document.querySelectorAll(selector)]
    .map(e => e.classList.contains('src') ? 'src ' + e.dataset.line
              : 'insn ' + e.dataset.line + ' ' + e.dataset.target + ' ' + e.dataset.level)
    .sort())";

class PageTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        file = std::filesystem::temp_directory_path() /
               ("labs-page-test-" + std::to_string(getpid()) + ".html");
        std::ofstream(file) << explorer::renderPage(fake());
    }
    static void TearDownTestSuite()
    {
        browser.reset();
        std::filesystem::remove(file);
    }
    void SetUp() override
    {
        try {
            if (!browser) {
                browser = std::make_unique<Browser>();
            }
            page = browser->open("file://" + file.string());
        } catch (const std::exception &error) {
            FAIL() << error.what();
        }
    }
    void TearDown() override
    {
        if (page) {
            EXPECT_EQ(page->errors(), std::vector<std::string>{});
        }
    }

    std::vector<std::string> select(const std::string &selector)
    {
        return strings(page->evaluate("(" + rows + ")(" + jsonString(selector) + ")"));
    }
    std::string background(const std::string &selector)
    {
        return page
            ->evaluate("getComputedStyle(document.querySelector(" + jsonString(selector) +
                       ")).backgroundColor")
            .get<std::string>();
    }

    static inline std::filesystem::path file;
    static inline std::unique_ptr<Browser> browser;
    std::unique_ptr<Page> page;
    const Exploration facts = fake();
};

TEST_F(PageTest, ShowsEverySourceLineInstructionFunctionAndRemark)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < facts.sourceLines.size(); ++i) {
        lines.push_back(std::to_string(i + 1) + " " + facts.sourceLines[i]);
    }
    EXPECT_EQ(strings(page->evaluate(
                  "[...document.querySelectorAll('.src')]"
                  ".map(e => e.dataset.line + ' ' + e.querySelector('.text').textContent)")),
              lines);

    std::vector<std::string> code, functions, remarks;
    for (const Target &t : facts.targets) {
        for (const Level &level : t.levels) {
            for (const Function &f : level.functions) {
                functions.push_back(t.name + level.name + " " + f.name + " " +
                                    std::to_string(f.size) + " bytes");
                for (const Instruction &insn : f.code) {
                    code.push_back(t.name + level.name + " " + insn.text);
                }
            }
            for (const Remark &remark : level.remarks) {
                remarks.push_back(t.name + " " + std::to_string(remark.line) + " " + level.name +
                                  remark.text);
            }
        }
    }
    std::sort(code.begin(), code.end());
    std::sort(functions.begin(), functions.end());
    EXPECT_EQ(strings(page->evaluate("[...document.querySelectorAll('.insn')].map(e => "
                                     "e.dataset.target + e.dataset.level + ' ' + "
                                     "e.querySelector('.asm').textContent).sort()")),
              code);
    EXPECT_EQ(strings(page->evaluate("[...document.querySelectorAll('h3.fn')].map(e => "
                                     "e.dataset.target + e.dataset.level + ' ' + "
                                     "e.querySelector('.name').textContent + ' ' + "
                                     "e.querySelector('.size').textContent).sort()")),
              functions);
    EXPECT_EQ(strings(page->evaluate("[...document.querySelectorAll('.remark')].map(e => "
                                     "e.dataset.target + ' ' + e.dataset.line + ' ' + "
                                     "e.textContent)")),
              remarks);
    EXPECT_EQ(strings(page->evaluate(
                  "[...document.querySelectorAll('button.target')].map(e => e.dataset.target)")),
              (std::vector<std::string>{"x86-64", "arm"}));
    EXPECT_EQ(page->evaluate("document.title"), facts.title + " · optimisation explorer");
}

TEST_F(PageTest, ClickOnALineSelectsItsInstructionsInEveryColumn)
{
    ASSERT_TRUE(page->click(".src[data-line=\"4\"]"));
    EXPECT_EQ(select(".selected"), rowsOf(facts, 4));
    EXPECT_EQ(page->evaluate("location.hash"), "#L4");

    // An instruction selects its own line, here from the -Os column.
    ASSERT_TRUE(page->click(".insn[data-level=\"-Os\"][data-line=\"6\"]"));
    EXPECT_EQ(select(".selected"), rowsOf(facts, 6));
    EXPECT_EQ(page->evaluate("location.hash"), "#L6");

    ASSERT_TRUE(page->hover(".src[data-line=\"3\"]"));
    EXPECT_EQ(select(".hover"), rowsOf(facts, 3));
}

TEST_F(PageTest, TargetButtonShowsTheOtherTargetsCodeAndColours)
{
    const std::string shown = "[...document.querySelectorAll('.insn')]"
                              ".filter(e => e.getClientRects().length > 0)";
    EXPECT_EQ(select(".insn").size(), rowsOf(facts, 0).size());
    EXPECT_EQ(strings(page->evaluate(shown + ".map(e => 'insn ' + e.dataset.line + ' ' + "
                                             "e.dataset.target + ' ' + e.dataset.level).sort()")),
              rowsOf(facts, 0, "x86-64"));
    // A line without code is not coloured; line 2 has code only for arm.
    const std::string none = "rgba(0, 0, 0, 0)";
    EXPECT_EQ(background(".src[data-line=\"1\"]"), none);
    EXPECT_EQ(background(".src[data-line=\"2\"]"), none);
    EXPECT_NE(background(".src[data-line=\"4\"]"), none);
    EXPECT_EQ(background(".src[data-line=\"4\"]"), background(".insn[data-line=\"4\"]"));
    EXPECT_NE(background(".src[data-line=\"4\"]"), background(".src[data-line=\"3\"]"));

    ASSERT_TRUE(page->click("button.target[data-target=\"arm\"]"));
    EXPECT_EQ(strings(page->evaluate(shown + ".map(e => 'insn ' + e.dataset.line + ' ' + "
                                             "e.dataset.target + ' ' + e.dataset.level).sort()")),
              rowsOf(facts, 0, "arm"));
    EXPECT_EQ(background(".src[data-line=\"1\"]"), none);
    EXPECT_NE(background(".src[data-line=\"2\"]"), none);
    EXPECT_EQ(background(".src[data-line=\"2\"]"),
              background(".insn[data-target=\"arm\"][data-line=\"2\"]"));
}

TEST_F(PageTest, FragmentSelectsItsLineOnLoad)
{
    page = browser->open("file://" + file.string() + "#L6");
    EXPECT_EQ(select(".selected"), rowsOf(facts, 6));
}

TEST(PageMarkup, OneTargetHasNoSwitch)
{
    Exploration one = fake();
    one.targets.pop_back();
    const std::string html = explorer::renderPage(one);
    EXPECT_EQ(html.find("<button"), std::string::npos);
    EXPECT_EQ(html.find("data-target=\"arm\""), std::string::npos);
}

// The page says what the terminal says: the summary of each target with its sentences
// linked to their lines, what each level made of a line, and what the compiler did not do.
TEST(PageMarkup, CarriesTheSummaryLineFactsAndMissedOptimisations)
{
    Exploration e = fake();
    e.targets[0].levels[1].remarks.push_back(
        {4, 3, true, "inline", "main", "not inlinable: main -> printf, body not available"});
    const std::string html = explorer::renderPage(e);
    for (const Target &target : e.targets) {
        for (const explorer::Sentence &sentence : explorer::summarize(target)) {
            EXPECT_NE(html.find(">" + explorer::escapeHtml(sentence.text) + "</li>"),
                      std::string::npos)
                << sentence.text;
        }
    }
    EXPECT_NE(html.find("data-lines=\"2\">twice&lt;int&gt; is gone at -O2."), std::string::npos)
        << "no linked sentence";
    EXPECT_NE(html.find("<div class=\"facts t0\" data-line=\"4\"><span class=\"lvl\">-O0</span> "
                        "3 instructions"),
              std::string::npos);
    EXPECT_NE(html.find("remark t0 missed"), std::string::npos);
    EXPECT_NE(html.find("not inlinable: main -&gt; printf"), std::string::npos);
}

// The page opt_explorer writes for each demo on its targets, all in one browser (a
// browser takes seconds to start).
struct Demo {
    std::string name;
    std::vector<std::string> targets;
};

const Demo demos[] = {
    {"optionTest1_globals", {"i386"}},  {"optionTest1", {"arm"}},     {"optionTest2", {"x86-64"}},
    {"optionTest4", {"x86-64", "arm"}}, {"optionTest5", {"x86-64"}},  {"optionTest6", {"x86-64"}},
    {"optionTest7", {"x86-64"}},        {"globalVarOpt", {"x86-64"}}, {"lowCostOp", {"x86-64"}}};

void checkDemoPage(Browser &browser, const Demo &demo)
{
    SCOPED_TRACE(demo.name);
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("labs-page-" + demo.name + "-" + std::to_string(getpid()) + ".html");
    std::vector<std::string> args = {source("optimization/" + demo.name + ".cpp"),
                                     "--name",
                                     demo.name,
                                     "-I",
                                     source("standins/minmax"),
                                     "--html",
                                     file.string()};
    for (const std::string &target : demo.targets) {
        args.insert(args.end(), {"--target", target});
    }
    RunOptions options;
    options.timeout = std::chrono::seconds(120);
    const RunResult made = run(LABS_TOOLS_DIR "/opt_explorer", args, options);
    ASSERT_TRUE(made.exited(0)) << made.err;

    std::unique_ptr<Page> page = browser.open("file://" + file.string());
    std::ifstream in(source("optimization/" + demo.name + ".cpp"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    EXPECT_EQ(strings(page->evaluate("[...document.querySelectorAll('.src .text')]"
                                     ".map(e => e.textContent)")),
              lines);
    // Every level of every target shows code.
    std::vector<std::string> columns;
    for (const std::string &target : demo.targets) {
        for (const char *level : {"-O0", "-O2", "-Os"}) {
            columns.push_back(target + " " + level);
        }
    }
    std::sort(columns.begin(), columns.end());
    EXPECT_EQ(strings(page->evaluate("[...new Set([...document.querySelectorAll('.insn')]"
                                     ".map(e => e.dataset.target + ' ' + e.dataset.level))]"
                                     ".sort()")),
              columns);

    // The line most instructions came from, and what it should select.
    const Json line =
        page->evaluate("(() => { const n = {}; document.querySelectorAll('.insn').forEach("
                       "e => { if (e.dataset.line > 0) n[e.dataset.line] = "
                       "(n[e.dataset.line] || 0) + 1; });"
                       " return Object.keys(n).sort((a, b) => n[b] - n[a])[0]; })()");
    ASSERT_TRUE(line.is_string());
    // Rows (source lines and instructions) by their place in the page.
    const std::string places = "(test) => [...document.querySelectorAll('.src, .insn')]"
                               ".flatMap((e, i) => test(e) ? [String(i)] : [])";
    const std::vector<std::string> expected = strings(page->evaluate(
        "(" + places + ")(e => e.dataset.line === " + jsonString(line.get<std::string>()) + ")"));
    ASSERT_TRUE(page->click(".src[data-line=\"" + line.get<std::string>() + "\"]"));
    EXPECT_EQ(strings(page->evaluate("(" + places + ")(e => e.classList.contains('selected'))")),
              expected);

    // At 1400 pixels nothing runs out of its column, and neighbouring lines never share a
    // colour.
    EXPECT_EQ(strings(page->evaluate("[...document.querySelectorAll('.column')]"
                                     ".filter(c => !c.hidden && c.scrollWidth > c.clientWidth)"
                                     ".map(c => c.dataset.target + ' ' + c.dataset.level)")),
              std::vector<std::string>{});
    EXPECT_EQ(strings(page->evaluate(
                  "(() => { const bg = {}; document.querySelectorAll('.insn.line').forEach(e =>"
                  " { bg[e.dataset.line] = getComputedStyle(e).backgroundColor; });"
                  " return Object.keys(bg).filter(n => bg[Number(n) + 1] === bg[n]); })()")),
              std::vector<std::string>{});

    // A sentence of the summary about lines selects exactly those lines.
    const Json said = page->evaluate(
        "(() => { const li = [...document.querySelectorAll('.summary li[data-lines]')]"
        ".find(e => e.offsetParent !== null); return li ? li.dataset.lines : ''; })()");
    if (said.is_string() && !said.get<std::string>().empty()) {
        ASSERT_TRUE(page->click(".summary li[data-lines=\"" + said.get<std::string>() + "\"]"));
        EXPECT_EQ(page->evaluate("[...document.querySelectorAll('.src.selected')]"
                                 ".map(e => e.dataset.line).join(' ')"),
                  said);
    }
    EXPECT_EQ(page->errors(), std::vector<std::string>{});
    std::filesystem::remove(file);
}

TEST(DemoPages, ShowEveryLineAndAClickSelectsThatLinesCode)
{
    try {
        Browser browser;
        for (const Demo &demo : demos) {
            checkDemoPage(browser, demo);
        }
    } catch (const std::exception &error) {
        ADD_FAILURE() << error.what();
    }
}

} // namespace
} // namespace harness
