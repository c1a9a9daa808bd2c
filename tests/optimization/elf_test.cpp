// What a user cannot see in the output: how every deliverable was built (from its own
// sources only, without optimisation, with its named functions), the file formats of the
// cross-built programs, optionTest7's dynamic section, and that optionTest5 calls no
// logarithm at run time.
#include "elf.h"
#include "targets.h"

#include <algorithm>
#include <cctype>
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

// The sanitized build links the sanitizer's own start-up code into every program: what it
// builds is no deliverable, and these checks are for the other builds only.
#if !LABS_SANITIZED

struct Deliverable {
    std::string file;                     // the built program or library
    std::vector<std::string> sources;     // of the source tree: exactly its compile units
    std::set<std::string> functions = {}; // its own functions, defined in it
};

// Its place in the build folder, e.g. default/bin/bigstr.
std::string builtAs(const Deliverable &d)
{
    return d.file.substr(d.file.rfind("/build/") + 7);
}

void PrintTo(const Deliverable &d, std::ostream *out)
{
    *out << builtAs(d);
}

// A program of the console exercises, built from the source of its name.
Deliverable exercise(const std::string &name, std::set<std::string> functions = {})
{
    return {programPath(x86_64, name), {"exercises/" + name + ".cpp"}, functions};
}

Deliverable demo(const Target &target, const std::string &name,
                 std::set<std::string> functions = {})
{
    return {programPath(target, name), {"optimization/" + name + ".cpp"}, functions};
}

const std::vector<Deliverable> deliverables = {
    {lib("libarray_srh.so"), {"array/array.cpp", "array/srh.cpp"}},
    {lib("libarray_del.so"), {"array/array.cpp", "array/del.cpp"}},
    {lib("libmember.so"), {"member/member.cpp"}},
    {programPath(x86_64, "ex04-2"), {"ipc/ex04-2.cpp"}},
    {programPath(x86_64, "main_read_write"),
     {"exercises/main.cpp", "exercises/read.cpp", "exercises/write.cpp"}},
    exercise("bigstr"),
    exercise("mygets", {"mygets"}),
    exercise("caseconv"),
    exercise("c_src_146"),
    exercise("funcPtrBasic2", {"fp_op", "add", "sub"}),
    exercise("c_src_209"),
    exercise("c_src_76"),
    exercise("c_src_310"),
    exercise("funcPtrBasic1", {"memAlloc"}),
    exercise("c_src_236"),
    exercise("c_src_266"),
    exercise("c_src_254", {"swap"}),
    exercise("c_src_64"),
    exercise("memory-alloc2"),
    exercise("c_src_103"),
    exercise("c_src_244"),
    exercise("c_src_58"),
    exercise("c_src_40"),
    exercise("c_src_89"),
    exercise("c_src_87"),
    exercise("c_src_62"),
    exercise("c_src_295"),
    exercise("c_src_39"),
    exercise("c_src_35"),
    exercise("c_src_159"),
    exercise("c_src_108"),
    exercise("c_src_174"),
    exercise("c_src_161"),
    demo(i386, "optionTest1_globals"),
    demo(arm, "optionTest1"),
    demo(x86_64, "optionTest2"),
    demo(x86_64, "optionTest4"),
    demo(arm, "optionTest4"),
    demo(x86_64, "optionTest5"),
    demo(x86_64, "optionTest6"),
    demo(x86_64, "optionTest7"),
    demo(x86_64, "globalVarOpt", {"f1", "f2"}),
    demo(x86_64, "lowCostOp"),
};

class Build : public ::testing::TestWithParam<Deliverable>
{
};

// The debug information names every source compiled into the file and the options used;
// the symbol tables name the functions.
TEST_P(Build, FromItsOwnSourcesWithoutOptimisationDefiningItsNamedFunctions)
{
    const Deliverable &d = GetParam();
    std::vector<std::string> compiled, expected;
    for (const CompileUnit &unit : compileUnits(d.file)) {
        compiled.push_back(unit.source);
        std::istringstream options(unit.producer);
        for (std::string option; options >> option;) {
            EXPECT_FALSE(option.starts_with("-O") && option != "-O0")
                << unit.source << " compiled with " << option << ": " << unit.producer;
        }
    }
    for (const std::string &path : d.sources) {
        expected.push_back(source(path));
    }
    std::sort(compiled.begin(), compiled.end());
    EXPECT_EQ(compiled, expected);

    const std::set<std::string> defined = definedFunctions(d.file);
    for (const std::string &name : d.functions) {
        EXPECT_TRUE(defined.contains(name)) << name << " is not defined";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDeliverable, Build, ::testing::ValuesIn(deliverables),
                         [](const ::testing::TestParamInfo<Deliverable> &info) {
                             std::string name = builtAs(info.param);
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) { return std::isalnum(c) == 0; }, '_');
                             return name;
                         });

#endif

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

INSTANTIATE_TEST_SUITE_P(Demos, DemoNeeds, ::testing::ValuesIn(demoBuilds()), [](const auto &info) {
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
