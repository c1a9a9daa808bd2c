// Reading a boot of the guest's scenarios on the host, from a console and a kernel log of
// the shapes the VM writes: which scenario a kernel report belongs to, and each verdict.
#include "scenario_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

const ScenarioPart *part(const std::vector<ScenarioPart> &parts, const std::string &name)
{
    for (const ScenarioPart &each : parts) {
        if (each.name == name) {
            return &each;
        }
    }
    return nullptr;
}

// A report that does not stop the kernel (lockdep's, say) is in the kernel log only: it fails
// the scenario whose start came last before it, not the one before or after, nor does the
// boot's own log before the first mark (which names the usercopy mitigation).
TEST(ScenarioLog, AReportBelongsToTheScenarioStartedLastBeforeIt)
{
    const std::string console = "[ RUN      ] A.one\n[       OK ] A.one (3 ms)\n"
                                "[ RUN      ] A.two\n[       OK ] A.two (3 ms)\n"
                                "[ RUN      ] A.three\n[       OK ] A.three (3 ms)\n";
    const std::string kernelLog =
        "[    0.014414] Spectre V1 : Mitigation: usercopy/swapgs barriers\n"
        "[    5.000001] qb-scenario start A.one\n"
        "[    5.000002] qb-scenario end A.one passed\n"
        "[    5.100000] qb-scenario start A.two\n"
        "[    5.100001] data >>> hello\n"
        "[    5.100002] qb-scenario end A.two passed\n"
        "[    5.100003] ======================================================\n"
        "[    5.100004] WARNING: possible circular locking dependency detected\n"
        "[    5.100005] 6.1.194-labs-debug #1 Tainted: G           O\n"
        "[    5.100006] ------------------------------------------------------\n"
        "[    5.200000] qb-scenario start A.three\n"
        "[    5.200001] qb-scenario end A.three passed\n";
    const std::vector<ScenarioPart> parts = scenarioParts(console, kernelLog);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].report, std::vector<std::string>{});
    EXPECT_EQ(parts[1].report,
              (std::vector<std::string>{
                  "[    5.100004] WARNING: possible circular locking dependency detected",
                  "[    5.100005] 6.1.194-labs-debug #1 Tainted: G           O",
                  "[    5.100006] ------------------------------------------------------"}));
    EXPECT_EQ(parts[2].report, std::vector<std::string>{});
    EXPECT_TRUE(parts[1].finished && parts[1].passed);
}

// The console shows the kernel's report of a crash right after the scenario's RUN line;
// the kernel log is empty then. A parameterised scenario's failure line names its value.
TEST(ScenarioLog, ACrashIsInTheScenarioThatDidNotFinish)
{
    std::string console = "[ RUN      ] B/C.param/one\n"
                          "qb_guest_test.cpp:10: Failure\n"
                          "[  FAILED  ] B/C.param/one, where GetParam() = 1 (4 ms)\n"
                          "[ RUN      ] B/C.param/two\n"
                          "[    8.100000] BUG: kernel NULL pointer dereference, address: 0\n"
                          "[    8.100001] Call Trace:\n"
                          "[    8.100002]  ? show_regs+0x6d/0x80\n"
                          "[    8.100003]  qb_ioctl+0x1f/0x2c [qb_ioctl]\n";
    for (int line = 0; line < 20; ++line) {
        console += "[    8.200000]  do_syscall_64+0x5d/0x90\n";
    }
    const std::vector<ScenarioPart> parts = scenarioParts(console, "");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_TRUE(parts[0].finished);
    EXPECT_FALSE(parts[0].passed);
    EXPECT_NE(parts[0].output.find("qb_guest_test.cpp:10: Failure"), std::string::npos);
    EXPECT_FALSE(parts[1].finished);
    ASSERT_EQ(parts[1].report.size(), reportLinesShown);
    EXPECT_EQ(parts[1].report[0],
              "[    8.100000] BUG: kernel NULL pointer dereference, address: 0");
    EXPECT_EQ(parts[1].report[2], "[    8.100003]  qb_ioctl+0x1f/0x2c [qb_ioctl]");
}

// A verdict line the console garbled (a kernel line written into it) is taken from the
// scenario's end mark in the kernel log.
TEST(ScenarioLog, AGarbledVerdictIsTakenFromTheEndMark)
{
    const std::string console = "[ RUN      ] D.one\n"
                                "[       OK ] D.o[   10.7] CHRDEV \"QB\" region is full\n"
                                "ne (3 ms)\n";
    const std::string kernelLog = "[    9.000000] qb-scenario start D.one\n"
                                  "[    9.000001] qb-scenario end D.one failed\n";
    EXPECT_FALSE(scenarioParts(console, "")[0].finished);
    const std::vector<ScenarioPart> parts = scenarioParts(console, kernelLog);
    ASSERT_NE(part(parts, "D.one"), nullptr);
    EXPECT_TRUE(part(parts, "D.one")->finished);
    EXPECT_FALSE(part(parts, "D.one")->passed);
}

} // namespace
