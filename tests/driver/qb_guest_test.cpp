// The qb_ioctl scenarios, run inside the lab's virtual machine (never on the build machine):
// each loads the module, drives /dev/qb with system calls and checks the calls' results, the
// caller's buffers and the exact kernel log lines, and that the log holds no kernel warning.
#include "guest_module.h"
#include "kernel_log.h"
#include "qb_ioctl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/klog.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace
{

const char *const modulePath = "/lab/qb_ioctl.ko";
const char *const hogModulePath = "/lab/majors_hog.ko";
const char *const node = "/dev/qb_test";
const std::size_t dataSize = 11;

using Lines = std::vector<std::string>;

// The kernel log from the moment it is created, every message kept.
class KernelLog
{
  public:
    // The messages logged since the last call (all of them are also kept in all()).
    Lines next()
    {
        const Lines fresh = reader_.fresh();
        all_.insert(all_.end(), fresh.begin(), fresh.end());
        return fresh;
    }
    const Lines &all()
    {
        next();
        return all_;
    }
    bool lostRecords() const
    {
        return reader_.lost();
    }

  private:
    KmsgReader reader_;
    Lines all_;
};

// The module's own lines: the kernel's notes on loading an unsigned out-of-tree module and on
// a full table of major numbers are left out.
Lines moduleLines(const Lines &lines)
{
    Lines own;
    for (const std::string &line : lines) {
        if (line.rfind("qb_ioctl: ", 0) != 0 && line.rfind("CHRDEV ", 0) != 0 &&
            line.rfind("majors_hog: ", 0) != 0) {
            own.push_back(line);
        }
    }
    return own;
}

// The lines that tell of a kernel fault or warning; none may ever appear.
Lines alarms(const Lines &lines)
{
    Lines found;
    for (const std::string &line : lines) {
        if (kernelReportIn(line) != nullptr) {
            found.push_back(line);
        }
    }
    return found;
}

// The number of "major number=N" among the lines, if there is one.
std::optional<int> loggedMajor(const Lines &lines)
{
    for (const std::string &line : lines) {
        if (line.rfind("major number=", 0) == 0) {
            return std::stoi(line.substr(13));
        }
    }
    return std::nullopt;
}

std::string bytes(const char *text, std::size_t size)
{
    return std::string(text, size);
}

// A call's result: the value returned and, for -1, errno.
struct Call {
    long value;
    int error;
    bool operator==(const Call &) const = default;
};
std::ostream &operator<<(std::ostream &out, const Call &call)
{
    return out << call.value << " (errno " << call.error << ")";
}
Call outcome(long value)
{
    return {value, value < 0 ? errno : 0};
}

// Every scenario starts from a freshly loaded module with a node for its major, and ends
// with the module unloaded and a log that holds no warning.
class QbDevice : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const int error = loadModule(modulePath);
        ASSERT_EQ(error, 0) << std::strerror(error);
        loadLines = moduleLines(log.next());
        const std::optional<int> logged = loggedMajor(loadLines);
        ASSERT_TRUE(logged.has_value());
        major = *logged;
        unlink(node);
        ASSERT_EQ(mknod(node, S_IFCHR | 0600, makedev(major, 0)), 0);
    }

    void TearDown() override
    {
        for (const int fd : openFiles) {
            close(fd);
        }
        unlink(node);
        if (moduleListed("qb_ioctl")) {
            EXPECT_EQ(unloadModule("qb_ioctl"), 0);
        }
        EXPECT_EQ(alarms(log.all()), Lines{});
        EXPECT_FALSE(log.lostRecords());
    }

    int openNode(const char *path = node)
    {
        const int fd = open(path, O_RDWR);
        if (fd >= 0) {
            openFiles.push_back(fd);
        }
        return fd;
    }

    void closeNode(int fd)
    {
        openFiles.erase(std::remove(openFiles.begin(), openFiles.end(), fd), openFiles.end());
        EXPECT_EQ(close(fd), 0);
    }

    // Writes text through a fresh open, then forgets the log lines of that open.
    void store(const std::string &text)
    {
        const int fd = openNode();
        ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        closeNode(fd);
        log.next();
    }

    // The 11 bytes of data as a read of 11 sees them.
    std::string contents()
    {
        const int fd = openNode();
        char buffer[dataSize];
        EXPECT_EQ(read(fd, buffer, dataSize), 0);
        closeNode(fd);
        log.next();
        return bytes(buffer, dataSize);
    }

    KernelLog log;
    Lines loadLines;
    int major = 0;
    std::vector<int> openFiles;
};

