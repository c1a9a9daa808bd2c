// ./labs check: a build of a deliverable run through the collection's own cases for it.
// The project's own build passes them all; a copy built from a changed source fails the
// cases that see the change, with the bytes that differ and what the program was given.
#include "run_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace harness
{
namespace
{

namespace fs = std::filesystem;

RunResult check(const std::vector<std::string> &args)
{
    RunOptions options;
    // The module's check includes the fuzzer: a few seconds of it do here.
    options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/..",
                   "QB_FUZZ_SECONDS=3"};
    options.timeout = std::chrono::seconds(300);
    std::vector<std::string> all = {"check"};
    all.insert(all.end(), args.begin(), args.end());
    return run(source("labs"), all, options);
}

using process::readFile;

class Check : public ::testing::Test
{
  protected:
    fs::path scratch = fs::path(::testing::TempDir()) / ("check-test-" + std::to_string(getpid()));
    void SetUp() override
    {
        fs::create_directories(scratch);
    }
    void TearDown() override
    {
        fs::remove_all(scratch);
    }
};

TEST_F(Check, TheProjectsOwnBuildPassesEveryCase)
{
    const fs::path junit = scratch / "report.xml";
    const RunResult result = check({"c_src_146", bin("c_src_146"), "--junit", junit.string()});
    EXPECT_TRUE(result.exited(0)) << result.out << result.err;
    EXPECT_NE(result.out.find("PASS Calculator/CalculatorTest.C_src_146/Add\n"), std::string::npos);
    EXPECT_EQ(result.out.find("FAIL"), std::string::npos) << result.out;
    const std::vector<std::string> all = lines(result.out);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), std::to_string(all.size() - 1) + " passed, 0 failed");
    // The JUnit elements CI systems require: a testsuite with its counts, a testcase per case.
    const std::string xml = readFile(junit);
    EXPECT_NE(xml.find("<testsuite name=\"labs check c_src_146\""), std::string::npos);
    EXPECT_NE(xml.find("tests=\"" + std::to_string(all.size() - 1) + "\""), std::string::npos)
        << xml;
    EXPECT_NE(xml.find("failures=\"0\""), std::string::npos);
    EXPECT_NE(xml.find("<testcase name=\"Calculator/CalculatorTest.C_src_146/Add\""),
              std::string::npos);
}

TEST_F(Check, ABrokenBuildFailsTheCasesThatSeeItWithTheBytesThatDiffer)
{
    // One byte of the sum's line changed.
    std::string text = readFile(source("exercises/c_src_146.cpp"));
    const std::size_t at = text.find("\"+ : %d\\n\"");
    ASSERT_NE(at, std::string::npos);
    text[at + 3] = ';';
    std::ofstream(scratch / "c_src_146.cpp") << text;
    const fs::path broken = scratch / "c_src_146";
    const RunResult built =
        run("g++", {"-std=c++20", "-O0", "-g", (scratch / "c_src_146.cpp").string(), "-o",
                    broken.string()});
    ASSERT_TRUE(built.exited(0)) << built.err;

    const fs::path junit = scratch / "report.xml";
    const RunResult result = check({"c_src_146", broken.string(), "--junit", junit.string()});
    EXPECT_TRUE(result.exited(1)) << result.out << result.err;
    const std::size_t fail = result.out.find("FAIL Calculator/CalculatorTest.C_src_146/Add\n");
    ASSERT_NE(fail, std::string::npos) << result.out;
    const std::string detail = result.out.substr(fail, result.out.find("\nPASS", fail) - fail);
    EXPECT_NE(detail.find("the output differs from line 1, byte 3 on (expected 6 bytes, yours 6):\n"
                          "    expected:\n      > + : 7\\n\n          ^\n"
                          "    yours:\n      > + ; 7\\n\n          ^\n"),
              std::string::npos)
        << detail;
    EXPECT_NE(detail.find("standard input \"+ 3 4\\n\"; it exited with status 0"),
              std::string::npos)
        << detail;
    EXPECT_NE(result.out.find("PASS Calculator/CalculatorTest.C_src_146/Subtract\n"),
              std::string::npos);
    EXPECT_NE(result.out.find(" passed, 4 failed\n"), std::string::npos) << result.out;
    EXPECT_NE(readFile(junit).find("failures=\"4\""), std::string::npos);
}

