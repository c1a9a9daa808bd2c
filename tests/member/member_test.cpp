// libmember's five operations driven through standard input, each case run twice: with
// the recording double of libvecbox, whose call lines show the exact order of the
// component calls among the prompts, and with the stand-in, where only the library's own
// bytes appear. Both must leave the same records, release the same and leave input unread.
#include "run_process.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace harness
{
namespace
{

const std::string joinPrompts = "Enter name -> Enter tel no -> Enter mileage -> ";
const std::string searchPrompt = "Enter name that you want to search -> ";
const std::string revisePrompt = "Enter name that you want to revise -> ";
const std::string newValuePrompts = "Enter new tel no -> Enter new mileage -> ";
const std::string deletePrompt = "Enter name that you want to delete -> ";

// One line of the double's call log.
std::string call(const std::string &text)
{
    return "[" + text + "]\n";
}

std::string size(int count)
{
    return call("CheckSize " + std::to_string(count));
}

std::string get(int index, const std::string &name)
{
    return call("GetArray " + std::to_string(index) + " " + name);
}

std::string shown(const std::string &name, const std::string &telNo, const std::string &mileage)
{
    return "name : " + name + "\ntel no : " + telNo + "\nmileage : " + mileage + "\n\n";
}

std::string found(const std::string &name, const std::string &telNo, const std::string &mileage)
{
    return "Found!\n" + shown(name, telNo, mileage);
}

std::string notFound(const std::string &name)
{
    return "error : there isn't [" + name + "] in DB\n\n";
}

// The driver's report: what join returned, the records left (name|tel no|mileage),
// how many blocks were released during the operation, the input left unread, and
// how many of the records left the component released when it was destroyed.
std::string report(const std::vector<std::string> &left, int released, const std::string &unread,
                   const std::string &returned = "")
{
    std::string text = returned.empty() ? "" : "returned " + returned + "\n";
    text += "left:";
    for (const std::string &record : left) {
        text += " " + record;
    }
    const std::string kept = std::to_string(left.size());
    return text + "\nreleased " + std::to_string(released) + "\nunread: " + unread +
           "\ndestroy released " + kept + " of " + kept + "\n";
}

struct MemberCase {
    const char *title;
    const char *operation;
    std::vector<std::string> records; // name:tel:mileage, or --fail-alloc
    std::string input;
    std::string transcript; // standard output with the double's call lines
    std::string report;
    std::string answer = ""; // NAME=value: what the double answers instead of the truth
};

void PrintTo(const MemberCase &c, std::ostream *os)
{
    *os << c.title;
}

const std::vector<std::string> alphaBetaAlpha = {"alpha:111:1.5", "beta:222:2", "alpha:333:3.25"};
const std::vector<std::string> alphaBetaAlphaLeft = {"alpha|111|1.5", "beta|222|2",
                                                     "alpha|333|3.25"};

const MemberCase joinCases[] = {
    {"JoinReadsEverythingThenAddsOnce",
     "join",
     {},
     "alpha\n010-1234-5678\n1234.56\n",
     joinPrompts + call("AddArray alpha|010-1234-5678|1234.56"),
     report({"alpha|010-1234-5678|1234.56"}, 0, "", "0")},
    {"JoinAppendsAfterTheOthers",
     "join",
     {"alpha:111:1.5"},
     "beta\n222\n2\n",
     joinPrompts + call("AddArray beta|222|2"),
     report({"alpha|111|1.5", "beta|222|2"}, 0, "", "0")},
    {"JoinLongNameKeepsNineteenAndTelNoReadsTheNextLine",
     "join",
     {},
     "abcdefghijklmnopqrstuvwxy\n010\n5\n",
     joinPrompts + call("AddArray abcdefghijklmnopqrs|010|5"),
     report({"abcdefghijklmnopqrs|010|5"}, 0, "", "0")},
    {"JoinLongTelNoKeepsFifteen",
     "join",
     {},
     "alpha\n0123456789abcdefgh\n7\n",
     joinPrompts + call("AddArray alpha|0123456789abcde|7"),
     report({"alpha|0123456789abcde|7"}, 0, "", "0")},
    {"JoinKeepsBlanksTabsAndUtf8",
     "join",
     {},
     " Kim\tMin su \n\xEA\xB9\x80 02 \n1\n",
     joinPrompts + call("AddArray  Kim\tMin su |\xEA\xB9\x80 02 |1"),
     report({" Kim\tMin su |\xEA\xB9\x80 02 |1"}, 0, "", "0")},
    {"JoinMileageDropsTheRestOfItsLine",
     "join",
     {},
     "alpha\n010\n12.5 km\n2\n",
     joinPrompts + call("AddArray alpha|010|12.5"),
     report({"alpha|010|12.5"}, 0, "2\n", "0")},
    {"JoinMileageAfterBlanks",
     "join",
     {},
     "alpha\n010\n \t42\n",
     joinPrompts + call("AddArray alpha|010|42"),
     report({"alpha|010|42"}, 0, "", "0")},
    {"JoinMileageWithoutNumberIsZero",
     "join",
     {},
     "alpha\n010\nmany\n2\n",
     joinPrompts + call("AddArray alpha|010|0"),
     report({"alpha|010|0"}, 0, "2\n", "0")},
    {"JoinHalfANumberLeavesTheNextLineAlone",
     "join",
     {},
     "alpha\n010\nn\n\n2\n",
     joinPrompts + call("AddArray alpha|010|0"),
     report({"alpha|010|0"}, 0, "\n2\n", "0")},
    {"JoinMileageAfterEmptyAndBlankLines",
     "join",
     {},
     "alpha\n010\n\n" + std::string(100, ' ') + "\n 2 km\nnext\n",
     joinPrompts + call("AddArray alpha|010|2"),
     report({"alpha|010|2"}, 0, "next\n", "0")},
    {"JoinMileagePastFloatIsZero",
     "join",
     {},
     "alpha\n010\n1e39\nnext\n",
     joinPrompts + call("AddArray alpha|010|0"),
     report({"alpha|010|0"}, 0, "next\n", "0")},
    {"JoinEndOfInputAfterBlankLinesIsZero",
     "join",
     {},
     "alpha\n010\n\n \n",
     joinPrompts + call("AddArray alpha|010|0"),
     report({"alpha|010|0"}, 0, "", "0")},
    {"JoinMileageAtEndOfInputWithoutLineBreak",
     "join",
     {},
     "alpha\n010\n7.25",
     joinPrompts + call("AddArray alpha|010|7.25"),
     report({"alpha|010|7.25"}, 0, "", "0")},
    {"JoinEndOfInputInTelNo",
     "join",
     {},
     "alpha\n01",
     joinPrompts + call("AddArray alpha|01|0"),
     report({"alpha|01|0"}, 0, "", "0")},
    {"JoinEndOfInputGivesEmptyTextsAndZero",
     "join",
     {},
     "",
     joinPrompts + call("AddArray ||0"),
     report({"||0"}, 0, "", "0")},
    {"JoinAllocationFailureReadsAndAddsNothing",
     "join",
     {"alpha:111:1.5", "--fail-alloc"},
     "beta\n222\n2\n",
     "error : joinMember_malloc\n",
     report({"alpha|111|1.5"}, 0, "beta\n222\n2\n", "-1")},
};

const MemberCase showCases[] = {
    {"ShowEmptyPrintsNothingAndReadsNothing",
     "show",
     {},
     "alpha\n",
     size(0),
     report({}, 0, "alpha\n")},
    {"ShowListsEveryMemberInOrderWithOneDecimal",
     "show",
     {"alpha:010-1234-5678:1234.56", "beta:222:2", "gamma::0"},
     "",
     size(3) + get(0, "alpha") + shown("alpha", "010-1234-5678", "1234.6") + get(1, "beta") +
         shown("beta", "222", "2.0") + get(2, "gamma") + shown("gamma", "", "0.0"),
     report({"alpha|010-1234-5678|1234.56", "beta|222|2", "gamma||0"}, 0, "")},
};

const MemberCase searchCases[] = {
    {"SearchEmptyReportsNotFound",
     "search",
     {},
     "alpha\n",
     searchPrompt + size(0) + notFound("alpha"),
     report({}, 0, "")},
    {"SearchFindsOnlyTheLowerIndexOfTwo", "search", alphaBetaAlpha, "alpha\n",
     searchPrompt + size(3) + get(0, "alpha") + found("alpha", "111", "1.500000"),
     report(alphaBetaAlphaLeft, 0, "")},
    {"SearchShowsSixDecimalsOfTheSinglePrecisionValue",
     "search",
     {"beta:222:2", "alpha:010-1234-5678:1234.56"},
     "alpha\n",
     searchPrompt + size(2) + get(0, "beta") + get(1, "alpha") +
         found("alpha", "010-1234-5678", "1234.560059"),
     report({"beta|222|2", "alpha|010-1234-5678|1234.56"}, 0, "")},
    {"SearchIsWholeNameAndCaseSensitive", "search", alphaBetaAlpha, "Alpha\nalph\n",
     searchPrompt + size(3) + get(0, "alpha") + get(1, "beta") + get(2, "alpha") +
         notFound("Alpha"),
     report(alphaBetaAlphaLeft, 0, "alph\n")},
    {"SearchLongNameKeepsNineteenAndSkipsTheRest",
     "search",
     {"abcdefghijklmnopqrs:1:1"},
     "abcdefghijklmnopqrstuvwxy\nnext\n",
     searchPrompt + size(1) + get(0, "abcdefghijklmnopqrs") +
         found("abcdefghijklmnopqrs", "1", "1.000000"),
     report({"abcdefghijklmnopqrs|1|1"}, 0, "next\n")},
    {"SearchLastLineWithoutLineBreakKeepsEveryCharacter",
     "search",
     {"beta:222:2"},
     "beta",
     searchPrompt + size(1) + get(0, "beta") + found("beta", "222", "2.000000"),
     report({"beta|222|2"}, 0, "")},
    {"SearchEndOfInputIsTheEmptyName", "search", alphaBetaAlpha, "",
     searchPrompt + size(3) + get(0, "alpha") + get(1, "beta") + get(2, "alpha") + notFound(""),
     report(alphaBetaAlphaLeft, 0, "")},
};

const MemberCase reviseCases[] = {
    {"ReviseEmptyReportsNotFoundAndReadsNoMore",
     "revise",
     {},
     "alpha\n999\n9.5\n",
     revisePrompt + size(0) + notFound("alpha"),
     report({}, 0, "999\n9.5\n")},
    {"ReviseReplacesOnlyTheLowerIndexOfTwo", "revise", alphaBetaAlpha, "alpha\n999\n9.5\n",
     revisePrompt + size(3) + get(0, "alpha") + newValuePrompts + call("SetArray 0 alpha|999|9.5"),
     report({"alpha|999|9.5", "beta|222|2", "alpha|333|3.25"}, 1, "")},
    {"ReviseKeepsTheIndexAndTheName", "revise", alphaBetaAlpha, "beta\n0101\n1234.56\n",
     revisePrompt + size(3) + get(0, "alpha") + get(1, "beta") + newValuePrompts +
         call("SetArray 1 beta|0101|1234.56"),
     report({"alpha|111|1.5", "beta|0101|1234.56", "alpha|333|3.25"}, 1, "")},
    {"ReviseNotFoundChangesNothing", "revise", alphaBetaAlpha, "gamma\n999\n",
     revisePrompt + size(3) + get(0, "alpha") + get(1, "beta") + get(2, "alpha") +
         notFound("gamma"),
     report(alphaBetaAlphaLeft, 0, "999\n")},
    {"ReviseMileageDropsTheRestOfItsLine",
     "revise",
     {"beta:222:2"},
     "beta\n555\n3.5 more\nnext\n",
     revisePrompt + size(1) + get(0, "beta") + newValuePrompts + call("SetArray 0 beta|555|3.5"),
     report({"beta|555|3.5"}, 1, "next\n")},
    {"ReviseLongTelNoKeepsFifteen",
     "revise",
     {"beta:222:2"},
     "beta\n0123456789abcdefgh\n1\n",
     revisePrompt + size(1) + get(0, "beta") + newValuePrompts +
         call("SetArray 0 beta|0123456789abcde|1"),
     report({"beta|0123456789abcde|1"}, 1, "")},
    {"ReviseAllocationFailureChangesNothing",
     "revise",
     {"alpha:111:1.5", "--fail-alloc"},
     "alpha\n999\n9.5\n",
     revisePrompt + size(1) + get(0, "alpha") + "error : reviseMember_malloc\n",
     report({"alpha|111|1.5"}, 0, "999\n9.5\n")},
    {"ReviseEndOfInputAfterTheName",
     "revise",
     {"alpha:111:1.5"},
     "alpha",
     revisePrompt + size(1) + get(0, "alpha") + newValuePrompts + call("SetArray 0 alpha||0"),
     report({"alpha||0"}, 1, "")},
};

const MemberCase deleteCases[] = {
    {"DeleteEmptyReportsNotFound",
     "delete",
     {},
     "alpha\n",
     deletePrompt + size(0) + notFound("alpha"),
     report({}, 0, "")},
    {"DeleteRemovesOnlyTheLowerIndexOfTwo", "delete", alphaBetaAlpha, "alpha\n",
     deletePrompt + size(3) + get(0, "alpha") + call("RemoveArray 0"),
     report({"beta|222|2", "alpha|333|3.25"}, 1, "")},
    {"DeleteALaterMember", "delete", alphaBetaAlpha, "beta\nalpha\n",
     deletePrompt + size(3) + get(0, "alpha") + get(1, "beta") + call("RemoveArray 1"),
     report({"alpha|111|1.5", "alpha|333|3.25"}, 1, "alpha\n")},
    {"DeleteNotFoundChangesNothing", "delete", alphaBetaAlpha, "gamma\n",
     deletePrompt + size(3) + get(0, "alpha") + get(1, "beta") + get(2, "alpha") +
         notFound("gamma"),
     report(alphaBetaAlphaLeft, 0, "")},
    {"DeleteLongNameKeepsNineteenAndSkipsTheRest",
     "delete",
     {"abcdefghijklmnopqrs:1:1"},
     "abcdefghijklmnopqrstuvwxy\nnext\n",
     deletePrompt + size(1) + get(0, "abcdefghijklmnopqrs") + call("RemoveArray 0"),
     report({}, 1, "next\n")},
};

// Answers the double gives instead of the truth; the stand-in never does this.
const MemberCase doubleAnswerCases[] = {
    {"JoinPassesOnAPositiveAddResult",
     "join",
     {"alpha:111:1.5"},
     "beta\n222\n2\n",
     joinPrompts + call("AddArray beta|222|2"),
     report({"alpha|111|1.5", "beta|222|2"}, 0, "", "7"),
     "VECBOX_DOUBLE_ADDED=7"},
    {"JoinPassesOnANegativeAddResult",
     "join",
     {},
     "beta\n222\n2\n",
     joinPrompts + call("AddArray beta|222|2"),
     report({"beta|222|2"}, 0, "", "-5"),
     "VECBOX_DOUBLE_ADDED=-5"},
    {"NegativeCountSearchesNothingAndReportsNothing",
     "search",
     {"alpha:111:1.5"},
     "alpha\n",
     searchPrompt + size(-1),
     report({"alpha|111|1.5"}, 0, ""),
     "VECBOX_DOUBLE_COUNT=-1"},
    {"NegativeCountRevisesNothingAndReportsNothing",
     "revise",
     {"alpha:111:1.5"},
     "alpha\n999\n",
     revisePrompt + size(-1),
     report({"alpha|111|1.5"}, 0, "999\n"),
     "VECBOX_DOUBLE_COUNT=-1"},
    {"NegativeCountDeletesNothingAndReportsNothing",
     "delete",
     {"alpha:111:1.5"},
     "alpha\n",
     deletePrompt + size(-1),
     report({"alpha|111|1.5"}, 0, ""),
     "VECBOX_DOUBLE_COUNT=-1"},
    {"UntouchedCountShowsNothing",
     "show",
     {"alpha:111:1.5"},
     "",
     call("CheckSize untouched"),
     report({"alpha|111|1.5"}, 0, ""),
     "VECBOX_DOUBLE_COUNT=untouched"},
    {"UntouchedCountSearchesNothing",
     "search",
     {"alpha:111:1.5"},
     "alpha\n",
     searchPrompt + call("CheckSize untouched") + notFound("alpha"),
     report({"alpha|111|1.5"}, 0, ""),
     "VECBOX_DOUBLE_COUNT=untouched"},
    {"CountPastTheRecordsShowsOnlyTheRecords",
     "show",
     {"alpha:111:1.5"},
     "",
     size(2) + get(0, "alpha") + shown("alpha", "111", "1.5") + call("GetArray 1 none"),
     report({"alpha|111|1.5"}, 0, ""),
     "VECBOX_DOUBLE_COUNT=2"},
    {"CountPastTheRecordsFindsNothingThere",
     "delete",
     {"alpha:111:1.5"},
     "beta\n",
     deletePrompt + size(2) + get(0, "alpha") + call("GetArray 1 none") + notFound("beta"),
     report({"alpha|111|1.5"}, 0, ""),
     "VECBOX_DOUBLE_COUNT=2"},
};

RunResult drive(const MemberCase &c, bool withDouble)
{
    std::vector<std::string> args = {c.operation};
    args.insert(args.end(), c.records.begin(), c.records.end());
    RunOptions options;
    options.input = c.input;
    if (withDouble) {
        options.env.push_back("LD_LIBRARY_PATH=" + testProgram("vecbox_double"));
        if (!c.answer.empty()) {
            options.env.push_back(c.answer);
        }
    }
    linkedLibrary("libmember.so");
    return run(testProgram("member_driver"), args, options);
}

// The transcript without the double's call lines: what the library itself prints.
std::string withoutCalls(const std::string &transcript)
{
    static const std::regex callLine(
        R"(\[(AddArray|CheckSize|GetArray|SetArray|RemoveArray) [^\]\n]*\]\n)");
    return std::regex_replace(transcript, callLine, "");
}

class MemberTest : public ::testing::TestWithParam<MemberCase>
{
};

TEST_P(MemberTest, CallsTheRecordingDoubleInOrder)
{
    const MemberCase &c = GetParam();
    if (c.answer == "VECBOX_DOUBLE_COUNT=untouched" && checkingAnotherBuild()) {
        // What another build does then depends on what its stack held before.
        GTEST_SKIP() << "a count left undefined: our own answer";
    }
    const RunResult result = drive(c, true);
    EXPECT_SAME_OUTPUT(result.out, c.transcript);
    EXPECT_EQ(result.err, c.report) << visible(result.err);
    EXPECT_TRUE(result.exited(0));
}

TEST_P(MemberTest, PrintsExactlyWithTheStandIn)
{
    const MemberCase &c = GetParam();
    const RunResult result = drive(c, false);
    EXPECT_SAME_OUTPUT(result.out, withoutCalls(c.transcript));
    EXPECT_EQ(result.err, c.report) << visible(result.err);
    EXPECT_TRUE(result.exited(0));
}

// Only the double can answer other than the truth: a count that is not the number of
// records, or an AddArray result other than 0.
class DoubleAnswerTest : public ::testing::TestWithParam<MemberCase>
{
};

TEST_P(DoubleAnswerTest, ActsOnTheComponentsAnswer)
{
    const MemberCase &c = GetParam();
    const RunResult result = drive(c, true);
    EXPECT_SAME_OUTPUT(result.out, c.transcript);
    EXPECT_EQ(result.err, c.report) << visible(result.err);
    EXPECT_TRUE(result.exited(0));
}

const auto title = [](const auto &info) { return std::string(info.param.title); };
INSTANTIATE_TEST_SUITE_P(Join, MemberTest, ::testing::ValuesIn(joinCases), title);
INSTANTIATE_TEST_SUITE_P(Show, MemberTest, ::testing::ValuesIn(showCases), title);
INSTANTIATE_TEST_SUITE_P(Search, MemberTest, ::testing::ValuesIn(searchCases), title);
INSTANTIATE_TEST_SUITE_P(Revise, MemberTest, ::testing::ValuesIn(reviseCases), title);
INSTANTIATE_TEST_SUITE_P(Delete, MemberTest, ::testing::ValuesIn(deleteCases), title);
INSTANTIATE_TEST_SUITE_P(Double, DoubleAnswerTest, ::testing::ValuesIn(doubleAnswerCases), title);

} // namespace
} // namespace harness