TEST_F(QbDevice, LoadLogsTwoLinesWithAPositiveMajorListedUnderQB)
{
    ASSERT_EQ(loadLines.size(), 2u);
    EXPECT_EQ(loadLines[0], "QB Module is up... ");
    EXPECT_EQ(loadLines[1], "major number=" + std::to_string(major));
    EXPECT_GT(major, 0);
    EXPECT_EQ(listedMajor(), major);
}

TEST_F(QbDevice, OpenAndCloseLogOneLineEach)
{
    const int fd = openNode();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(log.next(), Lines{"Device has been opened..."});
    closeNode(fd);
    EXPECT_EQ(log.next(), Lines{"Device has been closed..."});
}

TEST_F(QbDevice, WriteStoresAtByteZeroAndKeepsTheLaterBytes)
{
    const int fd = openNode();
    log.next();
    EXPECT_EQ(outcome(write(fd, "hello", 5)), (Call{5, 0}));
    EXPECT_EQ(log.next(), Lines{"data >>> hello"});
    EXPECT_EQ(outcome(write(fd, "abc", 3)), (Call{3, 0}));
    EXPECT_EQ(log.next(), Lines{"data >>> abclo"});
    closeNode(fd);
    EXPECT_EQ(contents(), bytes("abclo\0\0\0\0\0\0", 11));
}

TEST_F(QbDevice, ZeroBytesAreNeitherStoredNorCopied)
{
    store("hello");
    const int fd = openNode();
    log.next();
    EXPECT_EQ(outcome(write(fd, "xyz", 0)), (Call{0, 0}));
    EXPECT_EQ(log.next(), Lines{"data >>> hello"});
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(outcome(read(fd, buffer, 0)), (Call{0, 0}));
    EXPECT_EQ(log.next(), Lines{"0 data >>> hello"});
    EXPECT_EQ(bytes(buffer, 4), "####");
    closeNode(fd);
    EXPECT_EQ(contents(), bytes("hello\0\0\0\0\0\0", 11));
}

TEST_F(QbDevice, ElevenByteReadRightAfterLoadGivesElevenZeroBytes)
{
    const int fd = openNode();
    log.next();
    char buffer[dataSize];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(outcome(read(fd, buffer, dataSize)), (Call{0, 0}));
    EXPECT_EQ(bytes(buffer, dataSize), std::string(dataSize, '\0'));
    EXPECT_EQ(log.next(), Lines{"0 data >>> "});
}

TEST_F(QbDevice, ElevenByteReadAfterHelloGivesHelloAndSixZeroBytes)
{
    store("hello");
    const int fd = openNode();
    log.next();
    char buffer[dataSize + 1];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(outcome(read(fd, buffer, dataSize)), (Call{0, 0}));
    EXPECT_EQ(bytes(buffer, dataSize + 1), bytes("hello\0\0\0\0\0\0#", 12));
    EXPECT_EQ(log.next(), Lines{"0 data >>> hello"});
}

TEST_F(QbDevice, ShorterReadsCopyOnlyTheirCount)
{
    store("hello");
    const int fd = openNode();
    char buffer[dataSize];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(outcome(read(fd, buffer, 3)), (Call{0, 0}));
    EXPECT_EQ(bytes(buffer, dataSize), "hel########");
}

