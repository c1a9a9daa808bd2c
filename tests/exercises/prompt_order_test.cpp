// Every program that asks for its input, typed at on a terminal: each answer is typed only
// once the program waits for it, and the terminal echoes it, so the transcript shows every
// prompt before the answer it asked for and the program's reply after it.
#include "run_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace harness
{
namespace
{

struct Dialogue {
    const char *title;
    std::string program;
    std::vector<std::string> args;
    std::vector<std::string> answers; // typed one at a time, each with a line break
    std::string transcript;           // what the terminal shows, echoed answers included
};

void PrintTo(const Dialogue &c, std::ostream *os)
{
    *os << c.title;
}

const std::string personMenu = "1:add 2:list 3:search by name 4:quit -> ";
const std::string memberMenu = "1:join 2:show 3:search 4:revise 5:delete 6:quit -> ";
const std::string askName = "이름을 입력하세요 -> ";
const std::string askLine = "문자열을 입력하세요.\n추가를 멈추고 싶다면, \"...\"을 입력하세요.\n";

std::string arrayDialogue()
{
    std::string shown;
    for (int i = 0; i < 5; ++i) {
        shown +=
            "Enter value to array[" + std::to_string(i) + "] --> " + std::to_string(i + 1) + "\n";
    }
    return shown + "1 2 3 4 5 \n";
}

const Dialogue dialogues[] = {
    {"Srh",
     "person_menu",
     {"srh"},
     {"1", "alpha", "30", "170.5", "3", "alpha", "4"},
     "Person records through libarray_srh.so\n" + personMenu +
         "1\nname -> alpha\nage -> 30\nheight -> 170.5\n" + personMenu + "3\n" + askName +
         "alpha\ncase 3 -> [0]name : alpha\n[0] Name:\talpha\n[0] Age:\t30\n"
         "[0] Height:\t 170.500000\n" +
         personMenu + "4\nbye\n"},
    {"Del",
     "person_menu",
     {"del"},
     {"3", "alpha", "4"},
     "Person records through libarray_del.so\n1:add 2:list 3:delete by name 4:quit -> 3\n" +
         askName + "alpha\n1:add 2:list 3:delete by name 4:quit -> 4\nbye\n"},
    {"Member",
     "member_menu",
     {},
     {"1", "alpha", "010", "12.5", "3", "alpha", "4", "alpha", "011", "7", "5", "alpha", "6"},
     "Member records\n" + memberMenu +
         "1\nEnter name -> alpha\nEnter tel no -> 010\nEnter mileage -> 12.5\n" + memberMenu +
         "3\nEnter name that you want to search -> alpha\n"
         "Found!\nname : alpha\ntel no : 010\nmileage : 12.500000\n\n" +
         memberMenu +
         "4\nEnter name that you want to revise -> alpha\nEnter new tel no -> 011\n"
         "Enter new mileage -> 7\n" +
         memberMenu + "5\nEnter name that you want to delete -> alpha\n" + memberMenu + "6\nbye\n"},
    {"Bigstr", "bigstr", {}, {"ab", "..."}, askLine + "ab\n" + askLine + "...\nab \n"},
    {"Mygets", "mygets", {}, {"hello"}, "8\nhello\nhello\n"},
    {"FuncPtrBasic2", "funcPtrBasic2", {}, {"1"}, "Select(1:add, 2:sub) => 1\nrst => 15\n"},
    {"C_src_209", "c_src_209", {}, {"1", "2", "3", "4", "5"}, arrayDialogue()},
    {"C_src_76",
     "c_src_76",
     {},
     {"20 180", "Kim"},
     "나이와 키를 입력하세요 : 20 180\n나이는 20살, 키는 180.0cm입니다.\n"
     "name ? : Kim\nname = Kim, age = 20, height = 180.0\n"},
};

class PromptOrder : public ::testing::TestWithParam<Dialogue>
{
};

TEST_P(PromptOrder, EachPromptComesBeforeItsAnswerIsRead)
{
    const Dialogue &c = GetParam();
    std::vector<std::string> args = c.args;
    // A person library under ./labs check is loaded by its path.
    if (c.program == "person_menu") {
        const std::string checkedLibrary = checked("lib", "libarray_" + args[0] + ".so", "");
        args[0] = checkedLibrary.empty() ? args[0] : checkedLibrary;
    }
    if (c.program == "member_menu") {
        linkedLibrary("libmember.so");
    }
    const RunResult result = runTyped(bin(c.program), args, c.answers);
    EXPECT_EQ(result.out, c.transcript) << "expected:\n"
                                        << visible(c.transcript) << "\ngot:\n"
                                        << visible(result.out);
    EXPECT_FALSE(result.stopped) << "it asked once more after the last answer";
    EXPECT_TRUE(result.exited(0)) << "status " << result.status << ", signal " << result.signal;
}

INSTANTIATE_TEST_SUITE_P(Interactive, PromptOrder, ::testing::ValuesIn(dialogues),
                         [](const auto &info) { return std::string(info.param.title); });

} // namespace
} // namespace harness