// Sources are built the way the project builds the deliverable; a build error is reported
// with the compiler's own messages.
TEST_F(Check, SourcesAreBuiltFirst)
{
    const RunResult good = check({"main_read_write", source("exercises/main.cpp"),
                                  source("exercises/read.cpp"), source("exercises/write.cpp")});
    EXPECT_TRUE(good.exited(0)) << good.out << good.err;
    std::ofstream(scratch / "broken.cpp") << "int main(void) { return missing; }\n";
    const RunResult broken = check({"c_src_146", (scratch / "broken.cpp").string()});
    EXPECT_TRUE(broken.exited(1));
    EXPECT_NE(broken.out.find("labs check: the build failed:\n"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find("was not declared"), std::string::npos) << broken.out;
}

// A record library goes through the same drivers, menus and ELF rules as ours.
TEST_F(Check, ALibraryIsCheckedThroughTheCollectionsDriversAndMenus)
{
    const RunResult ours = check({"libarray_srh", lib("libarray_srh.so")});
    EXPECT_TRUE(ours.exited(0)) << ours.out << ours.err;
    EXPECT_NE(ours.out.find("PASS PersonMenu.AddsListsAndSearchesThroughLibarraySrh\n"),
              std::string::npos);

    // Names compared without their case.
    std::string text = readFile(source("array/srh.cpp"));
    const std::size_t at = text.find("strcmp(");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 7, "strcasecmp(");
    text.insert(0, "#include <strings.h>\n");
    std::ofstream(scratch / "srh.cpp") << text;
    const RunResult broken =
        check({"libarray_srh", source("array/array.cpp"), (scratch / "srh.cpp").string()});
    EXPECT_TRUE(broken.exited(1)) << broken.out << broken.err;
    EXPECT_NE(broken.out.find("FAIL "
                              "SrhAndDel/PersonTest.ReadsTheNameAndPrintsExactly/"
                              "SearchIsWholeNameAndCaseSensitive\n"),
              std::string::npos)
        << broken.out;
    EXPECT_NE(lines(broken.out).back().find(" passed, 1 failed"), std::string::npos) << broken.out;
}

// The kernel module goes through the guest scenarios in the lab's VM; a copy built from a
// changed source answers an oversized write with the wrong errno and fails those cases.
TEST_F(Check, TheModuleIsCheckedInTheVm)
{
    if (sanitized) {
        GTEST_SKIP() << "the VM's tests are not part of the sanitizer build";
    }
    const RunResult ours =
        check({"qb_ioctl", std::string(LABS_BIN_DIR) + "/../driver/qb_ioctl/qb_ioctl.ko",
               "--kernel", "default"});
    EXPECT_TRUE(ours.exited(0)) << ours.out << ours.err;
    EXPECT_NE(ours.out.find("PASS InTheVm/DriverScenario.RanAndPassed/"), std::string::npos)
        << ours.out;

    // Written to the letter of the description: what it states passes; where the collection
    // answers EINVAL, EFAULT or ENOTTY instead, notes; the sparse warnings of its global
    // `result` are notes of the build.
    const RunResult faithful = check(
        {"qb_ioctl", source("tests/check/students/faithful/qb_ioctl"), "--kernel", "default"});
    EXPECT_TRUE(faithful.exited(0)) << faithful.out << faithful.err;
    EXPECT_NE(
        faithful.out.find("  mended InTheVm/DriverScenario.RanAndPassed/"
                          "Counts_QbOversized_WriteIsRefusedWithEinvalAndStoresNothing_count12: "
                          "yours keeps the description's fault"),
        std::string::npos)
        << faithful.out;

    // The open's log line changed: the scenario that reads it fails.
    fs::create_directories(scratch / "module");
    fs::copy_file(source("driver/Kbuild"), scratch / "module/Kbuild");
    std::string text = readFile(source("driver/qb_ioctl.c"));
    const std::size_t at = text.find("Device has been opened...");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 6, "Driver");
    std::ofstream(scratch / "module/qb_ioctl.c") << text;
    const RunResult broken =
        check({"qb_ioctl", (scratch / "module").string(), "--kernel", "default"});
    EXPECT_TRUE(broken.exited(1)) << broken.out << broken.err;
    EXPECT_NE(broken.out.find("FAIL InTheVm/DriverScenario.RanAndPassed/"
                              "QbDevice_OpenAndCloseLogOneLineEach\n"),
              std::string::npos)
        << broken.out;

    const RunResult notModule = check({"qb_ioctl", source("README.md")});
    EXPECT_TRUE(notModule.exited(2));
    EXPECT_NE(notModule.err.find("is not a kernel module"), std::string::npos) << notModule.err;
}