// More than 11 bytes: refused before any copy, with no kernel warning, data unchanged,
// and the operation's own line logged (a read's with the count as the bytes not copied).
struct Oversized {
    std::size_t count;
    const char *readLine;
};

class QbOversized : public QbDevice, public ::testing::WithParamInterface<Oversized>
{
};

TEST_P(QbOversized, ReadIsRefusedWithEinvalAndCopiesNothing)
{
    store("hello");
    const int fd = openNode();
    log.next();
    std::vector<char> buffer(GetParam().count, '#');
    EXPECT_EQ(outcome(read(fd, buffer.data(), buffer.size())), (Call{-1, EINVAL}));
    EXPECT_EQ(buffer, std::vector<char>(GetParam().count, '#'));
    EXPECT_EQ(log.next(), Lines{GetParam().readLine});
    closeNode(fd);
    EXPECT_EQ(contents(), bytes("hello\0\0\0\0\0\0", 11));
}

TEST_P(QbOversized, WriteIsRefusedWithEinvalAndStoresNothing)
{
    store("hello");
    const int fd = openNode();
    log.next();
    const std::vector<char> text(GetParam().count, 'Z');
    EXPECT_EQ(outcome(write(fd, text.data(), text.size())), (Call{-1, EINVAL}));
    EXPECT_EQ(log.next(), Lines{"data >>> hello"});
    closeNode(fd);
    EXPECT_EQ(contents(), bytes("hello\0\0\0\0\0\0", 11));
}

INSTANTIATE_TEST_SUITE_P(Counts, QbOversized,
                         ::testing::Values(Oversized{12, "12 data >>> hello"},
                                           Oversized{13, "13 data >>> hello"},
                                           Oversized{4096, "4096 data >>> hello"},
                                           Oversized{70000, "70000 data >>> hello"}),
                         [](const auto &info) {
                             return "count" + std::to_string(info.param.count);
                         });

TEST_F(QbDevice, ElevenBytesWithoutAZeroAreLoggedAsElevenAndNoMore)
{
    const int fd = openNode();
    log.next();
    EXPECT_EQ(outcome(write(fd, "ABCDEFGHIJK", 11)), (Call{11, 0}));
    EXPECT_EQ(log.next(), Lines{"data >>> ABCDEFGHIJK"});
    char buffer[dataSize];
    EXPECT_EQ(outcome(read(fd, buffer, dataSize)), (Call{0, 0}));
    EXPECT_EQ(log.next(), Lines{"0 data >>> ABCDEFGHIJK"});
    EXPECT_EQ(bytes(buffer, dataSize), "ABCDEFGHIJK");
}

TEST_F(QbDevice, ReadsStartAtByteZeroWhateverThePosition)
{
    store("hello");
    const int fd = openNode();
    // There is no seek operation: lseek is refused and the position stays where it was.
    EXPECT_EQ(outcome(lseek(fd, 7, SEEK_SET)), (Call{-1, ESPIPE}));
    for (int round = 0; round < 3; ++round) {
        char buffer[5];
        EXPECT_EQ(outcome(read(fd, buffer, 5)), (Call{0, 0}));
        EXPECT_EQ(bytes(buffer, 5), "hello") << "round " << round;
    }
    char buffer[5];
    EXPECT_EQ(outcome(pread(fd, buffer, 5, 7)), (Call{0, 0}));
    EXPECT_EQ(bytes(buffer, 5), "hello");
    EXPECT_EQ(outcome(pwrite(fd, "ab", 2, 9)), (Call{2, 0}));
    closeNode(fd);
    EXPECT_EQ(contents(), bytes("abllo\0\0\0\0\0\0", 11));
}

struct IoctlCase {
    const char *name;
    unsigned long command;
    Call result;
    Lines logged;
};

class QbIoctl : public QbDevice, public ::testing::WithParamInterface<IoctlCase>
{
};

