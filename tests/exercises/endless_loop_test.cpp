// c_src_159 counts to ten and then prints "?" lines for as long as it runs. Two runs tell
// that apart from a program that stops by itself: one with its output thrown away, which
// must still be running when its time is up, so that an end of its own after any number of
// lines within that time shows; and one read for its ten lines and a hundred thousand "?"
// lines, which an interrupt must then end.
#include "run_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace harness
{
namespace
{

TEST(EndlessLoop, CountsToTenThenPrintsQuestionMarksUntilInterrupted)
{
    // Still running after a second and a half: only the time limit's kill ends it. Output
    // goes to /dev/null, so no amount of it stops the run early.
    RunOptions alive;
    alive.outputFile = "/dev/null";
    alive.timeout = std::chrono::milliseconds(1500);
    const RunResult lasting = run(bin("c_src_159"), {}, alive);
    EXPECT_TRUE(lasting.timedOut && lasting.signal == SIGKILL)
        << "it ended by itself, status " << lasting.status << ", signal " << lasting.signal;

    const std::string counting = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
    RunOptions options;
    options.stopAfterOutput = counting.size() + 100000 * std::string("?\n").size();
    options.stopSignal = SIGINT; // as from the terminal
    options.timeout = std::chrono::seconds(10);
    const RunResult result = run(bin("c_src_159"), {}, options);

    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.timedOut) << "the interrupt did not end it";
    EXPECT_EQ(result.signal, SIGINT) << "status " << result.status;
    ASSERT_GE(result.out.size(), options.stopAfterOutput);
    EXPECT_EQ(result.out.substr(0, counting.size()), counting);
    // Everything after the count is "?\n" over and over; the last line may be cut short.
    const std::string rest = result.out.substr(counting.size());
    std::size_t wrong = rest.size();
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != (i % 2 == 0 ? '?' : '\n')) {
            wrong = i;
            break;
        }
    }
    EXPECT_EQ(wrong, rest.size()) << "unexpected byte after " << wrong
                                  << " bytes of \"?\" lines: " << visible(rest.substr(wrong, 40));
}

} // namespace
} // namespace harness
