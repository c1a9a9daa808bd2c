// Exact output of every pointer, type, format and loop demonstration that prints the same
// bytes on every run; the few with addresses in them or a main split over three sources.
#include "run_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

namespace harness
{
namespace
{

using namespace std::string_literals;

struct FixedOutput {
    std::string program;
    std::string expected; // the whole standard output, byte for byte
};

std::ostream &operator<<(std::ostream &out, const FixedOutput &c)
{
    return out << c.program;
}

// NUL, carriage return and DEL bytes are written as escapes; the "s" suffix keeps NULs.
const std::vector<FixedOutput> fixedOutputs = {
    {"funcPtrBasic1", "0, 0\n10, 10\n20, 20\n"},
    {"c_src_266", "1.2\t2.3\t3.4\t4.5\t5.6\t\n"},
    {"c_src_254", "x : 20, y : 30\nx : 30, y : 20\n"},
    {"c_src_64",
     "My Name is Yo Dalmun Heek\n"
     "test 0 : Y(89)\ntest 1 : o(111)\ntest 2 :  (32)\ntest 3 : D(68)\ntest 4 : a(97)\n"
     "test 5 : l(108)\ntest 6 : m(109)\ntest 7 : u(117)\ntest 8 : n(110)\ntest 9 :  (32)\n"
     "test 10 : H(72)\ntest 11 : e(101)\ntest 12 : e(101)\ntest 13 : k(107)\n"
     "test 14 : \x00(0)\ntest 15 : \x00(0)\ntest 16 : \x00(0)\ntest 17 : \x00(0)\n"
     "test 18 : \x00(0)\ntest 19 : \x00(0)\n"s},
    {"main_read_write", "main function called\nread function called : 20\nread function end\n"
                        "write function called\nwrite function called\n"},
    {"c_src_103", "int형 변수의 크기 : 4\ndouble형 변수의 크기 : 8\n정수형 상수의 크기: 4\n"
                  "수식의 결과값의 크기: 8\nchar 자료형의 크기 : 1\nlong 자료형의 크기 : 8\n"
                  "long long 자료형의 크기 : 8\nlong double 자료형의 크기 : 16\n"},
    {"c_src_244", "변수a값 : 10\n변수b값 : 20\n변수a값 : 20\n"},
    {"c_src_58",
     "intNum = 33000\nsint = -32536\n"
     "test 0 : \x00\ntest 1 : \x01\ntest 2 : \x02\ntest 3 : \x03\ntest 4 : \x04\n"
     "test 5 : \x05\ntest 6 : \x06\ntest 7 : \x07\ntest 8 : \x08\ntest 9 : \t\ntest 10 : \n\n"
     "test 11 : \x0b\ntest 12 : \x0c\ntest 13 : \r\ntest 14 : \x0e\ntest 15 : \x0f\n"
     "test 16 : \x10\ntest 17 : \x11\ntest 18 : \x12\ntest 19 : \x13\ntest 20 : \x14\n"
     "test 21 : \x15\ntest 22 : \x16\ntest 23 : \x17\ntest 24 : \x18\ntest 25 : \x19\n"
     "test 26 : \x1a\ntest 27 : \x1b\ntest 28 : \x1c\ntest 29 : \x1d\ntest 30 : \x1e\n"
     "test 31 : \x1f\ntest 32 :  \ntest 33 : !\ntest 34 : \"\ntest 35 : #\ntest 36 : $\n"
     "test 37 : %\ntest 38 : &\ntest 39 : '\ntest 40 : (\ntest 41 : )\ntest 42 : *\n"
     "test 43 : +\ntest 44 : ,\ntest 45 : -\ntest 46 : .\ntest 47 : /\ntest 48 : 0\n"
     "test 49 : 1\ntest 50 : 2\ntest 51 : 3\ntest 52 : 4\ntest 53 : 5\ntest 54 : 6\n"
     "test 55 : 7\ntest 56 : 8\ntest 57 : 9\ntest 58 : :\ntest 59 : ;\ntest 60 : <\n"
     "test 61 : =\ntest 62 : >\ntest 63 : ?\ntest 64 : @\ntest 65 : A\ntest 66 : B\n"
     "test 67 : C\ntest 68 : D\ntest 69 : E\ntest 70 : F\ntest 71 : G\ntest 72 : H\n"
     "test 73 : I\ntest 74 : J\ntest 75 : K\ntest 76 : L\ntest 77 : M\ntest 78 : N\n"
     "test 79 : O\ntest 80 : P\ntest 81 : Q\ntest 82 : R\ntest 83 : S\ntest 84 : T\n"
     "test 85 : U\ntest 86 : V\ntest 87 : W\ntest 88 : X\ntest 89 : Y\ntest 90 : Z\n"
     "test 91 : [\ntest 92 : \\\ntest 93 : ]\ntest 94 : ^\ntest 95 : _\ntest 96 : `\n"
     "test 97 : a\ntest 98 : b\ntest 99 : c\ntest 100 : d\ntest 101 : e\ntest 102 : f\n"
     "test 103 : g\ntest 104 : h\ntest 105 : i\ntest 106 : j\ntest 107 : k\ntest 108 : l\n"
     "test 109 : m\ntest 110 : n\ntest 111 : o\ntest 112 : p\ntest 113 : q\ntest 114 : r\n"
     "test 115 : s\ntest 116 : t\ntest 117 : u\ntest 118 : v\ntest 119 : w\ntest 120 : x\n"
     "test 121 : y\ntest 122 : z\ntest 123 : {\ntest 124 : |\ntest 125 : }\ntest 126 : ~\n"
     "test 127 : \x7f\n"s},
    {"c_src_40", "1000000.0\n0.0000314\n3.140000e-05\n3.14e-05\n"},
    {"c_src_89",
     "Inital value : a = 6, b = 6\nPrefix : (++a) * 3 = 18, Postfix : (b++) * 3 = 15\n"},
    {"c_src_87", "3, 1\n3.333333, 1\n3.000000, 1\n"},
    {"c_src_62", "float형 변수의 값 : 1.23456788063049316406\n"
                 "double형 변수의 값 : 1.23456789012345669043\n"},
    {"c_src_295", "Capital : G\nSmall : g\n"},
    {"c_src_39", "14\nc\nC\n"},
    {"c_src_35", "1을 2로 나누면 0.500000입니다\n"},
    {"c_src_108", "max value : 20\n"},
    {"c_src_174", "2\n3\n4\n6\n7\n8\n9\n10\n11\n"},
    {"c_src_161", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n"},
};

class FixedOutputProgram : public ::testing::TestWithParam<FixedOutput>
{
};

TEST_P(FixedOutputProgram, WritesExactlyItsBytesAndExitsWithZero)
{
    const FixedOutput &c = GetParam();
    const RunResult result = run(bin(c.program));
    EXPECT_TRUE(result.out == c.expected) << "expected:\n"
                                          << visible(c.expected) << "\ngot:\n"
                                          << visible(result.out);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.exited(0)) << "status " << result.status << ", signal " << result.signal;
}

INSTANTIATE_TEST_SUITE_P(Demos, FixedOutputProgram, ::testing::ValuesIn(fixedOutputs),
                         [](const ::testing::TestParamInfo<FixedOutput> &info) {
                             return info.param.program;
                         });

// The addresses vary by run; their format and agreement do not.
TEST(AddressesOfCharAndInt, PrintedTwiceAlikeThenValuesChangedDirectlyAndThroughPointers)
{
    const RunResult result = run(bin("c_src_236"));
    ASSERT_TRUE(result.exited(0));
    const std::vector<std::string> got = lines(result.out);
    ASSERT_EQ(got.size(), 8u) << visible(result.out);
    const std::regex charAddress("addr of ch : 0x[0-9a-f]+");
    const std::regex intAddress("addr of i : 0x[0-9a-f]+");
    EXPECT_TRUE(std::regex_match(got[0], charAddress)) << got[0];
    EXPECT_TRUE(std::regex_match(got[1], intAddress)) << got[1];
    EXPECT_EQ(got[2], got[0]) << "the char pointer holds the char's address";
    EXPECT_EQ(got[3], got[1]) << "the int pointer holds the int's address";
    EXPECT_NE(got[0].substr(got[0].find("0x")), got[1].substr(got[1].find("0x")))
        << "two variables, two addresses";
    const std::vector<std::string> values(got.begin() + 4, got.end());
    EXPECT_EQ(values, (std::vector<std::string>{"i : 123", "ch : A", "i : 456", "ch : B"}));
    EXPECT_EQ(result.out.back(), '\n');
}

// read and write are the program's own global functions with C linkage: plain symbol
// names defined in the program itself, not references to the platform's functions.
TEST(MainReadWrite, DefinesItsOwnReadAndWriteWithCLinkage)
{
    const RunResult symbols = run("nm", {"--defined-only", bin("main_read_write")});
    ASSERT_TRUE(symbols.exited(0)) << symbols.err;
    const std::vector<std::string> defined = lines(symbols.out);
    for (const char *name : {"read", "write"}) {
        const std::regex textSymbol("[0-9a-f]+ T "s + name);
        EXPECT_TRUE(std::any_of(
            defined.begin(), defined.end(),
            [&](const std::string &line) { return std::regex_match(line, textSymbol); }))
            << name << " is not defined in the program:\n"
            << symbols.out;
    }
}

} // namespace
} // namespace harness
