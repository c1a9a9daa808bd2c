// What a user cannot see in the output: the file formats of the cross-built programs,
// optionTest7's dynamic section, and that optionTest5 calls no logarithm at run time.
#include "elf.h"
#include "targets.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace harness
{
namespace
{

// The value readelf gives for a header field or an attribute tag, e.g. "Class:".
std::string field(const std::string &text, const std::string &name)
{
    for (const std::string &line : lines(text)) {
        const std::size_t at = line.find(name);
        if (at != std::string::npos) {
            std::string value = line.substr(at + name.size());
            value.erase(0, value.find_first_not_of(' '));
            return value;
        }
    }
    return "";
}

struct Symbol {
    unsigned long value = 0;
    std::string type, name;
};

std::vector<Symbol> symbols(const std::string &file)
{
    std::vector<Symbol> result;
    for (const std::string &line : lines(readelf({"-s"}, file))) {
        std::istringstream fields(line);
        std::string num, value, size, type, bind, visibility, section, name;
        if (fields >> num >> value >> size >> type >> bind >> visibility >> section >> name &&
            num != "Num:" && num.back() == ':') {
            result.push_back({std::stoul(value, nullptr, 16), type, name});
        }
    }
    return result;
}

class ArmProgram : public ::testing::TestWithParam<const char *>
{
  protected:
    std::string file() const
    {
        return programPath(arm, GetParam());
    }
};

TEST_P(ArmProgram, Is32BitEabi5SoftFloatForArmv5)
{
    const std::string header = readelf({"-h"}, file());
    EXPECT_EQ(field(header, "Class:"), "ELF32");
    EXPECT_EQ(field(header, "Machine:"), "ARM");
    EXPECT_EQ(field(header, "Flags:"), "0x5000200, Version5 EABI, soft-float ABI");

    // Our objects are v5T; the platform's start-up files make the linked program v5TE.
    const std::string attributes = readelf({"-A"}, file());
    const std::string arch = field(attributes, "Tag_CPU_arch:");
    EXPECT_TRUE(arch == "v5T" || arch == "v5TE") << arch;
    EXPECT_EQ(field(attributes, "Tag_ARM_ISA_use:"), "Yes");
    for (const char *floatingPoint :
         {"Tag_FP_arch:", "Tag_ABI_VFP_args:", "Tag_Advanced_SIMD_arch:"}) {
        EXPECT_EQ(attributes.find(floatingPoint), std::string::npos) << floatingPoint;
    }
}

// A Thumb function's symbol has bit 0 set; ARM code starts with an $a mapping symbol.
TEST_P(ArmProgram, MainIsInArmState)
{
    const std::vector<Symbol> all = symbols(file());
    unsigned long mainAddress = 1;
    for (const Symbol &s : all) {
        if (s.name == "main" && s.type == "FUNC") {
            mainAddress = s.value;
        }
    }
    ASSERT_NE(mainAddress, 1u) << "no main in " << file();
    EXPECT_EQ(mainAddress & 1u, 0u);
    bool armMapping = false, thumbMapping = false;
    for (const Symbol &s : all) {
        armMapping = armMapping || (s.name == "$a" && s.value == mainAddress);
        thumbMapping = thumbMapping || (s.name == "$t" && s.value == mainAddress);
    }
    EXPECT_TRUE(armMapping);
    EXPECT_FALSE(thumbMapping);
}

INSTANTIATE_TEST_SUITE_P(BothArmPrograms, ArmProgram,
                         ::testing::Values("optionTest1", "optionTest4"),
                         [](const auto &info) { return std::string(info.param); });

TEST(I386Program, OptionTest1GlobalsIs32BitX86)
{
    const std::string header = readelf({"-h"}, programPath(i386, "optionTest1_globals"));
    EXPECT_EQ(field(header, "Class:"), "ELF32");
    EXPECT_EQ(field(header, "Machine:"), "Intel 80386");
}

// Every demo, on every target, needs the platform's C library and nothing else (optionTest7
// also its libminmax): a board with only the C library runs them.
struct DemoBuild {
    const Target *target;
    const char *program;
};

class DemoNeeds : public ::testing::TestWithParam<DemoBuild>
{
};

TEST_P(DemoNeeds, OnlyTheCLibrary)
{
    const DemoBuild &demo = GetParam();
    std::set<std::string> expected = {"libc.so.6"};
    if (std::string(demo.program) == "optionTest7") {
        expected.insert("libminmax.so");
    }
    EXPECT_EQ(neededLibraries(programPath(*demo.target, demo.program)), expected);
}

// The sanitizer build's x86-64 programs need the sanitizer runtime too; the 32-bit
// programs are built without it.
std::vector<DemoBuild> demoBuilds()
{
    std::vector<DemoBuild> builds = {
        {&arm, "optionTest1"}, {&arm, "optionTest4"}, {&i386, "optionTest1_globals"}};
    if (!sanitized) {
        for (const char *program : {"optionTest2", "optionTest4", "optionTest5", "optionTest6",
                                    "optionTest7", "globalVarOpt", "lowCostOp"}) {
            builds.push_back({&x86_64, program});
        }
    }
    return builds;
}

INSTANTIATE_TEST_SUITE_P(Demos, DemoNeeds, ::testing::ValuesIn(demoBuilds()),
                         [](const auto &info) {
                             std::string name = info.param.target->name + "_" + info.param.program;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// libminmax.so by name, no search path of its own, every symbol bound at start-up.
TEST(OptionTest7, NeedsLibminmaxWithoutSearchPathAndBindsNow)
{
    const std::string dynamic = readelf({"-d"}, programPath(x86_64, "optionTest7"));
    EXPECT_NE(dynamic.find("(NEEDED)             Shared library: [libminmax.so]"),
              std::string::npos)
        << dynamic;
    EXPECT_EQ(dynamic.find("(RPATH)"), std::string::npos) << dynamic;
    EXPECT_EQ(dynamic.find("(RUNPATH)"), std::string::npos) << dynamic;
    EXPECT_NE(dynamic.find("BIND_NOW"), std::string::npos) << dynamic;
}

TEST(Libminmax, ExportsMaxAndMin)
{
    const std::set<std::string> exported = dynamicSymbols(lib("libminmax.so"));
    EXPECT_TRUE(exported.contains("max"));
    EXPECT_TRUE(exported.contains("min"));
}

// log(2.0) is worked out by the compiler: the program imports no logarithm.
TEST(OptionTest5, CallsNoLogarithmAtRunTime)
{
    for (const std::string &name : dynamicSymbols(programPath(x86_64, "optionTest5"), false)) {
        EXPECT_FALSE(name.starts_with("log")) << name;
    }
}

} // namespace
} // namespace harness
