// tools/check/module-check, which tries someone else's module with this program's cases in
// the lab's VM: on faulty copies of the module, what it notes and which scenarios fail (each
// with the kernel's report), and what it refuses in one line before anything is built.
#include "results.h"
#include "vm_boot.h"

#include <map>

namespace harness
{
namespace
{

// Texts of the module and what replaces each.
using Faults = std::vector<std::pair<std::string, std::string>>;

// tools/check/module-check on a copy of the module in a folder of its own, each text of
// faults replaced, on the kernel under test: what it wrote into OUTDIR and how it ended.
struct ModuleCheck {
    Scratch scratch;
    std::string kernel = onDebugKernel() ? "debug" : "default";
    RunResult run;

    explicit ModuleCheck(const Faults &faults)
    {
        const std::filesystem::path module = scratch.path / "module";
        copyOfTheModule(module, faults);
        RunOptions options = labsOptions();
        options.timeout = std::chrono::seconds(900);
        options.env.insert(options.env.end(),
                           {"CHECK_KERNELS=" + kernel, "CHECK_FILTER=DriverVm.*:InTheVm/*"});
        run = harness::run(source("tools/check/module-check"),
                           {module.string(), (scratch.path / "out").string()}, options);
    }

    std::string written(const std::string &suffix) const
    {
        return readFile((scratch.path / "out" / (kernel + suffix)).string());
    }
};

// The scenarios of InTheVm whose cases failed or did not run, as the JSON report tells (read
// as ./labs check reads it), each with its failure messages.
std::map<std::string, std::string> failedScenarios(const std::string &json)
{
    std::map<std::string, check::Outcome> outcomes;
    std::map<std::string, check::Outcome *> byName;
    for (const std::string &scenario : guestScenarios()) {
        byName["InTheVm/DriverScenario.RanAndPassed/" + caseName(scenario)] = &outcomes[scenario];
    }
    check::readReport(json, byName);
    std::map<std::string, std::string> failed;
    for (const auto &[scenario, outcome] : outcomes) {
        if (!outcome.passed) {
            failed[scenario] = outcome.detail;
        }
    }
    return failed;
}

TEST(ModuleCheck, GlobalsWithoutDeclarationsAreNotedAndAnOopsFailsOnlyItsScenario)
{
    if (onDebugKernel()) {
        GTEST_SKIP() << "run on Debian's kernel";
    }
    // As a student may well write it: the globals with no declaration before them (sparse asks
    // whether they should be static), and a NULL pointer written through by one command.
    const ModuleCheck check({{"extern int result;\nextern char data[QB_DATA_SIZE];\n"
                              "extern const struct file_operations qb_fops;\n",
                              ""},
                             {"printk(\"speed down\\n\");",
                              "printk(\"speed down\\n\");\n\t\t*(volatile int *)0 = 1;"}});
    ASSERT_TRUE(check.run.exited(0)) << check.run.out << check.run.err;
    EXPECT_EQ(check.run.err, "");
    EXPECT_FALSE(std::filesystem::exists(check.scratch.path / "out/default.build-failed"))
        << check.written(".build-failed");
    const std::vector<std::string> notes = lines(check.written(".notes"));
    EXPECT_EQ(notes.size(), 3u) << check.written(".notes"); // result, data and qb_fops
    bool resultNoted = false;
    for (const std::string &note : notes) {
        EXPECT_TRUE(note.starts_with("qb_ioctl.c:")) << note;
        resultNoted = resultNoted || note.ends_with(": warning: symbol 'result' was not declared. "
                                                    "Should it be static?");
    }
    EXPECT_TRUE(resultNoted) << check.written(".notes");

    // Only the scenario of that command fails, with the oops; those after it ran and passed.
    const std::string json = check.written(".json");
    const std::map<std::string, std::string> failed = failedScenarios(json);
    ASSERT_EQ(failed.size(), 1u) << json;
    EXPECT_EQ(failed.begin()->first, "Commands/QbIoctl.LogsAndReturnsAsDecided/speedDown");
    for (const char *words : {"the kernel crashed during this scenario",
                              "BUG: kernel NULL pointer dereference", "RIP: 0010:qb_ioctl"}) {
        EXPECT_NE(failed.begin()->second.find(words), std::string::npos) << words << " not in\n"
                                                                         << failed.begin()->second;
    }
}

TEST(ModuleCheck, UnboundedPrintOfTheStackCopyFailsTheElevenByteWritesWithKasan)
{
    if (!onDebugKernel()) {
        GTEST_SKIP() << "run on the debugging kernel (VMLAB_DEBUG_KERNEL=1)";
    }
    // Eleven bytes without a zero, logged with %s: printk reads past the stack copy. Debian's
    // kernel passes every case; KASAN reports the read, and the kernel panics on the report.
    const ModuleCheck check(Faults{
        {"printk(\"data >>> %.11s\\n\", snapshot);", "printk(\"data >>> %s\\n\", snapshot);"}});
    ASSERT_TRUE(check.run.exited(0)) << check.run.out << check.run.err;
    EXPECT_EQ(check.written(".notes"), "");
    const std::string json = check.written(".json");
    const std::map<std::string, std::string> failed = failedScenarios(json);
    std::vector<std::string> names;
    for (const auto &[name, entry] : failed) {
        names.push_back(name);
        for (const char *words : {"BUG: KASAN: stack-out-of-bounds", "qb_write"}) {
            EXPECT_NE(entry.find(words), std::string::npos) << words << " not in\n" << entry;
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "QbDevice.ConcurrentWritersNeverShowAMixedBuffer",
                         "QbDevice.ElevenBytesWithoutAZeroAreLoggedAsElevenAndNoMore"}))
        << json;
}

// What module-check cannot try is refused in one line, before anything is built or booted.
using Refusal = std::pair<const char *, std::string>; // the case, the line (MODULE for its path)

using ModuleCheckRefused = ::testing::TestWithParam<Refusal>;

TEST_P(ModuleCheckRefused, InOneLine)
{
    const Scratch scratch;
    const std::string which = GetParam().first;
    std::string module = (scratch.path / "qb_ioctl.ko").string();
    if (which == "notAModule") {
        module = source("README.md");
    } else if (which == "noKbuild") {
        module = scratch.path.string();
        std::ofstream(scratch.path / "qb_ioctl.c") << "";
    } else if (which == "anotherKernel") {
        // The module built here, with the vermagic of another kernel.
        std::ofstream(scratch.path / "modinfo", std::ios::binary)
            << std::string("license=GPL") + '\0' +
                   "vermagic=5.15.0-48-generic SMP mod_unload modversions " + '\0';
        const RunResult copied = harness::run(
            "objcopy", {"--update-section", ".modinfo=" + (scratch.path / "modinfo").string(),
                        std::string(LABS_BIN_DIR) + "/../driver/qb_ioctl/qb_ioctl.ko", module});
        ASSERT_TRUE(copied.exited(0)) << copied.err;
    }
    RunOptions options = labsOptions();
    options.env.push_back("CHECK_KERNELS=default");
    const RunResult run = harness::run(source("tools/check/module-check"),
                                       {module, (scratch.path / "out").string()}, options);
    EXPECT_TRUE(run.exited(2)) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    std::string expected = GetParam().second;
    expected.replace(expected.find("MODULE"), 6, module);
    const RunResult release = harness::run(source("vmlab/kernel-version"));
    if (expected.ends_with("RELEASE")) {
        expected.replace(expected.find("RELEASE"), 7,
                         release.out.substr(0, release.out.find('\n')));
    }
    EXPECT_EQ(run.err, expected + "\n");
    EXPECT_FALSE(std::filesystem::exists(scratch.path / "out"));
}

INSTANTIATE_TEST_SUITE_P(
    ModuleCheck, ModuleCheckRefused,
    ::testing::Values(Refusal{"noSuchFile", "MODULE: no such file"},
                      Refusal{"notAModule", "MODULE is not a kernel module"},
                      Refusal{"noKbuild", "MODULE has no Kbuild file"},
                      Refusal{
                          "anotherKernel",
                          "MODULE is built for kernel 5.15.0-48-generic, the lab runs RELEASE"}),
    [](const auto &info) { return std::string(info.param.first); });

} // namespace
} // namespace harness
