// A fuzzer for qb_ioctl, run inside the lab's virtual machine (never on the build machine).
// Several processes at once make random open, read, write, ioctl, lseek and close calls on
// the device, with random counts and buffers (null, unmapped, read-only, a kernel address,
// straddling the end of a mapping), and try to unload the module while it is open. Every
// result is checked against what the device must answer; the kernel log, read throughout,
// must hold no report and exactly one line for each call that reached the module; at the
// end the buffer must hold the bytes of one complete write.
//
//   qb_fuzz [--seed N] [--seconds S] [--processes N]
//
// Each process's calls follow from the seed alone, so a failure is replayed with its seed.
#include "guest_module.h"
#include "kernel_log.h"
#include "qb_ioctl.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/klog.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

const char *const modulePath = "/lab/qb_ioctl.ko";
const char *const node = "/dev/qb_fuzz";
const std::size_t dataSize = 11;
// The highest user-space address plus one on x86-64 (4-level paging): the kernel refuses a
// buffer that reaches past it before the call gets to the module.
const std::uintptr_t userSpaceEnd = (std::uintptr_t{1} << 47) - 4096;
const std::uintptr_t kernelAddress = 0xffffffff81000000;

// Process p writes the 11 letters of the alphabet from 11 * p on, so every byte of the
// buffer tells which process's write it came from.
const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const int mostProcesses = static_cast<int>(alphabet.size() / dataSize);
std::string pattern(int process)
{
    return alphabet.substr(dataSize * process, dataSize);
}

enum Kind { Open, Close, Read, Write, Ioctl, Lseek, Unload, kinds };
const char *const kindNames[kinds] = {"open",  "close", "read",           "write",
                                      "ioctl", "lseek", "unload attempts"};

// What the processes share: counts of calls, of calls that reached the module (each logs
// one line), of mismatches, and a barrier for the last writes.
struct Shared {
    std::atomic<std::uint64_t> calls[kinds];
    std::atomic<std::uint64_t> opened, readsReached, writesReached, speedUps, speedDowns;
    std::atomic<int> mismatches;
    std::atomic<int> done;
};

// The kernel log from the moment it is opened, with a count of the module's lines of each
// kind, and the lines from the first report on.
class KernelLog
{
  public:
    void drain()
    {
        for (const std::string &text : reader_.fresh()) {
            if ((!report.empty() || kernelReportIn(text) != nullptr) && report.size() < 100) {
                report.push_back(text);
            }
            count(text);
        }
    }
    bool lost() const
    {
        return reader_.lost();
    }

    std::uint64_t opened = 0, closed = 0, reads = 0, writes = 0, speedUps = 0, speedDowns = 0,
                  downs = 0;
    std::vector<std::string> report;

  private:
    void count(const std::string &text)
    {
        const std::size_t digits = text.find_first_not_of("0123456789");
        if (text == "Device has been opened...") {
            ++opened;
        } else if (text == "Device has been closed...") {
            ++closed;
        } else if (text.rfind("data >>> ", 0) == 0) {
            ++writes;
        } else if (digits > 0 && digits != std::string::npos &&
                   text.compare(digits, 10, " data >>> ") == 0) {
            ++reads;
        } else if (text == "speed up") {
            ++speedUps;
        } else if (text == "speed down") {
            ++speedDowns;
        } else if (text == "The module is down...") {
            ++downs;
        }
    }
    KmsgReader reader_;
};

