// The member menu program end to end: a whole session through the stand-in and through
// the recording double, typed-ahead and over-long input, bad choices, end of input at
// every point, and the front door's tour.
#include "run_process.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace harness
{
namespace
{

const std::string choose = "1:join 2:show 3:search 4:revise 5:delete 6:quit -> ";
const std::string joinPrompts = "Enter name -> Enter tel no -> Enter mileage -> ";

const std::string session = "1\nalpha\n010-1234-5678\n1234.56\n"
                            "1\nbeta\n010-2222-3333\n80\n"
                            "2\n3\nalpha\n"
                            "4\nbeta\n010-9999-0000\n95.5\n"
                            "5\nalpha\n2\n3\ngamma\n6\n";

const std::string sessionOutput =
    "Member records\n" + choose + joinPrompts + choose + joinPrompts + choose +
    "name : alpha\ntel no : 010-1234-5678\nmileage : 1234.6\n\n"
    "name : beta\ntel no : 010-2222-3333\nmileage : 80.0\n\n" +
    choose +
    "Enter name that you want to search -> Found!\n"
    "name : alpha\ntel no : 010-1234-5678\nmileage : 1234.560059\n\n" +
    choose + "Enter name that you want to revise -> Enter new tel no -> Enter new mileage -> " +
    choose + "Enter name that you want to delete -> " + choose +
    "name : beta\ntel no : 010-9999-0000\nmileage : 95.5\n\n" + choose +
    "Enter name that you want to search -> error : there isn't [gamma] in DB\n\n" + choose +
    "bye\n";

RunResult menu(const std::string &input, bool withDouble = false)
{
    RunOptions options;
    options.input = input;
    if (withDouble) {
        options.env.push_back("LD_LIBRARY_PATH=" + testProgram("vecbox_double"));
    }
    linkedLibrary("libmember.so");
    return run(bin("member_menu"), {}, options);
}

TEST(MemberMenu, ASessionThroughTheStandIn)
{
    const RunResult result = menu(session);
    EXPECT_SAME_OUTPUT(result.out, sessionOutput);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.exited(0));
}

TEST(MemberMenu, TheSameSessionThroughTheRecordingDouble)
{
    const RunResult result = menu(session, true);
    static const std::regex callLine(
        R"(\[(CreateArray|DestroyArray|AddArray|CheckSize|GetArray|SetArray|RemoveArray)[^\]\n]*\]\n)");
    EXPECT_EQ(std::regex_replace(result.out, callLine, ""), sessionOutput) << visible(result.out);
    EXPECT_TRUE(result.out.starts_with("[CreateArray]\n")) << visible(result.out);
    EXPECT_TRUE(result.out.ends_with(choose + "[DestroyArray]\nbye\n")) << visible(result.out);
    for (const char *call : {"[AddArray beta|010-2222-3333|80]\n",
                             "[SetArray 1 beta|010-9999-0000|95.5]\n", "[RemoveArray 0]\n"}) {
        EXPECT_NE(result.out.find(call), std::string::npos) << call;
    }
    EXPECT_EQ(result.out.find("wrong handle"), std::string::npos) << visible(result.out);
    EXPECT_TRUE(result.exited(0));
}

TEST(MemberMenu, TextTypedAfterTheMileageIsNotTakenAsAChoice)
{
    const RunResult result = menu("1\nalpha\n010\n12.5 5\n2\n6\n");
    EXPECT_EQ(result.out, "Member records\n" + choose + joinPrompts + choose +
                              "name : alpha\ntel no : 010\nmileage : 12.5\n\n" + choose + "bye\n")
        << visible(result.out);
    EXPECT_TRUE(result.exited(0));
}

TEST(MemberMenu, ALongNameDoesNotSpillIntoTheTelNo)
{
    const RunResult result = menu("1\nabcdefghijklmnopqrstuvwxy\n010\n5\n2\n6\n");
    EXPECT_EQ(result.out, "Member records\n" + choose + joinPrompts + choose +
                              "name : abcdefghijklmnopqrs\ntel no : 010\nmileage : 5.0\n\n" +
                              choose + "bye\n")
        << visible(result.out);
    EXPECT_TRUE(result.exited(0));
}

TEST(MemberMenu, BadChoicesAreRefusedAndAskedAgain)
{
    const RunResult result = menu("x\n9\n\n0\n6\n");
    EXPECT_EQ(result.out, "Member records\n" + choose + "please type a whole number\n" + choose +
                              "please choose 1 to 6\n" + choose + "please type a whole number\n" +
                              choose + "please choose 1 to 6\n" + choose + "bye\n")
        << visible(result.out);
    EXPECT_TRUE(result.exited(0));
}

TEST(MemberMenu, EndOfInputAnywhereEndsCleanly)
{
    for (const std::string input :
         {"", "1\n", "1\nalpha\n", "1\nalpha\n010\n", "1\nalpha\n010\n5", "1\nalpha\n010\n5\n",
          "2\n", "3\n", "1\na\n1\n1\n4\na\n", "1\na\n1\n1\n4\na\n2\n", "5\n", "x\n"}) {
        const RunResult result = menu(input);
        EXPECT_TRUE(result.out.ends_with("\nend of input\nbye\n")) << visible(result.out);
        EXPECT_TRUE(result.exited(0)) << "input " << visible(input);
    }
}

TEST(MemberMenu, ManyMembersAreKeptAndReleased)
{
    std::string input;
    for (int i = 0; i < 40; ++i) {
        input += "1\nmember" + std::to_string(i) + "\n" + std::to_string(i) + "\n" +
                 std::to_string(i) + "\n";
    }
    const RunResult result = menu(input + "5\nmember0\n3\nmember39\n2\n6\n");
    EXPECT_NE(result.out.find("Found!\nname : member39\ntel no : 39\nmileage : 39.000000\n"),
              std::string::npos);
    const std::string shownFirst = "name : member1\ntel no : 1\nmileage : 1.0\n\n";
    const std::string shownLast =
        "name : member39\ntel no : 39\nmileage : 39.0\n\n" + choose + "bye\n";
    EXPECT_NE(result.out.find(shownFirst), std::string::npos);
    EXPECT_TRUE(result.out.ends_with(shownLast)) << visible(result.out);
    EXPECT_EQ(result.out.find("name : member0\n"), std::string::npos);
    EXPECT_TRUE(result.exited(0));
}

TEST(MemberMenu, TheTourShowsEveryOperation)
{
    RunOptions options;
    options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
    options.timeout = std::chrono::seconds(120);
    const RunResult tour = run(source("labs"), {"tour", "member"}, options);
    ASSERT_TRUE(tour.exited(0)) << tour.err;
    EXPECT_NE(tour.out.find("=== member (x86-64): "), std::string::npos) << tour.out;
    for (const char *shows : {"Enter name -> ", "Found!\n", "Enter new tel no -> ",
                              "Enter name that you want to delete -> ", "error : there isn't [",
                              "bye\n", "--- exit status 0 ---"}) {
        EXPECT_NE(tour.out.find(shows), std::string::npos) << shows << " in\n" << tour.out;
    }
}

} // namespace
} // namespace harness
