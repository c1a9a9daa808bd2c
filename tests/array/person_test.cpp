// srh and del driven through standard input: the exact prompt and trace bytes, which
// records match, what del removes and releases, and how a typed line is read.
#include "run_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace harness
{
namespace
{

const std::string prompt =
    "\xEC\x9D\xB4\xEB\xA6\x84\xEC\x9D\x84 \xEC\x9E\x85\xEB\xA0\xA5\xED\x95\x98"
    "\xEC\x84\xB8\xEC\x9A\x94 -> "; // "이름을 입력하세요 -> "

struct PersonCase {
    const char *title;
    const char *operation; // "srh" or "del"
    std::vector<std::string> records;
    std::string input;
    std::string out;    // the library's own output, exact
    std::string report; // the driver's report: returned, left, released, unread
};

std::string traced(int i, const std::string &name)
{
    return "case 3 -> [" + std::to_string(i) + "]name : " + name + "\n";
}

std::string shown(int i, const std::string &name, const std::string &age, const std::string &height)
{
    const std::string at = "[" + std::to_string(i) + "] ";
    return at + "Name:\t" + name + "\n" + at + "Age:\t" + age + "\n" + at + "Height:\t " + height +
           "\n";
}

const std::vector<std::string> alphaBetaAlpha = {"alpha:30:170.5", "beta:25:160",
                                                 "alpha:41:182.25"};
// For the name Alpha: the same name in other case, the name itself, a longer name it begins.
const std::vector<std::string> wholeNameAndCase = {"alpha:1:1", "Alpha:2:2", "Alphabet:3:3"};

const PersonCase cases[] = {
    {"SearchEmptyArray", "srh", {}, "alpha\n", prompt, "returned 0\nleft:\nreleased 0\nunread: \n"},
    {"SearchShowsEveryMatchAfterItsTrace", "srh", alphaBetaAlpha, "alpha\n",
     prompt + traced(0, "alpha") + shown(0, "alpha", "30", "170.500000") + traced(1, "beta") +
         traced(2, "alpha") + shown(2, "alpha", "41", "182.250000"),
     "returned 0\nleft: alpha beta alpha\nreleased 0\nunread: \n"},
    {"SearchIsWholeNameAndCaseSensitive", "srh", wholeNameAndCase, "Alpha\nalpha\n",
     prompt + traced(0, "alpha") + traced(1, "Alpha") + shown(1, "Alpha", "2", "2.000000") +
         traced(2, "Alphabet"),
     "returned 0\nleft: alpha Alpha Alphabet\nreleased 0\nunread: alpha\n\n"},
    {"LastLineWithoutLineBreakKeepsItsLastCharacter",
     "srh",
     {"beta:25:160"},
     "beta",
     prompt + traced(0, "beta") + shown(0, "beta", "25", "160.000000"),
     "returned 0\nleft: beta\nreleased 0\nunread: \n"},
    {"LongLineKeepsNineteenCharactersAndSkipsTheRest",
     "srh",
     {"abcdefghijklmnopqrs:19:1.5"},
     "abcdefghijklmnopqrsTUVWXYZ\n4\n",
     prompt + traced(0, "abcdefghijklmnopqrs") + shown(0, "abcdefghijklmnopqrs", "19", "1.500000"),
     "returned 0\nleft: abcdefghijklmnopqrs\nreleased 0\nunread: 4\n\n"},
    {"EndOfInputIsTheEmptyName",
     "srh",
     {"alpha:30:170.5"},
     "",
     prompt + traced(0, "alpha"),
     "returned 0\nleft: alpha\nreleased 0\nunread: \n"},
    {"SearchWithWrongTagScansNothing",
     "srh",
     {"alpha:30:170.5", "--wrong-tag"},
     "alpha\n",
     prompt,
     "returned 0\nleft: alpha\nreleased 0\nunread: \n"},
    {"DeleteEmptyArray", "del", {}, "alpha\n", prompt, "returned 0\nleft:\nreleased 0\nunread: \n"},
    {"DeleteRemovesAndReleasesEveryMatch", "del", alphaBetaAlpha, "alpha\n", prompt,
     "returned 0\nleft: beta\nreleased 2\nunread: \n"},
    {"DeleteRemovesAdjacentMatches",
     "del",
     {"alpha:1:1", "alpha:2:2", "beta:3:3", "alpha:4:4", "alpha:5:5"},
     "alpha\n",
     prompt,
     "returned 0\nleft: beta\nreleased 4\nunread: \n"},
    {"DeleteIsWholeNameAndCaseSensitive", "del", wholeNameAndCase, "Alpha\nalpha\n", prompt,
     "returned 0\nleft: alpha Alphabet\nreleased 1\nunread: alpha\n\n"},
    {"DeleteWithoutMatchChangesNothing", "del", alphaBetaAlpha, "gamma\nbeta\n", prompt,
     "returned 0\nleft: alpha beta alpha\nreleased 0\nunread: beta\n\n"},
    {"DeleteWithWrongTagRemovesNothing",
     "del",
     {"alpha:30:170.5", "--wrong-tag"},
     "alpha\n",
     prompt,
     "returned 0\nleft: alpha\nreleased 0\nunread: \n"},
};

void PrintTo(const PersonCase &c, std::ostream *os)
{
    *os << c.title;
}

class PersonTest : public ::testing::TestWithParam<PersonCase>
{
};

TEST_P(PersonTest, ReadsTheNameAndPrintsExactly)
{
    const PersonCase &c = GetParam();
    std::vector<std::string> args = {lib(std::string("libarray_") + c.operation + ".so"),
                                     c.operation};
    args.insert(args.end(), c.records.begin(), c.records.end());
    RunOptions options;
    options.input = c.input;
    const RunResult result = run(testProgram("person_driver"), args, options);
    EXPECT_SAME_OUTPUT(result.out, c.out);
    EXPECT_EQ(result.err, c.report);
    EXPECT_TRUE(result.exited(0));
}

INSTANTIATE_TEST_SUITE_P(SrhAndDel, PersonTest, ::testing::ValuesIn(cases),
                         [](const auto &info) { return std::string(info.param.title); });

} // namespace
} // namespace harness
