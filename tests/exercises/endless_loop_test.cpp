// c_src_159 counts to ten and then prints "?" lines for as long as it runs: it is read
// for its ten lines and a thousand "?" lines, found still running, and stopped.
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
    const std::string counting = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
    RunOptions options;
    options.stopAfterOutput = counting.size() + 1000 * std::string("?\n").size();
    options.stopSignal = SIGINT; // as from the terminal
    const RunResult result = run(bin("c_src_159"), {}, options);

    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.timedOut);
    // Ended by the interrupt, not by itself: it was still running when it came.
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