// A class of three: one passes, one prints the wrong thing, one never ends; the hanging
// program costs its own cases and nothing more.
TEST_F(Check, AClassGetsOneRowPerStudent)
{
    for (const char *student : {"alice", "bob", "carol"}) {
        fs::create_directories(scratch / "class" / student);
    }
    fs::copy_file(bin("c_src_108"), scratch / "class/alice/c_src_108");
    fs::copy_file(bin("c_src_39"), scratch / "class/bob/c_src_108");
    std::ofstream(scratch / "hang.c") << "int main(void) { for (;;) { } }\n";
    ASSERT_TRUE(run("gcc", {(scratch / "hang.c").string(), "-o",
                            (scratch / "class/carol/c_src_108").string()})
                    .exited(0));
    std::ofstream(scratch / "class/carol/c_src_161.c") << "#include <stdio.h>\n"
                                                          "int main(void) { for (int i = 1; "
                                                          "i <= 10; ++i) printf(\"%d\\n\", i); }\n";
    const fs::path csv = scratch / "class.csv";
    const RunResult result =
        check({"--class", (scratch / "class").string(), "--csv", csv.string(), "--timeout", "3"});
    EXPECT_TRUE(result.exited(0)) << result.err;
    EXPECT_EQ(readFile(csv), "student,c_src_108,c_src_108 notes,c_src_161,c_src_161 notes\n"
                             "alice,3/3,0,-,-\nbob,2/3,0,-,-\ncarol,0/3,0,3/3,0\n");
    EXPECT_NE(result.out.find("alice    3/3        -"), std::string::npos) << result.out;
}

