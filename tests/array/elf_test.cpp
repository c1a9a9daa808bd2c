// The record libraries as files: no start-up code, no needed library, exactly their exports.
#include "elf.h"
#include "run_process.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace harness
{
namespace
{

class ElfTest : public ::testing::TestWithParam<const char *>
{
  protected:
    std::string file() const
    {
        return lib(std::string("libarray_") + GetParam() + ".so");
    }
};

TEST_P(ElfTest, NeedsNoLibraryAndHasNoStartUpCode)
{
    EXPECT_EQ(neededLibraries(file()), std::set<std::string>{});
    EXPECT_EQ(startUpTags(file()), std::set<std::string>{});
}

TEST_P(ElfTest, ExportsExactlyTheArrayOperationsAndItsOwn)
{
    const std::set<std::string> expected = {"arrayCreate",  "arraySize",  "arrayAdd",
                                            "arrayGetAt",   "arraySetAt", "arrayRemoveAt",
                                            "arrayDestroy", GetParam()};
    EXPECT_EQ(dynamicSymbols(file()), expected);
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, ElfTest, ::testing::Values("srh", "del"),
                         [](const auto &info) { return std::string(info.param); });

} // namespace
} // namespace harness
