// The record libraries as files: no start-up code, no needed library, exactly their exports.
#include "run_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

namespace harness {
namespace {

std::string readelf(const std::string &option, const std::string &file)
{
    const RunResult result = run("readelf", {"-W", option, file});
    EXPECT_TRUE(result.exited(0)) << result.err;
    return result.out;
}

// Names of the global symbols the library defines in its dynamic symbol table.
std::set<std::string> exports(const std::string &file)
{
    std::set<std::string> names;
    for (const std::string &line : lines(readelf("--dyn-syms", file))) {
        std::istringstream fields(line);
        std::string num, value, size, type, bind, visibility, section, name;
        if (fields >> num >> value >> size >> type >> bind >> visibility >> section >> name &&
            bind == "GLOBAL" && section != "UND") {
            names.insert(name);
        }
    }
    return names;
}

class ElfTest : public ::testing::TestWithParam<const char *> {
  protected:
    std::string file() const { return lib(std::string("libarray_") + GetParam() + ".so"); }
};

TEST_P(ElfTest, NeedsNoLibraryAndHasNoStartUpCode)
{
    const std::string dynamic = readelf("-d", file());
    for (const char *tag : {"(NEEDED)", "(INIT)", "(FINI)", "(INIT_ARRAY)", "(FINI_ARRAY)", "(PREINIT_ARRAY)"}) {
        EXPECT_EQ(dynamic.find(tag), std::string::npos) << tag << " in\n" << dynamic;
    }
}

TEST_P(ElfTest, ExportsExactlyTheArrayOperationsAndItsOwn)
{
    const std::set<std::string> expected = {"arrayCreate",   "arraySize",    "arrayAdd",
                                            "arrayGetAt",    "arraySetAt",   "arrayRemoveAt",
                                            "arrayDestroy",  GetParam()};
    EXPECT_EQ(exports(file()), expected);
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, ElfTest, ::testing::Values("srh", "del"));

} // namespace
} // namespace harness
