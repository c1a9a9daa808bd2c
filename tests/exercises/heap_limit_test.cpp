// memory-alloc2 and funcPtrBasic1 under a limit on their address space (RLIMIT_AS, set
// by prlimit): the heap probe stops at the limit, and a refused 12-byte block is reported.
#include "run_process.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace harness
{
namespace
{

constexpr long KiB = 1024;
constexpr long MiB = 1024 * KiB;

// The one line memory-alloc2 prints; -1 when the output is anything else.
long reportedMiB(const RunResult &result)
{
    static const std::regex line("할당가능한 동적메모리 영역 - ([0-9]+) 메가\n");
    std::smatch match;
    if (!std::regex_match(result.out, match, line)) {
        ADD_FAILURE() << "not exactly the one result line:\n" << visible(result.out);
        return -1;
    }
    return std::stol(match[1]);
}

// The sanitizer runtime reserves terabytes of address space at start-up, so a sanitized
// program cannot run under an address-space limit: that build checks memory-alloc2 against
// its allocator's size limit instead, and each build registers only the tests it can run.
#if !LABS_SANITIZED

RunResult runLimited(const std::string &program, long bytes)
{
    RunOptions options;
    options.prefix = {"prlimit", "--as=" + std::to_string(bytes)};
    return run(bin(program), {}, options);
}

// Too little room gives a crash in exec or the loader's "cannot map" (status 127).
bool reachedMain(const RunResult &result)
{
    return result.signal == 0 && result.status != 126 && result.status != 127;
}

// The smallest limit, to the page, under which the program gets as far as its main:
// at that limit less than a page is left for anything it allocates itself.
long smallestStartingLimit(const std::string &program)
{
    long tooSmall = 64 * KiB;
    long enough = 64 * MiB;
    EXPECT_FALSE(reachedMain(runLimited(program, tooSmall)));
    EXPECT_TRUE(reachedMain(runLimited(program, enough)));
    while (enough - tooSmall > 4 * KiB) {
        const long middle = (tooSmall + enough) / 2 / (4 * KiB) * (4 * KiB);
        if (reachedMain(runLimited(program, middle))) {
            enough = middle;
        } else {
            tooSmall = middle;
        }
    }
    return enough;
}

TEST(MemoryAlloc2, StopsAtTwoAddressSpaceLimitsWithTheLastGrantedSize)
{
    // What the program needs before its first allocation; the rest of the limit is heap.
    const long startUp = smallestStartingLimit("memory-alloc2");
    for (const long limit : {48 * MiB, 96 * MiB}) {
        SCOPED_TRACE("limit " + std::to_string(limit / MiB) + " MiB");
        const RunResult result = runLimited("memory-alloc2", limit);
        EXPECT_TRUE(result.exited(1)) << "status " << result.status << ", signal " << result.signal;
        const long granted = reportedMiB(result);
        // granted MiB fit beside the start-up needs; one more MiB (plus the allocator's
        // own page) would not.
        EXPECT_LE(granted * MiB, limit - startUp);
        EXPECT_GT((granted + 2) * MiB, limit - startUp);
    }
}

TEST(MemoryAlloc2, ReportsZeroWhenNotEvenOneMiBIsGranted)
{
    const RunResult result = runLimited("memory-alloc2", smallestStartingLimit("memory-alloc2"));
    EXPECT_TRUE(result.exited(1));
    EXPECT_EQ(reportedMiB(result), 0);
}

TEST(FuncPtrBasic1, ARefusedBlockIsReportedOnStandardErrorWithStatusOne)
{
    if (checkingAnotherBuild()) {
        GTEST_SKIP() << "a failed allocation has no path of its own: our own answer";
    }
    const RunResult result = runLimited("funcPtrBasic1", smallestStartingLimit("funcPtrBasic1"));
    EXPECT_TRUE(result.exited(1)) << "status " << result.status << ", signal " << result.signal;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "funcPtrBasic1: cannot allocate 12 bytes\n");
}

#else

// The sanitized build stands in its own allocator's size limit for the address-space
// limit: a request above max_allocation_size_mb is refused, so the report is exact.
// The program keeps its last block to the end on purpose, hence no leak check.
TEST(MemoryAlloc2, StopsAtTheSanitizerAllocatorsSizeLimit)
{
    for (const long limitMiB : {3L, 8L}) {
        SCOPED_TRACE("limit " + std::to_string(limitMiB) + " MiB");
        RunOptions options;
        options.env = {"ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:"
                       "max_allocation_size_mb=" +
                       std::to_string(limitMiB)};
        const RunResult result = run(bin("memory-alloc2"), {}, options);
        EXPECT_TRUE(result.exited(1)) << result.err;
        EXPECT_EQ(reportedMiB(result), limitMiB);
    }
}

#endif

} // namespace
} // namespace harness
