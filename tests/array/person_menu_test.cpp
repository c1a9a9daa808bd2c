// The person menu program end to end through its standard input, with either library.
#include "run_process.h"

#include <gtest/gtest.h>

#include <string>

namespace harness
{
namespace
{

const std::string namePrompt = "\xEC\x9D\xB4\xEB\xA6\x84\xEC\x9D\x84 \xEC\x9E\x85\xEB\xA0\xA5"
                               "\xED\x95\x98\xEC\x84\xB8\xEC\x9A\x94 -> ";

RunResult menu(const std::string &library, const std::string &input)
{
    RunOptions options;
    options.input = input;
    // A library under ./labs check is loaded by its path; ours by the menu's own lookup.
    const std::string checkedLibrary = checked("lib", "libarray_" + library + ".so", "");
    return run(bin("person_menu"), {checkedLibrary.empty() ? library : checkedLibrary}, options);
}

TEST(PersonMenu, AddsListsAndSearchesThroughLibarraySrh)
{
    const RunResult result = menu("srh", "1\nalpha\n30\n170.5\n1\nbeta\n25\n160\n2\n3\nalpha\n4\n");
    const std::string choose = "1:add 2:list 3:search by name 4:quit -> ";
    EXPECT_EQ(result.out, "Person records through libarray_srh.so\n" + choose +
                              "name -> age -> height -> " + choose + "name -> age -> height -> " +
                              choose +
                              "[0] alpha, age 30, height 170.5\n"
                              "[1] beta, age 25, height 160.0\n" +
                              choose + namePrompt +
                              "case 3 -> [0]name : alpha\n"
                              "[0] Name:\talpha\n[0] Age:\t30\n[0] Height:\t 170.500000\n"
                              "case 3 -> [1]name : beta\n" +
                              choose + "bye\n");
    EXPECT_TRUE(result.exited(0));
    EXPECT_EQ(result.err, "");
}

TEST(PersonMenu, DeletesEveryRecordOfANameThroughLibarrayDel)
{
    const RunResult result =
        menu("del", "1\nalpha\n1\n1\n1\nalpha\n2\n2\n1\nbeta\n3\n3\n3\nalpha\n2\n4\n");
    EXPECT_NE(result.out.find("delete by name"), std::string::npos);
    EXPECT_NE(result.out.find("[0] beta, age 3, height 3.0\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("alpha, age"), std::string::npos) << result.out;
    EXPECT_TRUE(result.exited(0));
}

TEST(PersonMenu, BadAnswersAreRefusedAndAskedAgain)
{
    const RunResult result = menu("srh", "seven\n9\n\n1\nbob\nold\n40\ntall\n1.8\n2\n4\n");
    EXPECT_NE(result.out.find("please type a whole number\n"), std::string::npos);
    EXPECT_NE(result.out.find("please choose 1 to 4\n"), std::string::npos);
    EXPECT_NE(result.out.find("please type a number\n"), std::string::npos);
    EXPECT_NE(result.out.find("[0] bob, age 40, height 1.8\n"), std::string::npos) << result.out;
    EXPECT_TRUE(result.exited(0));
}

TEST(PersonMenu, EndOfInputAnywhereEndsCleanly)
{
    for (const std::string input :
         {"", "1\n", "1\nalpha\n", "1\nalpha\n30\n", "1\nalpha\n30\n1.5\n3\n"}) {
        const RunResult result = menu("del", input);
        EXPECT_TRUE(result.out.ends_with("\nend of input\nbye\n")) << visible(result.out);
        EXPECT_TRUE(result.exited(0)) << "input " << visible(input);
    }
}

TEST(PersonMenu, AMissingLibraryIsReported)
{
    const RunResult result = menu("/nonexistent/libarray_srh.so", "4\n");
    EXPECT_TRUE(result.exited(1));
    EXPECT_NE(result.err.find("/nonexistent/libarray_srh.so"), std::string::npos);
    EXPECT_EQ(result.out, "");
}

} // namespace
} // namespace harness
