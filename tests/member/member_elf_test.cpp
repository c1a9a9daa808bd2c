// libmember and libvecbox as files: libmember needs libvecbox and nothing else, has no
// start-up code, exports its five operations and takes only the five calls from libvecbox.
#include "run_process.h"

#include <gtest/gtest.h>

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

// Names in the dynamic symbol table: the ones defined there, or the undefined ones.
std::set<std::string> dynamicSymbols(const std::string &file, bool defined)
{
    std::set<std::string> names;
    for (const std::string &line : lines(readelf("--dyn-syms", file))) {
        std::istringstream fields(line);
        std::string num, value, size, type, bind, visibility, section, name;
        if (fields >> num >> value >> size >> type >> bind >> visibility >> section >> name &&
            bind == "GLOBAL" && (section != "UND") == defined) {
            names.insert(name.substr(0, name.find('@')));
        }
    }
    return names;
}

std::set<std::string> needed(const std::string &file)
{
    std::set<std::string> names;
    for (const std::string &line : lines(readelf("-d", file))) {
        const auto open = line.find("(NEEDED)");
        if (open != std::string::npos) {
            const auto from = line.find('[') + 1;
            names.insert(line.substr(from, line.find(']') - from));
        }
    }
    return names;
}

const std::set<std::string> componentCalls = {"AddArray", "CheckSize", "GetArray", "SetArray", "RemoveArray"};

TEST(MemberElf, NeedsLibvecboxOnlyAndHasNoStartUpCode)
{
    EXPECT_EQ(needed(lib("libmember.so")), std::set<std::string>{"libvecbox.so"});
    const std::string dynamic = readelf("-d", lib("libmember.so"));
    for (const char *tag : {"(INIT)", "(FINI)", "(INIT_ARRAY)", "(FINI_ARRAY)", "(PREINIT_ARRAY)"}) {
        EXPECT_EQ(dynamic.find(tag), std::string::npos) << tag << " in\n" << dynamic;
    }
}

TEST(MemberElf, ExportsExactlyTheFiveOperations)
{
    const std::set<std::string> expected = {"joinMember", "showMember", "searchMember", "reviseMember",
                                            "deleteMember"};
    EXPECT_EQ(dynamicSymbols(lib("libmember.so"), true), expected);
}

TEST(MemberElf, TakesExactlyTheFiveCallsFromTheComponent)
{
    const std::set<std::string> offered = dynamicSymbols(lib("libvecbox.so"), true);
    std::set<std::string> taken;
    for (const std::string &name : dynamicSymbols(lib("libmember.so"), false)) {
        if (offered.contains(name)) {
            taken.insert(name);
        }
    }
    EXPECT_EQ(taken, componentCalls);
}

TEST(MemberElf, TheStandInExportsTheFiveCallsAndItsHandleOnly)
{
    std::set<std::string> expected = componentCalls;
    expected.insert({"CreateArray", "DestroyArray"});
    EXPECT_EQ(dynamicSymbols(lib("libvecbox.so"), true), expected);
}

} // namespace
} // namespace harness