// A folder is checked by its file names: builds and sources; a file that is no build of its
// deliverable fails that deliverable, and the check goes on.
TEST_F(Check, AFolderIsCheckedByItsFileNamesAndGoesOnPastARejectedFile)
{
    fs::create_directories(scratch / "mine");
    fs::copy_file(bin("c_src_108"), scratch / "mine/c_src_108");
    fs::copy_file(bin("c_src_39"), scratch / "mine/c_src_161"); // the wrong program
    std::ofstream(scratch / "mine/c_src_146") << "not a program\n";
    fs::copy_file(source("exercises/c_src_174.cpp"), scratch / "mine/c_src_174.cpp");
    const fs::path junit = scratch / "report.xml";
    const RunResult result =
        check({"--dir", (scratch / "mine").string(), "--junit", junit.string()});
    EXPECT_TRUE(result.exited(1)) << result.out << result.err;
    EXPECT_NE(result.out.find("=== c_src_108 ("), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("=== c_src_146 (" + (scratch / "mine/c_src_146").string() +
                              ")\nlabs check: " + (scratch / "mine/c_src_146").string() +
                              " is not an ELF program or library\n0 passed, 1 failed\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(
        result.out.find(
            "FAIL Demos/FixedOutputProgram.WritesExactlyItsBytesAndExitsWithZero/c_src_161\n"),
        std::string::npos)
        << result.out;
    EXPECT_EQ(lines(result.out).back(), "=== all: 8 passed, 2 failed") << result.out;
    const std::string xml = readFile(junit);
    EXPECT_NE(xml.find("<testsuite name=\"labs check c_src_174\" tests=\"3\" failures=\"0\">"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<testsuite name=\"labs check c_src_146\" tests=\"1\" failures=\"1\">"),
              std::string::npos)
        << xml;
}

// The program deliverables and their file names, from the case table.
std::vector<std::pair<std::string, std::string>> programDeliverables(const std::string &kind)
{
    std::vector<std::pair<std::string, std::string>> found;
    for (const std::string &line : lines(readFile(source("tests/check/cases.tsv")))) {
        const std::string marker = " | " + kind + ":";
        const std::size_t at = line.find(marker);
        if (!line.starts_with("#") && at != std::string::npos &&
            line.find('|', at + marker.size()) == std::string::npos) {
            found.emplace_back(line.substr(0, at), line.substr(at + marker.size()));
        }
    }
    return found;
}

// Each "=== NAME" section of a folder's report with a failure, by name.
std::set<std::string> failingSections(const std::string &report)
{
    std::set<std::string> failing;
    std::string section;
    for (const std::string &line : lines(report)) {
        if (line.starts_with("=== ") && !line.starts_with("=== all:")) {
            section = line.substr(4, line.find(' ', 4) - 4);
        } else if (line.find(" passed, ") != std::string::npos && !line.ends_with(" 0 failed") &&
                   !line.starts_with("===")) {
            failing.insert(section);
        }
    }
    return failing;
}

// A build that prints one fixed line, whatever it is given, fails every program deliverable
// on every target: the cases of what the description states see each one's output.
TEST_F(Check, AProgramThatPrintsAFixedLineFailsEveryProgramDeliverable)
{
    std::ofstream(scratch / "homework.c")
        << "#include <stdio.h>\nint main(void) { puts(\"I did not do the homework\"); }\n";
    const std::map<std::string, std::string> compilers = {
        {"bin", LABS_X86_64_CC}, {"arm", LABS_ARM_CC}, {"i386", LABS_I386_CC}};
    fs::create_directories(scratch / "lazy");
    std::set<std::string> all;
    for (const auto &[kind, compiler] : compilers) {
        const fs::path built = scratch / ("homework-" + kind);
        ASSERT_TRUE(
            run(compiler, {(scratch / "homework.c").string(), "-o", built.string()}).exited(0));
        for (const auto &[name, file] : programDeliverables(kind)) {
            fs::copy_file(built, scratch / "lazy" / name);
            all.insert(name);
        }
    }
    ASSERT_GE(all.size(), 40u);
    const RunResult result = check({"--dir", (scratch / "lazy").string()});
    EXPECT_TRUE(result.exited(1));
    EXPECT_EQ(failingSections(result.out), all) << result.out;
}

// One byte of the output changed: each x86-64 program that writes something is run behind a
// wrapper that flips the first byte it writes, and fails.
TEST_F(Check, OneChangedByteOfOutputFailsEveryProgram)
{
    std::ofstream(scratch / "flip.c") << R"(#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>
int main(int argc, char **argv)
{
    (void)argc;
    int out[2];
    if (pipe(out) != 0) return 125;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        argv[0] = REAL;
        execv(REAL, argv);
        _exit(127);
    }
    close(out[1]);
    char buffer[4096];
    ssize_t n;
    int first = 1;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) {
        if (first) buffer[0] ^= 0x20;
        first = 0;
        if (write(1, buffer, (size_t)n) != n) break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) {
        signal(WTERMSIG(status), SIG_DFL);
        raise(WTERMSIG(status));
    }
    return WEXITSTATUS(status);
}
)";
    fs::create_directories(scratch / "flipped");
    std::set<std::string> all;
    for (const auto &[name, file] : programDeliverables("bin")) {
        RunOptions quick;
        quick.stopAfterOutput = 1;
        if (run(bin(file), {}, quick).out.empty()) {
            continue; // nothing to change (a demo that prints nothing fails the test above)
        }
        const std::string real = "-DREAL=\"" + bin(file) + "\"";
        ASSERT_TRUE(run("gcc", {real, (scratch / "flip.c").string(), "-o",
                                (scratch / "flipped" / name).string()})
                        .exited(0));
        all.insert(name);
    }
    // A flipped prompt never gets its answer typed: a short time limit ends those runs.
    const RunResult result = check({"--dir", (scratch / "flipped").string(), "--timeout", "2"});
    EXPECT_TRUE(result.exited(1));
    EXPECT_EQ(failingSections(result.out), all) << result.out;
}

