// The catalog's run commands for the optimisation demos: the 32-bit ones under qemu-user,
// optionTest7 with the loader pointed at libminmax.
#include "targets.h"

#include <string>

namespace harness
{
namespace
{

struct TourCase {
    const char *name;
    const char *target;
    const char *output; // the whole output, or its start when the rest is not fixed
};

void PrintTo(const TourCase &c, std::ostream *os)
{
    *os << c.name;
}

class CatalogCommand : public ::testing::TestWithParam<TourCase>
{
};

TEST_P(CatalogCommand, RunsTheDemoOnItsTarget)
{
    const TourCase &c = GetParam();
    RunOptions options;
    options.env = {"LABS_NO_BUILD=1", std::string("LABS_BUILD_DIR=") + LABS_BIN_DIR + "/.."};
    options.timeout = std::chrono::seconds(60);
    const RunResult tour = run(source("labs"), {"tour", c.name}, options);
    ASSERT_TRUE(tour.exited(0)) << tour.err;
    const std::string heading = std::string("=== ") + c.name + " (" + c.target + "): ";
    EXPECT_TRUE(tour.out.starts_with("\n" + heading)) << tour.out;
    const std::size_t output = tour.out.find('\n', tour.out.find("\n$ ") + 1) + 1;
    EXPECT_EQ(tour.out.substr(output, std::string(c.output).size()), c.output) << tour.out;
    EXPECT_TRUE(tour.out.ends_with("--- exit status 0 ---\n")) << tour.out;
}

INSTANTIATE_TEST_SUITE_P(
    CrossAndLibrary, CatalogCommand,
    ::testing::Values(TourCase{"optionTest1", "arm",
                               "Main Start..\nlv1:1, lv2:2, lv3:1000\nMain End...\n--- exit"},
                      TourCase{"optionTest4-arm", "arm", "Main Start..\nMain End...\n--- exit"},
                      TourCase{"optionTest1_globals", "i386",
                               "Main Start..\ngv1:10, gv2:20, gv3:0\nlv1:1, lv2:2, lv3:"},
                      TourCase{"optionTest7", "x86-64", "MAX : 5\nMIN : 3\n--- exit"}),
    [](const auto &info) {
        std::string name = info.param.name;
        std::erase(name, '-');
        return name;
    });

} // namespace
} // namespace harness
