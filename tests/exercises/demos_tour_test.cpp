// The front door's tour runs each pointer, memory, type, format and loop demonstration
// and ends: c_src_159 is stopped after a moment, memory-alloc2 ends at its limit.
#include "run_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace harness
{
namespace
{

struct TourStop {
    std::string name;
    int status;          // the exit status the tour reports for it
    std::string showing; // a piece of its transcript
};

const std::vector<TourStop> stops = {
    {"funcPtrBasic1", 0, "\n20, 20\n"},
    {"c_src_236", 0, "\nch : B\n"},
    {"c_src_266", 0, "\n1.2\t2.3\t3.4\t4.5\t5.6\t\n"},
    {"c_src_254", 0, "\nx : 30, y : 20\n"},
    {"c_src_64", 0, "\ntest 19 : ^@(0)\n"},
    {"memory-alloc2", 1, " 메가\n"},
    {"main_read_write", 0, "\nwrite function called\nwrite function called\n"},
    {"c_src_103", 0, "\nlong double 자료형의 크기 : 16\n"},
    {"c_src_244", 0, "\n변수a값 : 20\n"},
    {"c_src_58", 0, "\nsint = -32536\n"},
    {"c_src_40", 0, "\n3.14e-05\n"},
    {"c_src_89", 0, "\nInital value : a = 6, b = 6\n"},
    {"c_src_87", 0, "\n3.000000, 1\n"},
    {"c_src_62", 0, " : 1.23456789012345669043\n"},
    {"c_src_295", 0, "\nSmall : g\n"},
    {"c_src_39", 0, "\n14\nc\nC\n"},
    {"c_src_35", 0, "\n1을 2로 나누면 0.500000입니다\n"},
    // stopped by timeout after 0.2 s, which then reports 124
    {"c_src_159", 124, "\n9\n10\n?\n?\n... "},
    {"c_src_108", 0, "\nmax value : 20\n"},
    {"c_src_174", 0, "\n10\n11\n"},
    {"c_src_161", 0, "\n9\n10\n"},
};

TEST(DemosTour, RunsEachDemonstrationAndEnds)
{
    std::vector<std::string> names = {"tour"};
    for (const TourStop &stop : stops) {
        // A sanitized program cannot start under the tour's address-space limit.
        if (!(sanitized && stop.name == "memory-alloc2")) {
            names.push_back(stop.name);
        }
    }
    RunOptions options;
    options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
    options.timeout = std::chrono::seconds(120);
    const RunResult tour = run(source("labs"), names, options);
    ASSERT_TRUE(tour.exited(0)) << tour.err;

    for (const TourStop &stop : stops) {
        if (sanitized && stop.name == "memory-alloc2") {
            continue;
        }
        const std::size_t start = tour.out.find("\n=== " + stop.name + " (x86-64): ");
        ASSERT_NE(start, std::string::npos) << stop.name << " is not in the tour";
        const std::size_t end = tour.out.find("\n=== ", start + 1);
        const std::string part = tour.out.substr(start, end - start);
        EXPECT_NE(part.find(stop.showing), std::string::npos) << part;
        EXPECT_NE(part.find("\n--- exit status " + std::to_string(stop.status) + " ---\n"),
                  std::string::npos)
            << part;
    }
    EXPECT_NE(tour.out.find("c_src_159 never ends by itself"), std::string::npos);
}

} // namespace
} // namespace harness