// The sanitizer build's own cases expect sanitized programs and libraries (its heap limits,
// its runtime loaded first): a student's plain build is checked against the plain build.
const char *const plainBuildsOnly = "a student's plain build is checked against the plain build";

// A copy of one of the project's student builds (tests/check/students/NAME), without the
// module, which its own test tries in the VM.
fs::path studentCopy(const fs::path &scratch, const std::string &student)
{
    const fs::path copy = scratch / student;
    fs::copy(source("tests/check/students/" + student), copy, fs::copy_options::recursive);
    fs::remove_all(copy / "qb_ioctl");
    fs::remove(copy / "README.md");
    return copy;
}

// Written to the letter of the description: every case of what it states passes, and where
// the collection mends the description or the student chose otherwise, a note says so.
TEST_F(Check, TheFaithfulStudentPassesWithNotesWhereTheCollectionDiffers)
{
    if (sanitized) {
        GTEST_SKIP() << plainBuildsOnly;
    }
    const RunResult result = check({"--dir", studentCopy(scratch, "faithful").string()});
    EXPECT_TRUE(result.exited(0)) << result.out << result.err;
    const std::string last = lines(result.out).back();
    EXPECT_TRUE(last.starts_with("=== all: ") &&
                last.find(" passed, 0 failed, ") != std::string::npos)
        << last;
    EXPECT_NE(result.out.find("  mended SrhAndDel/PersonTest.ReadsTheNameAndPrintsExactly/"
                              "DeleteRemovesAdjacentMatches: yours keeps the description's fault: "
                              "the description's del skips the record after each removed one"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("  choice Calculator/CalculatorTest.C_src_146/DivisionByZero: left "
                              "to you (what a division by zero"),
              std::string::npos);
    // Counted with --strict.
    const RunResult strict =
        check({"libarray_del", (scratch / "faithful/libarray_del/array.cpp").string(),
               (scratch / "faithful/libarray_del/del.cpp").string(), "--strict"});
    EXPECT_TRUE(strict.exited(1));
    EXPECT_NE(strict.out.find("FAIL SrhAndDel/PersonTest.ReadsTheNameAndPrintsExactly/"
                              "DeleteRemovesAdjacentMatches\n    (counted with --strict: "),
              std::string::npos)
        << strict.out;
}

// Each typical mistake fails the cases that see it, with expected and yours side by side
// and how the build ended.
TEST_F(Check, EachTypicalMistakeFailsWithAReportThatPointsAtIt)
{
    if (sanitized) {
        GTEST_SKIP() << plainBuildsOnly;
    }
    const RunResult result =
        check({"--dir", studentCopy(scratch, "faulty").string(), "--timeout", "3"});
    EXPECT_TRUE(result.exited(1));
    for (const char *expected : {
             "FAIL Calculator/CalculatorTest.C_src_146/Add\n"
             "    the output differs from line 1, byte 1 on (expected 6 bytes, yours 10):\n"
             "    expected:\n      > + : 7\\n\n        ^\n    yours:\n      > 3 + 4 = 7\\n\n",
             "FAIL Demos/FixedOutputProgram.WritesExactlyItsBytesAndExitsWithZero/c_src_108\n",
             "FAIL FunctionPointer/FuncPtrBasic2Test.FuncPtrBasic2/ZeroSubtracts\n",
             "killed by SIGSEGV",
             "FAIL Ex04_2/FifoChunkedTest.EveryByteArrivesInChunksOfAtMost1023/"
             "TwoThousandBytesInOneWrite\n",
             "FAIL EndlessLoop.CountsToTenThenPrintsQuestionMarksUntilInterrupted\n",
             "FAIL SrhAndDel/PersonTest.ReadsTheNameAndPrintsExactly/"
             "SearchIsWholeNameAndCaseSensitive\n",
         }) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
    }
    if (!sanitized) { // the sanitizer runtime cannot start under the heap cases' limits
        EXPECT_NE(result.out.find("FAIL MemoryAlloc2.ReportsZeroWhenNotEvenOneMiBIsGranted\n"),
                  std::string::npos)
            << result.out;
    }
}