// One process's random calls.
class Worker
{
  public:
    Worker(int process, std::uint64_t seed, Shared &shared)
        : process_(process), mine_(pattern(process)),
          random_(seed + 0x9e3779b97f4a7c15 * (process + 1)), shared_(shared)
    {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        // A usable page, a read-only page holding the pattern, and a page whose end is
        // followed by an unusable one; then a page unmapped again.
        char *pages = static_cast<char *>(
            mmap(nullptr, 4 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        usable_ = pages;
        readOnly_ = pages + page_;
        straddling_ = pages + 3 * page_;
        std::memcpy(readOnly_, mine_.data(), dataSize);
        mprotect(readOnly_, page_, PROT_READ);
        mprotect(straddling_, page_, PROT_NONE);
        unmapped_ = static_cast<char *>(
            mmap(nullptr, page_, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        munmap(unmapped_, page_);
    }

    void run(std::chrono::steady_clock::time_point deadline)
    {
        while (std::chrono::steady_clock::now() < deadline) {
            step();
        }
    }

    // After every process has finished its random calls: one complete write of the pattern.
    void lastWrite()
    {
        const int fd = openNode(O_RDWR);
        std::memcpy(usable_, mine_.data(), dataSize);
        check("last write", write(fd, usable_, dataSize), {static_cast<long>(dataSize), 0});
        shared_.writesReached++;
        for (const File &file : fds_) {
            close(file.fd);
        }
        close(fd);
    }

  private:
    struct Expected {
        long value;
        int error;
    };
    struct File {
        int fd;
        int flags;
    };

    std::uint64_t pick(std::uint64_t below)
    {
        return std::uniform_int_distribution<std::uint64_t>(0, below - 1)(random_);
    }

    int openNode(int flags)
    {
        const int fd = open(node, flags);
        check("open", fd < 0 ? -1 : 0, {0, 0});
        shared_.opened++;
        return fd;
    }

    void check(const std::string &call, long value, Expected expected)
    {
        const int error = value < 0 ? errno : 0;
        if (value != expected.value || error != expected.error) {
            mismatch(call + " = " + std::to_string(value) + " (" + std::strerror(error) +
                     "), expected " + std::to_string(expected.value) + " (" +
                     std::strerror(expected.error) + ")");
        }
    }

    // The first few mismatches are shown; all are counted.
    void mismatch(const std::string &what)
    {
        if (shared_.mismatches++ < 20) {
            std::printf("qb_fuzz: process %d, call %llu: %s\n", process_,
                        static_cast<unsigned long long>(calls_), what.c_str());
        }
    }

    void step()
    {
        ++calls_;
        const std::uint64_t roll = pick(100);
        Kind kind = roll < 10   ? Open
                    : roll < 18 ? Close
                    : roll < 43 ? Read
                    : roll < 68 ? Write
                    : roll < 83 ? Ioctl
                    : roll < 98 ? Lseek
                                : Unload;
        if (fds_.empty() && kind != Unload) {
            kind = Open;
        } else if (fds_.size() >= 4 && kind == Open) {
            kind = Close;
        }
        shared_.calls[kind]++;
        const std::size_t which = fds_.empty() ? 0 : pick(fds_.size());
        switch (kind) {
        case Open: {
            const int modes[] = {O_RDONLY, O_WRONLY, O_RDWR};
            const int flags = modes[pick(3)] | (pick(2) != 0 ? O_NONBLOCK : 0);
            fds_.push_back({openNode(flags), flags});
            break;
        }
        case Close:
            check("close", close(fds_[which].fd), {0, 0});
            fds_.erase(fds_.begin() + static_cast<long>(which));
            break;
        case Read:
        case Write:
            transfer(kind == Read, fds_[which]);
            break;
        case Ioctl:
            command(fds_[which].fd);
            break;
        case Lseek: {
            const int whence = static_cast<int>(pick(8));
            // No seek operation: refused, after the kernel's own check of whence.
            check("lseek", lseek(fds_[which].fd, static_cast<off_t>(random_()), whence),
                  {-1, whence <= SEEK_HOLE ? ESPIPE : EINVAL});
            break;
        }
        case Unload:
            // The parent holds the device open throughout: always refused.
            if (const int error = unloadModule("qb_ioctl"); error != EWOULDBLOCK) {
                mismatch(std::string("delete_module: ") +
                         (error == 0 ? "unloaded" : std::strerror(error)) +
                         ", expected EWOULDBLOCK");
            }
            break;
        case kinds:
            break;
        }
    }

    // A read or write with a random count and buffer.
    void transfer(bool reading, const File &file)
    {
        const std::size_t hugeCounts[] = {4096, std::size_t{1} << 20, std::size_t{1} << 40,
                                          SIZE_MAX, static_cast<std::size_t>(SSIZE_MAX) + 1};
        const std::uint64_t countRoll = pick(10);
        const std::size_t count = countRoll == 0   ? 0
                                  : countRoll < 7  ? 1 + pick(dataSize)
                                  : countRoll == 7 ? dataSize + 1
                                                   : hugeCounts[pick(std::size(hugeCounts))];
        // The buffer, what it is, and how many bytes from its start the call may use.
        char *buffer = nullptr;
        std::string what;
        std::size_t usableBytes = 0;
        switch (pick(6)) {
        case 0: // ordinary memory: the pattern to write, or room to read into
            buffer = usable_ + (reading ? page_ / 2 : 0);
            what = "buffer";
            usableBytes = page_ / 2;
            std::memcpy(usable_, mine_.data(), dataSize);
            break;
        case 1: // read-only memory holding the pattern
            buffer = readOnly_;
            what = "read-only buffer";
            usableBytes = reading ? 0 : page_;
            break;
        case 2: { // the last few bytes before an unusable page
            const std::size_t tail = 1 + pick(dataSize);
            buffer = straddling_ - tail;
            what = "buffer " + std::to_string(tail) + " bytes before an unusable page";
            usableBytes = tail;
            std::memcpy(buffer, mine_.data(), tail);
            break;
        }
        case 3:
            buffer = nullptr;
            what = "NULL";
            break;
        case 4:
            buffer = unmapped_;
            what = "unmapped buffer";
            break;
        default:
            buffer = reinterpret_cast<char *>(kernelAddress);
            what = "kernel address";
            break;
        }
        const int mode = file.flags & O_ACCMODE;
        const bool allowed = reading ? mode != O_WRONLY : mode != O_RDONLY;
        const auto address = reinterpret_cast<std::uintptr_t>(buffer);
        const bool inUserSpace = address <= userSpaceEnd && count <= userSpaceEnd - address;
        Expected expected{-1, EBADF};
        if (allowed) {
            expected = !inUserSpace          ? Expected{-1, EFAULT}
                       : count > dataSize    ? Expected{-1, EINVAL}
                       : count > usableBytes ? Expected{-1, EFAULT}
                                             : Expected{reading ? 0 : static_cast<long>(count), 0};
            (reading ? shared_.readsReached : shared_.writesReached) += inUserSpace ? 1 : 0;
        }
        const std::string call = std::string(reading ? "read" : "write") + "(fd, " + what + ", " +
                                 std::to_string(count) + ")";
        const long result = reading ? read(file.fd, buffer, count) : write(file.fd, buffer, count);
        check(call, result, expected);
        // What a read brings is made of the processes' patterns, and of the zeros of a fresh load.
        if (reading && result == 0 && expected.value == 0 && count > 0) {
            for (std::size_t i = 0; i < count; ++i) {
                bool known = buffer[i] == '\0';
                for (int p = 0; p < mostProcesses; ++p) {
                    known = known || buffer[i] == alphabet[dataSize * p + i];
                }
                if (!known) {
                    mismatch("read byte " + std::to_string(i) + " is " + std::to_string(buffer[i]) +
                             ", which no write stored");
                }
            }
        }
    }

    void command(int fd)
    {
        unsigned cmd = static_cast<unsigned>(random_());
        const std::uint64_t roll = pick(3);
        cmd = roll == 0 ? QB_SPEED_UP : roll == 1 ? QB_SPEED_DOWN : cmd;
        // Commands the kernel answers itself for every file (close-on-exec, non-blocking,
        // freezing a file system, cloning, block size, ...) never reach the module: skipped.
        const unsigned type = (cmd >> 8) & 0xff;
        if (cmd == FIOCLEX || cmd == FIONCLEX || cmd == FIONBIO || cmd == FIOASYNC ||
            cmd == FIOQSIZE || type == 'X' || type == 'f' || type == 0x94 || type == 0) {
            cmd = QB_SPEED_UP;
        }
        const bool known = cmd == QB_SPEED_UP || cmd == QB_SPEED_DOWN;
        char call[40];
        std::snprintf(call, sizeof call, "ioctl(fd, 0x%x)", cmd);
        check(call, ioctl(fd, cmd, static_cast<unsigned long>(random_())),
              known ? Expected{0, 0} : Expected{-1, ENOTTY});
        (cmd == QB_SPEED_UP ? shared_.speedUps : shared_.speedDowns) += known ? 1 : 0;
    }

    int process_;
    std::string mine_;
    std::mt19937_64 random_;
    Shared &shared_;
    std::size_t page_ = 0;
    char *usable_ = nullptr, *readOnly_ = nullptr, *straddling_ = nullptr, *unmapped_ = nullptr;
    std::vector<File> fds_;
    std::uint64_t calls_ = 0;
};

// Says what failed and how to replay it; returns the exit status.
int fail(std::uint64_t seed, const std::string &what)
{
    std::printf("qb_fuzz: FAILED: %s\nqb_fuzz: replay with: qb_fuzz --seed %llu\n", what.c_str(),
                static_cast<unsigned long long>(seed));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    std::uint64_t seed = 0;
    getrandom(&seed, sizeof seed, 0);
    seed %= 1000000000;
    int seconds = 20;
    int processes = 4;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const unsigned long long value = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--seed") {
            seed = value;
        } else if (option == "--seconds") {
            seconds = static_cast<int>(value);
        } else if (option == "--processes") {
            processes = std::max(1, std::min(mostProcesses, static_cast<int>(value)));
        }
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("qb_fuzz: seed %llu, %d processes, %d s\n", static_cast<unsigned long long>(seed),
                processes, seconds);

    KernelLog log;
    if (const int error = loadModule(modulePath); error != 0) {
        return fail(seed, std::string("the module did not load: ") + std::strerror(error));
    }
    const std::optional<int> major = listedMajor();
    unlink(node);
    if (!major.has_value() || mknod(node, S_IFCHR | 0600, makedev(*major, 0)) != 0) {
        return fail(seed, "no node for the module's major number");
    }

    auto *shared = static_cast<Shared *>(
        mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    new (shared) Shared{};
    // Held open throughout, so that every attempt to unload the module must be refused.
    const int holder = open(node, O_RDONLY);
    shared->opened++;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::vector<pid_t> children;
    for (int process = 0; process < processes; ++process) {
        const pid_t child = fork();
        if (child == 0) {
            // Below the parent, which must keep up with the kernel log.
            if (nice(10) == -1) {
                std::printf("qb_fuzz: nice: %s\n", std::strerror(errno));
            }
            Worker worker(process, seed, *shared);
            worker.run(deadline);
            shared->done++;
            while (shared->done.load() < processes) {
                usleep(1000);
            }
            worker.lastWrite();
            _exit(0);
        }
        children.push_back(child);
    }
    for (std::size_t running = children.size(); running > 0;) {
        log.drain();
        usleep(20000);
        int status = 0;
        while (waitpid(-1, &status, WNOHANG) > 0) {
            --running;
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                shared->mismatches++;
                std::printf("qb_fuzz: a process ended with status %d\n", status);
            }
        }
    }

    // The buffer now holds the last of the complete writes, whole.
    char contents[dataSize + 1] = {};
    const int reader = open(node, O_RDONLY);
    shared->opened++;
    const bool readBack = read(reader, contents, dataSize) == 0;
    shared->readsReached++;
    close(reader);
    close(holder);
    bool whole = false;
    for (int p = 0; p < processes; ++p) {
        whole = whole || pattern(p) == contents;
    }
    const int unloaded = unloadModule("qb_ioctl");
    log.drain();
    unlink(node);

    std::uint64_t total = 0;
    std::string counts;
    for (int kind = 0; kind < kinds; ++kind) {
        total += shared->calls[kind];
        counts +=
            (kind == 0 ? "" : ", ") + std::to_string(shared->calls[kind]) + " " + kindNames[kind];
    }
    std::printf("qb_fuzz: %llu calls: %s\n", static_cast<unsigned long long>(total),
                counts.c_str());
    // Every record has been read: the many routine lines need not go over the guest's slow
    // serial port at the end of the run.
    const int clearTheLog = 5; // the kernel's SYSLOG_ACTION_CLEAR
    klogctl(clearTheLog, nullptr, 0);
    if (!log.report.empty()) {
        std::string lines;
        for (const std::string &line : log.report) {
            lines += "  " + line + "\n";
        }
        return fail(seed, "the kernel reported:\n" + lines);
    }
    if (shared->mismatches != 0) {
        return fail(seed, std::to_string(shared->mismatches.load()) +
                              " calls did not give what the device must give");
    }
    if (!readBack || !whole) {
        return fail(seed, "the buffer does not hold one complete write: \"" +
                              std::string(contents) + "\"");
    }
    if (unloaded != 0) {
        return fail(seed, std::string("the module did not unload at the end: ") +
                              std::strerror(unloaded));
    }
    if (log.lost()) {
        return fail(seed, "kernel log records were overwritten before they were read");
    }
    // Each kind of line the module logs: how many the log holds, and how many calls made one.
    const std::uint64_t opened = shared->opened;
    const std::pair<const char *, std::pair<std::uint64_t, std::uint64_t>> lines[] = {
        {"opened", {log.opened, opened}},
        {"closed", {log.closed, opened}},
        {"read", {log.reads, shared->readsReached}},
        {"written", {log.writes, shared->writesReached}},
        {"speed up", {log.speedUps, shared->speedUps}},
        {"speed down", {log.speedDowns, shared->speedDowns}},
        {"unloaded", {log.downs, 1}}};
    std::string counted;
    bool oneLineEach = true;
    for (const auto &[kind, count] : lines) {
        counted += (counted.empty() ? "" : ", ") + std::string(kind) + " " +
                   std::to_string(count.first) + "/" + std::to_string(count.second);
        oneLineEach = oneLineEach && count.first == count.second;
    }
    if (!oneLineEach) {
        return fail(seed,
                    "the kernel log's lines do not match the calls that reached the module: " +
                        counted + " (logged/made)");
    }
    std::printf("qb_fuzz: every call gave what the device must give, and logged its one line\n"
                "qb_fuzz: the buffer holds one complete write: \"%s\"\n"
                "qb_fuzz: the kernel log has no report\n",
                contents);
    return 0;
}
