// libmember and libvecbox as files: libmember needs libvecbox and nothing else, has no
// start-up code, exports its five operations and takes only the five calls from libvecbox.
#include "elf.h"
#include "run_process.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace harness
{
namespace
{

const std::set<std::string> componentCalls = {"AddArray", "CheckSize", "GetArray", "SetArray",
                                              "RemoveArray"};

TEST(MemberElf, NeedsLibvecboxOnlyAndHasNoStartUpCode)
{
    EXPECT_EQ(neededLibraries(lib("libmember.so")), std::set<std::string>{"libvecbox.so"});
    EXPECT_EQ(startUpTags(lib("libmember.so")), std::set<std::string>{});
}

TEST(MemberElf, ExportsExactlyTheFiveOperations)
{
    const std::set<std::string> expected = {"joinMember", "showMember", "searchMember",
                                            "reviseMember", "deleteMember"};
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