// Hostile programs and a hostile library run in the sandbox: nothing outside it is read or
// written, nothing they start outlives their case, and the other student's results and the
// table come out as ever.
TEST_F(Check, HostileBuildsAreContainedAndJudgedLikeAnyOther)
{
    const fs::path hostile = studentCopy(scratch, "hostile");
    fs::remove(hostile / "ex04-2.c"); // its time limits are the pipe tests' own matter
    fs::create_directories(scratch / "class/alice");
    fs::copy_file(bin("c_src_108"), scratch / "class/alice/c_src_108");
    fs::copy_file(bin("c_src_103"), scratch / "class/alice/c_src_103");
    fs::rename(hostile, scratch / "class/mallory");
    const auto leftInTmp = [] {
        int count = 0;
        for (const auto &entry : fs::directory_iterator("/tmp")) {
            count += entry.path().filename().string().starts_with("left-by-c_src_62");
        }
        return count;
    };
    const int leftBefore = leftInTmp();
    const auto buildFiles = [] {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(fs::path(bin("c_src_108")).parent_path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    };
    const std::set<std::string> buildBefore = buildFiles();
    const fs::path csv = scratch / "class.csv";
    const RunResult result =
        check({"--class", (scratch / "class").string(), "--csv", csv.string(), "--timeout", "3"});
    EXPECT_TRUE(result.exited(0)) << result.out << result.err;
    const std::string table = readFile(csv);
    EXPECT_NE(table.find("\nalice,"), std::string::npos) << table;
    EXPECT_NE(table.find("\nalice,3/3,0,-,-,-,-,-,-,-,-,3/3,0,-,-\n"), std::string::npos) << table;
    EXPECT_NE(table.find("\nmallory,"), std::string::npos) << table;
    EXPECT_EQ(table.find("mallory,3/3"), std::string::npos) << table;
    // Nothing left behind in the build, in the real /tmp, or running.
    EXPECT_EQ(buildFiles(), buildBefore);
    EXPECT_EQ(leftInTmp(), leftBefore);
    // c_src_87's 150 children sleep a minute: none may be left.
    const RunResult children = run("pgrep", {"-f", "build/c_src_87"});
    EXPECT_EQ(children.out, "") << "children of c_src_87 still running";
    // The shadow file was not there to read, whatever the report shows.
    const RunResult one = check({"c_src_108", (scratch / "class/mallory/c_src_108.c").string()});
    EXPECT_EQ(one.out.find("root:"), std::string::npos) << one.out;
    EXPECT_NE(one.out.find("/etc/shadow: No such file or directory"), std::string::npos) << one.out;
}

TEST_F(Check, BadArgumentsGetOneLineAndStatusTwo)
{
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"no_such_example", bin("c_src_146")}, "no checks for 'no_such_example'"},
        {{"c_src_146", (scratch / "missing").string()}, "missing: no such file"},
        {{"c_src_146", source("README.md")}, "is not an ELF program"},
        {{"optionTest1", bin("c_src_146")}, "optionTest1 needs ARM"},
        {{"c_src_146"}, "name a deliverable and a build of it"},
    };
    for (const auto &c : cases) {
        const RunResult result = check(c.args);
        EXPECT_TRUE(result.exited(2)) << c.says;
        EXPECT_EQ(lines(result.err).size(), 1u) << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    }
}

} // namespace
} // namespace harness
