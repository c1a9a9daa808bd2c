// c_src_146, funcPtrBasic2, c_src_209, c_src_76 and c_src_310 through standard input:
// exact output, error messages and status, including input that cannot be read.
#include "run_process.h"

#include <gtest/gtest.h>

#include <string>

namespace harness
{
namespace
{

struct NumericCase {
    const char *title;
    std::string input;
    std::string out;
    std::string err = "";
    int status = 0;
};

void PrintTo(const NumericCase &c, std::ostream *os)
{
    *os << c.title;
}

const std::string operandsMissing = "c_src_146: two 32-bit integers must follow the operator\n";

const NumericCase calculatorCases[] = {
    {"Add", "+ 3 4\n", "+ : 7\n"},
    {"AddWithoutBlankAfterOperator", "+3 4\n", "+ : 7\n"},
    {"OperandsOnLinesOfTheirOwn", "+\n3\n4", "+ : 7\n"},
    {"Subtract", "- 3 10\n", "- : -7\n"},
    {"MultiplyIsTheLetterX", "x 6 7\n", "* : 42\n"},
    {"StarIsNoOperator", "* 6 7\n", ""},
    {"BlankBeforeOperatorIsTheOperator", " + 3 4\n", ""},
    {"UnknownLetter", "y 1 2\n", ""},
    {"UnknownOperatorNeedsNoOperands", "*\n", ""},
    {"Divide", "/ 7 2\n", "/ : 3\n"},
    {"DivideTruncatesTowardZero", "/ -7 2\n", "/ : -3\n"},
    {"DivideByNegative", "/ 7 -2\n", "/ : -3\n"},
    {"SmallestDividedByOne", "/ -2147483648 1\n", "/ : -2147483648\n"},
    {"SumWrapsAround", "+ 2147483647 1\n", "+ : -2147483648\n"},
    {"DifferenceWrapsAround", "- -2147483648 1\n", "- : 2147483647\n"},
    {"ProductWrapsAround", "x 2147483647 2\n", "* : -2\n"},
    {"ProductWrapsToZero", "x 65536 65536\n", "* : 0\n"},
    {"DivisionByZero", "/ 5 0\n", "", "c_src_146: division by zero\n", 1},
    {"SmallestDividedByMinusOne", "/ -2147483648 -1\n", "",
     "c_src_146: the quotient -2147483648 / -1 does not fit in 32 bits\n", 1},
    // Input that cannot be read is reported on standard error; the status stays 0.
    {"EmptyInput", "", "", "c_src_146: no operator to read\n"},
    {"OperatorOnly", "+\n", "", operandsMissing},
    {"OneOperand", "+ 3\n", "", operandsMissing},
    {"OperandNotANumber", "+ 3 four\n", "", operandsMissing},
    {"OperandPast32Bits", "+ 4294967296 5\n", "", operandsMissing},
    {"OperandBelow32Bits", "x 3 -2147483649\n", "", operandsMissing},
};

const std::string select = "Select(1:add, 2:sub) => ";

const NumericCase funcPtrCases[] = {
    {"OneAdds", "1\n", select + "rst => 15\n"},
    {"TwoSubtracts", "2\n", select + "rst => 5\n"},
    {"ZeroSubtracts", "0\n", select + "rst => 5\n"},
    {"MinusOneSubtracts", "-1\n", select + "rst => 5\n"},
    {"ThreeSubtracts", "3\n", select + "rst => 5\n"},
    {"LeadingBlanksSkipped", "  \n 1\n", select + "rst => 15\n"},
    {"NotANumberIsZero", "add\n", select + "rst => 5\n"},
    {"EmptyInputIsZero", "", select + "rst => 5\n"},
    {"NumberPast32BitsIsZero", "4294967297\n", select + "rst => 5\n"},
};

std::string arrayPrompts()
{
    std::string prompts;
    for (int i = 0; i < 5; ++i) {
        prompts += "Enter value to array[" + std::to_string(i) + "] --> ";
    }
    return prompts;
}

const NumericCase arrayCases[] = {
    {"OneLineFeedsAllFive", "1 2 3 4 5\n", arrayPrompts() + "1 2 3 4 5 \n"},
    {"OneNumberPerLine", "5\n4\n3\n2\n1\n", arrayPrompts() + "5 4 3 2 1 \n"},
    {"Extremes", "-2147483648 2147483647 -0 +7 0\n",
     arrayPrompts() + "-2147483648 2147483647 0 7 0 \n"},
    {"TextStopsEveryLaterRead", "1 2 x 4 5\n", arrayPrompts() + "1 2 0 0 0 \n"},
    {"EmptyInputGivesZeros", "", arrayPrompts() + "0 0 0 0 0 \n"},
    {"TooFewNumbers", "9 8\n", arrayPrompts() + "9 8 0 0 0 \n"},
    {"NumbersPast32BitsAreZero", "2147483648 4294967297 -2147483649 99999999999999999999999 7\n",
     arrayPrompts() + "0 0 0 0 7 \n"},
};

const std::string agePrompt = "나이와 키를 입력하세요 : ";

std::string answer(const std::string &age, const std::string &height, const std::string &name)
{
    return agePrompt + "나이는 " + age + "살, 키는 " + height + "cm입니다.\n" +
           "name ? : " + "name = " + name + ", age = " + age + ", height = " + height + "\n";
}

const NumericCase ageCases[] = {
    {"AgeHeightName", "20 180\nKim\n", answer("20", "180.0", "Kim")},
    {"HeightWithDecimals", "31\n175.46\nLee\n", answer("31", "175.5", "Lee")},
    {"OnlyTheFirstWordIsTheName", "20 180\nKim Minsu\n", answer("20", "180.0", "Kim")},
    {"KoreanName", "20 180\n김민수\n", answer("20", "180.0", "김민수")},
    {"NameOf79Characters", "20 180\n" + std::string(79, 'n') + "\n",
     answer("20", "180.0", std::string(79, 'n'))},
    {"LongerNameKeepsIts79First", "20 180\n" + std::string(300, 'n') + "\n",
     answer("20", "180.0", std::string(79, 'n'))},
    {"EmptyInput", "", answer("0", "0.0", "")},
    {"NoNameAfterNumbers", "20 180\n", answer("20", "180.0", "")},
    {"AgeNotANumberBecomesTheName", "abc\n", answer("0", "0.0", "abc")},
    {"HeightNotANumberBecomesTheName", "20 tall\n", answer("20", "0.0", "tall")},
    {"AgePast32BitsIsZero", "2147483648 180\nKim\n", answer("0", "180.0", "Kim")},
    {"HeightPastDoubleIsZero", "20 1e400\nKim\n", answer("20", "0.0", "Kim")},
};

const NumericCase untilZeroCases[] = {
    {"ZeroEnds", "5\n7\n-3\n0\n", "normal exit\n"},
    {"ZeroFirst", "0\n", "normal exit\n"},
    {"InputAfterZeroIsNotRead", "0 abc\n", "normal exit\n"},
    {"WordEnds", "5 abc\n", "Incorrect Input\n", "", 1},
    {"EmptyInput", "", "Incorrect Input\n", "", 1},
    {"EndOfInputBeforeZero", "5 7", "Incorrect Input\n", "", 1},
    {"SignAloneIsNoNumber", "1 - 2\n", "Incorrect Input\n", "", 1},
    {"LimitsAreNumbers", "2147483647 -2147483648 0\n", "normal exit\n"},
    {"NumberPast32BitsIsNoNumber", "4294967296\n", "Incorrect Input\n", "", 1},
    {"NumberPast64BitsIsNoNumber", "-99999999999999999999999 0\n", "Incorrect Input\n", "", 1},
};

class NumericTest : public ::testing::TestWithParam<NumericCase>
{
  protected:
    void expectRun(const std::string &program)
    {
        const NumericCase &c = GetParam();
        const RunResult result = runWithInput(bin(program), c.input);
        EXPECT_SAME_OUTPUT(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_TRUE(result.exited(c.status)) << result.status << " " << result.signal;
    }
};

class CalculatorTest : public NumericTest
{
};
class FuncPtrBasic2Test : public NumericTest
{
};
class ArrayReadTest : public NumericTest
{
};
class AgeHeightNameTest : public NumericTest
{
};
class UntilZeroTest : public NumericTest
{
};

TEST_P(CalculatorTest, C_src_146)
{
    expectRun("c_src_146");
}
TEST_P(FuncPtrBasic2Test, FuncPtrBasic2)
{
    expectRun("funcPtrBasic2");
}
TEST_P(ArrayReadTest, C_src_209)
{
    expectRun("c_src_209");
}
TEST_P(AgeHeightNameTest, C_src_76)
{
    expectRun("c_src_76");
}
TEST_P(UntilZeroTest, C_src_310)
{
    expectRun("c_src_310");
}

auto title = [](const auto &info) { return std::string(info.param.title); };
INSTANTIATE_TEST_SUITE_P(Calculator, CalculatorTest, ::testing::ValuesIn(calculatorCases), title);
INSTANTIATE_TEST_SUITE_P(FunctionPointer, FuncPtrBasic2Test, ::testing::ValuesIn(funcPtrCases),
                         title);
INSTANTIATE_TEST_SUITE_P(ArrayRead, ArrayReadTest, ::testing::ValuesIn(arrayCases), title);
INSTANTIATE_TEST_SUITE_P(AgeHeightName, AgeHeightNameTest, ::testing::ValuesIn(ageCases), title);
INSTANTIATE_TEST_SUITE_P(UntilZero, UntilZeroTest, ::testing::ValuesIn(untilZeroCases), title);

} // namespace
} // namespace harness