TEST_P(QbIoctl, LogsAndReturnsAsDecided)
{
    store("hello");
    const int fd = openNode();
    log.next();
    EXPECT_EQ(outcome(ioctl(fd, GetParam().command, 0x1234UL)), GetParam().result);
    EXPECT_EQ(log.next(), GetParam().logged);
    closeNode(fd);
    EXPECT_EQ(contents(), bytes("hello\0\0\0\0\0\0", 11));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, QbIoctl,
    ::testing::Values(IoctlCase{"speedUp", QB_SPEED_UP, {0, 0}, {"speed up"}},
                      IoctlCase{"speedDown", QB_SPEED_DOWN, {0, 0}, {"speed down"}},
                      IoctlCase{"unknown0x4103", 0x4103, {-1, ENOTTY}, {}},
                      IoctlCase{"unknown0x4100", 0x4100, {-1, ENOTTY}, {}},
                      IoctlCase{"unknownZero", 0, {-1, ENOTTY}, {}},
                      IoctlCase{"otherTypeSameNumber", _IO('B', 1), {-1, ENOTTY}, {}},
                      IoctlCase{"withDataDirection", _IOR('A', 1, int), {-1, ENOTTY}, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(QbDevice, EveryMinorReachesTheSameBuffer)
{
    store("hello");
    const char *lastMinor = "/dev/qb_test255";
    unlink(lastMinor);
    ASSERT_EQ(mknod(lastMinor, S_IFCHR | 0600, makedev(major, 255)), 0);
    const int fd = openNode(lastMinor);
    ASSERT_GE(fd, 0);
    char buffer[5];
    EXPECT_EQ(outcome(read(fd, buffer, 5)), (Call{0, 0}));
    EXPECT_EQ(bytes(buffer, 5), "hello");
    closeNode(fd);
    unlink(lastMinor);

    const char *pastTheRange = "/dev/qb_test256";
    unlink(pastTheRange);
    ASSERT_EQ(mknod(pastTheRange, S_IFCHR | 0600, makedev(major, 256)), 0);
    EXPECT_EQ(outcome(openNode(pastTheRange)), (Call{-1, ENXIO}));
    unlink(pastTheRange);
}

// A caller's buffer that cannot be read or written in full: -EFAULT, data unchanged.
class QbFaultingBuffer : public QbDevice
{
  protected:
    void SetUp() override
    {
        QbDevice::SetUp();
        const long page = sysconf(_SC_PAGESIZE);
        // Two pages: the first usable, the second not; a buffer may end inside the second.
        void *pages =
            mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(pages, MAP_FAILED);
        ASSERT_EQ(mprotect(static_cast<char *>(pages) + page, page, PROT_NONE), 0);
        usable = static_cast<char *>(pages);
        unusable = usable + page;
        pageSize = page;
    }
    void TearDown() override
    {
        munmap(usable, 2 * pageSize);
        QbDevice::TearDown();
    }
    char *usable = nullptr;
    char *unusable = nullptr;
    long pageSize = 0;
};

TEST_F(QbFaultingBuffer, WriteFromAnUnreadableBufferChangesNothing)
{
    store("hello");
    const int fd = openNode();
    log.next();
    EXPECT_EQ(outcome(write(fd, unusable, 5)), (Call{-1, EFAULT}));
    EXPECT_EQ(log.next(), Lines{"data >>> hello"});
    // Four bytes readable, the rest of the buffer in the unusable page.
    char *straddling = unusable - 4;
    std::memcpy(straddling, "WXYZ", 4);
    EXPECT_EQ(outcome(write(fd, straddling, 8)), (Call{-1, EFAULT}));
    EXPECT_EQ(log.next(), Lines{"data >>> hello"});
    closeNode(fd);
    EXPECT_EQ(contents(), bytes("hello\0\0\0\0\0\0", 11));
}

TEST_F(QbFaultingBuffer, ReadIntoAnUnwritableBufferFails)
{
    store("hello");
    const int fd = openNode();
    log.next();
    EXPECT_EQ(outcome(read(fd, unusable, 5)), (Call{-1, EFAULT}));
    EXPECT_EQ(log.next(), Lines{"5 data >>> hello"});
    char *straddling = unusable - 4;
    std::memset(straddling, '#', 4);
    EXPECT_EQ(outcome(read(fd, straddling, 11)), (Call{-1, EFAULT}));
    EXPECT_EQ(log.next(), Lines{"7 data >>> hello"});
    EXPECT_EQ(bytes(straddling, 4), "hell");
}

TEST_F(QbDevice, UnloadLogsItsLineAndReleasesTheMajor)
{
    log.next();
    EXPECT_EQ(unloadModule("qb_ioctl"), 0);
    EXPECT_EQ(moduleLines(log.next()), Lines{"The module is down..."});
    EXPECT_FALSE(moduleListed("qb_ioctl"));
    EXPECT_EQ(listedMajor(), std::nullopt);
    EXPECT_EQ(outcome(open(node, O_RDWR)), (Call{-1, ENXIO}));
}

TEST_F(QbDevice, UnloadIsRefusedWhileAFileIsOpen)
{
    store("hello");
    const int fd = openNode();
    EXPECT_EQ(unloadModule("qb_ioctl"), EWOULDBLOCK);
    EXPECT_TRUE(moduleListed("qb_ioctl"));
    char buffer[5];
    EXPECT_EQ(outcome(read(fd, buffer, 5)), (Call{0, 0}));
    EXPECT_EQ(bytes(buffer, 5), "hello");
    closeNode(fd);
    log.next();
    EXPECT_EQ(unloadModule("qb_ioctl"), 0);
    EXPECT_EQ(moduleLines(log.next()), Lines{"The module is down..."});
}

// Several processes write their own 11-byte pattern and read the buffer back, over and
// over: every read must return one whole pattern, never a mix of two writes.
TEST_F(QbDevice, ConcurrentWritersNeverShowAMixedBuffer)
{
    const std::string patterns = "ABCD";
    // Every call logs a line: the rounds are bounded so that the log keeps every record.
    const int mostRounds = 2500;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    std::vector<pid_t> children;
    for (const char letter : patterns) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::string mine(dataSize, letter);
            const int fd = open(node, O_RDWR);
            int mixed = 0;
            int rounds = 0;
            while (fd >= 0 && rounds < mostRounds && std::chrono::steady_clock::now() < deadline) {
                if (write(fd, mine.data(), dataSize) != static_cast<ssize_t>(dataSize)) {
                    _exit(2);
                }
                char seen[dataSize];
                if (read(fd, seen, dataSize) != 0) {
                    _exit(3);
                }
                const bool whole =
                    std::count(seen, seen + dataSize, seen[0]) == static_cast<long>(dataSize) &&
                    patterns.find(seen[0]) != std::string::npos;
                mixed += whole ? 0 : 1;
                ++rounds;
            }
            _exit(fd < 0 ? 4 : mixed != 0 ? 1 : rounds < 100 ? 5 : 0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "child status " << status
            << " (1: a mixed buffer, 2-4: a failed call, 5: too few rounds)";
    }
    // Every write and read line shows a whole pattern too.
    int mixedLines = 0;
    for (const std::string &line : log.next()) {
        const std::size_t arrow = line.find(">>> ");
        if (arrow != std::string::npos) {
            const std::string text = line.substr(arrow + 4);
            const bool whole =
                text.size() == dataSize && std::count(text.begin(), text.end(), text[0]) == 11;
            mixedLines += whole ? 0 : 1;
        }
    }
    EXPECT_EQ(mixedLines, 0);
    EXPECT_EQ(alarms(log.all()), Lines{});
    // Its thousands of routine lines are checked now: once they passed, they are cleared, so
    // that they need not be copied over the guest's slow serial port at the end of the run.
    if (!HasFailure()) {
        const int clearTheLog = 5; // the kernel's SYSLOG_ACTION_CLEAR
        klogctl(clearTheLog, nullptr, 0);
    }
}

// Scenarios that load and unload the module themselves.
class QbModule : public ::testing::Test
{
  protected:
    void TearDown() override
    {
        EXPECT_EQ(alarms(log.all()), Lines{});
        if (moduleListed("qb_ioctl")) {
            unloadModule("qb_ioctl");
        }
        if (moduleListed("majors_hog")) {
            unloadModule("majors_hog");
        }
    }
    KernelLog log;
};

TEST_F(QbModule, TwentyLoadAndUnloadCyclesAreClean)
{
    for (int cycle = 0; cycle < 20; ++cycle) {
        ASSERT_EQ(loadModule(modulePath), 0) << "cycle " << cycle;
        const Lines loaded = moduleLines(log.next());
        ASSERT_EQ(loaded.size(), 2u) << "cycle " << cycle;
        EXPECT_EQ(loaded[0], "QB Module is up... ");
        const std::optional<int> major = loggedMajor(loaded);
        ASSERT_TRUE(major.has_value());
        EXPECT_GT(*major, 0);
        EXPECT_EQ(listedMajor(), major);
        ASSERT_EQ(unloadModule("qb_ioctl"), 0) << "cycle " << cycle;
        EXPECT_EQ(moduleLines(log.next()), Lines{"The module is down..."}) << "cycle " << cycle;
        EXPECT_EQ(listedMajor(), std::nullopt);
    }
}

TEST_F(QbModule, RegistrationFailureFailsTheLoadAfterLoggingBothLines)
{
    ASSERT_EQ(loadModule(hogModulePath), 0);
    log.next();
    const int error = loadModule(modulePath);
    EXPECT_NE(error, 0);
    EXPECT_EQ(moduleLines(log.next()),
              (Lines{"QB Module is up... ", "Couldn't get a major number...",
                     "major number=" + std::to_string(-error)}));
    EXPECT_FALSE(moduleListed("qb_ioctl"));
    EXPECT_EQ(listedMajor(), std::nullopt);

    // With the major numbers given back, the same module loads again.
    EXPECT_EQ(unloadModule("majors_hog"), 0);
    ASSERT_EQ(loadModule(modulePath), 0);
    const std::optional<int> major = loggedMajor(moduleLines(log.next()));
    ASSERT_TRUE(major.has_value());
    EXPECT_GT(*major, 0);
    EXPECT_EQ(unloadModule("qb_ioctl"), 0);
}

// Marks each scenario in the kernel log ("qb-scenario start NAME" before it, "qb-scenario end
// NAME passed" or "... failed" after it), so that the host can tell which scenario a kernel
// report belongs to (the one whose start came last) and has each verdict even when the
// console's copy of it is garbled. The console has shown all of the scenario's
// "[ RUN      ]" line before the scenario starts, so a crash that stops the VM at once still
// shows the scenario it happened in.
class ScenarioMarks : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo &info) override
    {
        std::fflush(stdout);
        tcdrain(STDOUT_FILENO);
        mark(std::string("start ") + info.test_suite_name() + "." + info.name());
    }
    void OnTestEnd(const ::testing::TestInfo &info) override
    {
        mark(std::string("end ") + info.test_suite_name() + "." + info.name() +
             (info.result()->Failed() ? " failed" : " passed"));
    }
    static void mark(const std::string &what)
    {
        const std::string line = "qb-scenario " + what + "\n";
        // A file of its own for each mark: the kernel limits how many messages one open file
        // of /dev/kmsg may write in a burst.
        const int fd = open("/dev/kmsg", O_WRONLY | O_CLOEXEC);
        if (fd < 0 || write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            std::perror("qb_guest_test: a scenario's mark in the kernel log");
        }
        if (fd >= 0) {
            close(fd);
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(color, "no");
    // After the printer, so that the scenario's "[ RUN      ]" line is out before its mark.
    ::testing::UnitTest::GetInstance()->listeners().Append(new ScenarioMarks);
    return RUN_ALL_TESTS();
}
