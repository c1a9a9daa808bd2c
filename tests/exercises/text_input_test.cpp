// bigstr, mygets and caseconv through standard input: exact output bytes and status,
// the fit test at its boundaries, the bounded reader, every byte value and lost output.
#include "run_process.h"

#include <gtest/gtest.h>

#include <string>

namespace harness
{
namespace
{

struct ConsoleCase {
    const char *title;
    std::string input;
    std::string out;
    int status = 0;
};

void PrintTo(const ConsoleCase &c, std::ostream *os)
{
    *os << c.title;
}

std::string times(int count, const std::string &text)
{
    std::string result;
    for (int i = 0; i < count; ++i) {
        result += text;
    }
    return result;
}

// The prompt pair bigstr prints before every read.
const std::string ask = "문자열을 입력하세요.\n추가를 멈추고 싶다면, \"...\"을 입력하세요.\n";

const ConsoleCase bigstrCases[] = {
    {"StopWordAlone", "...\n", ask + "\n"},
    {"StopWordEndsEvenWhenMoreFollows", "a\n...\nb\n", times(2, ask) + "a \n"},
    {"StopWordAfterJoinedLines", "a\nb\n...\n", times(3, ask) + "a b \n"},
    {"StopWordLosesToFitTest", "ab\ncd\n...\n", times(3, ask) + "ab cd \n"},
    {"SumOfTenDoesNotFit", "abcd\nefgh\n", times(2, ask) + "abcd \n"},
    {"SumOfNineFits", "abcd\nefg\n", times(3, ask) + "abcd efg \n"},
    {"NineCharactersThenEvenAnEmptyLineDoesNotFit", "abcdefgh\n\nx\n",
     times(2, ask) + "abcdefgh \n"},
    {"FirstLineOfNineCharactersDoesNotFit", "abcdefghi\n", ask + "\n"},
    {"EmptyLineAddsOneBlank", "\n\n...\n", times(3, ask) + "  \n"},
    {"FourDotsAreJoined", "....\n...\n", times(2, ask) + ".... \n"},
    {"DotsAndBlankAreJoined", "... \n", times(2, ask) + "...  \n"},
    {"LongLineEndsAtOnce", "ab\n" + std::string(200, 'x') + "\ncd\n", times(2, ask) + "ab \n"},
    {"KoreanCountsItsBytes", "가나\n다\n", times(2, ask) + "가나 \n"},
    {"EmptyInputPrintsTheEmptyText", "", ask + "\n"},
    {"EndOfInputPrintsTheText", "ab\ncd\n", times(3, ask) + "ab cd \n"},
    {"LastLineWithoutBreakIsJoined", "ab\ncd", times(3, ask) + "ab cd \n"},
    {"LastLineWithoutBreakIsMeasured", "abcd\nefgh", times(2, ask) + "abcd \n"},
    {"StopWordWithoutBreak", "a\n...", times(2, ask) + "a \n"},
};

// The first line is the size of the reader's pointer parameter, whatever the buffer's.
const ConsoleCase mygetsCases[] = {
    {"Hello", "hello\n", "8\nhello\n"},
    {"EmptyLine", "\n", "8\n\n"},
    {"OnlyTheFirstLine", "one\ntwo\n", "8\none\n"},
    {"SeventyNineCharactersComeBackWhole", std::string(79, 'a') + "\n",
     "8\n" + std::string(79, 'a') + "\n"},
    {"EightyCharactersAreCutTo79", std::string(79, 'a') + "b\n",
     "8\n" + std::string(79, 'a') + "\n"},
    {"FarLongerLineIsCutTo79", std::string(79, 'a') + std::string(5000, 'b') + "\n",
     "8\n" + std::string(79, 'a') + "\n"},
    {"EndOfInputEndsTheLine", "hello", "8\nhello\n"},
    {"SeventyNineCharactersThenEndOfInput", std::string(79, 'c'),
     "8\n" + std::string(79, 'c') + "\n"},
    {"EmptyInput", "", "8\n\n"},
    {"ByteFFIsACharacterNotTheEnd",
     "a\xFF"
     "b\n",
     "8\na\xFF"
     "b\n"},
    {"TabsAndBlanksKept", " \tx \n", "8\n \tx \n"},
};

const ConsoleCase caseconvCases[] = {
    {"SwapsLettersOnly", "Hello, World 123\n", "hELLO, wORLD 123\n"},
    {"EmptyInput", "", ""},
    {"NoFinalLineBreak", "aBc", "AbC"},
    {"KoreanPassesUnchanged", "안녕하세요 ABC xyz\n", "안녕하세요 abc XYZ\n"},
    {"LettersNextToTheAlphabet", "@AZ[`az{", "@az[`AZ{"},
};

class BigstrTest : public ::testing::TestWithParam<ConsoleCase>
{
};
class MygetsTest : public ::testing::TestWithParam<ConsoleCase>
{
};
class CaseconvTest : public ::testing::TestWithParam<ConsoleCase>
{
};

void expectRun(const std::string &program, const ConsoleCase &c)
{
    const RunResult result = runWithInput(bin(program), c.input);
    EXPECT_SAME_OUTPUT(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.exited(c.status)) << result.status << " " << result.signal;
}

TEST_P(BigstrTest, JoinsLinesExactly)
{
    expectRun("bigstr", GetParam());
}

TEST_P(MygetsTest, ReadsOneBoundedLine)
{
    expectRun("mygets", GetParam());
}

TEST_P(CaseconvTest, SwapsTheCaseOfLetters)
{
    expectRun("caseconv", GetParam());
}

auto title = [](const auto &info) { return std::string(info.param.title); };
INSTANTIATE_TEST_SUITE_P(Bigstr, BigstrTest, ::testing::ValuesIn(bigstrCases), title);
INSTANTIATE_TEST_SUITE_P(Mygets, MygetsTest, ::testing::ValuesIn(mygetsCases), title);
INSTANTIATE_TEST_SUITE_P(Caseconv, CaseconvTest, ::testing::ValuesIn(caseconvCases), title);

TEST(CaseconvBytes, EveryByteValueTwice)
{
    // Every byte from 0 to 255, twice: 0xFF must not end the input, NUL must pass.
    std::string input;
    std::string expected;
    for (int round = 0; round < 2; ++round) {
        for (int value = 0; value < 256; ++value) {
            const char byte = static_cast<char>(value);
            input += byte;
            if (value >= 'A' && value <= 'Z') {
                expected += static_cast<char>(value - 'A' + 'a');
            } else if (value >= 'a' && value <= 'z') {
                expected += static_cast<char>(value - 'a' + 'A');
            } else {
                expected += byte;
            }
        }
    }
    const RunResult result = runWithInput(bin("caseconv"), input);
    EXPECT_SAME_OUTPUT(result.out, expected);
    EXPECT_TRUE(result.exited(0));
}

// Output that cannot be written is reported on standard error with a non-zero status,
// whether the failure shows while copying or only when the last output is flushed.
struct LostOutputCase {
    const char *title;
    std::string redirect;
    std::string input;
    std::string err;
};

void PrintTo(const LostOutputCase &c, std::ostream *os)
{
    *os << c.title;
}

const LostOutputCase lostOutputCases[] = {
    {"FullDeviceShortInput", ">/dev/full", "abc\n", "write: No space left on device\n"},
    {"FullDeviceLongInput", ">/dev/full", std::string(300000, 'q'),
     "write: No space left on device\n"},
    {"ClosedOutput", ">&-", "abc\n", "write: Bad file descriptor\n"},
};

class CaseconvLostOutputTest : public ::testing::TestWithParam<LostOutputCase>
{
};

TEST_P(CaseconvLostOutputTest, IsReported)
{
    const LostOutputCase &c = GetParam();
    RunOptions options;
    options.input = c.input;
    options.prefix = {"sh", "-c", "exec \"$0\" " + c.redirect};
    const RunResult result = run(bin("caseconv"), {}, options);
    EXPECT_EQ(result.err, c.err);
    EXPECT_TRUE(result.exited(1)) << result.status << " " << result.signal;
}

INSTANTIATE_TEST_SUITE_P(Caseconv, CaseconvLostOutputTest, ::testing::ValuesIn(lostOutputCases),
                         title);

} // namespace
} // namespace harness
