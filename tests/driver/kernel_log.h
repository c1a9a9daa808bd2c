// The kernel log as the lab's tests read it: the words that mark a report, and (in the guest)
// a reader of /dev/kmsg.
#pragma once

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

// The words that mark a kernel report: a fault (some oopses name only their trap), a panic,
// a warning, or a finding of one of the debugging kernel's instruments (KASAN, UBSAN,
// lockdep, the usercopy, fortify, list and atomic-sleep checks). Once the module is loaded,
// none may appear in the kernel log (the debugging kernel names lockdep once at boot, before
// that).
inline constexpr const char *kernelReportWords[] = {"WARNING",
                                                    "BUG",
                                                    "Oops",
                                                    "general protection fault",
                                                    "divide error",
                                                    "invalid opcode",
                                                    "Kernel panic",
                                                    "Call Trace",
                                                    "KASAN",
                                                    "UBSAN",
                                                    "lockdep",
                                                    "usercopy",
                                                    "corruption",
                                                    "Buffer overflow detected",
                                                    "sleeping function called"};

// The first report word in text, or nullptr when there is none.
inline const char *kernelReportIn(const std::string &text)
{
    const auto found = std::ranges::find_if(
        kernelReportWords, [&](const char *word) { return text.find(word) != std::string::npos; });
    return found == std::ranges::end(kernelReportWords) ? nullptr : *found;
}

// The kernel log read record by record from /dev/kmsg, from the moment the reader is made.
class KmsgReader
{
  public:
    KmsgReader() : fd_(open("/dev/kmsg", O_RDONLY | O_NONBLOCK))
    {
        lseek(fd_, 0, SEEK_END);
    }
    ~KmsgReader()
    {
        close(fd_);
    }
    KmsgReader(const KmsgReader &) = delete;
    KmsgReader &operator=(const KmsgReader &) = delete;

    // The messages logged since the last call, as the module wrote them.
    std::vector<std::string> fresh()
    {
        std::vector<std::string> messages;
        char record[8192];
        for (;;) {
            const ssize_t size = read(fd_, record, sizeof record);
            if (size < 0 && errno == EPIPE) {
                lost_ = true; // overwritten before it was read: go on with the next record
                continue;
            }
            if (size <= 0) {
                return messages;
            }
            messages.push_back(message(std::string(record, static_cast<std::size_t>(size))));
        }
    }

    // Whether a record was overwritten before it could be read.
    bool lost() const
    {
        return lost_;
    }

  private:
    // "prefix;text\n" with non-printable bytes of the text written as \xHH.
    static std::string message(const std::string &record)
    {
        const std::size_t start = record.find(';') + 1;
        const std::size_t end = record.find('\n', start);
        const std::string escaped = record.substr(start, end - start);
        std::string text;
        for (std::size_t i = 0; i < escaped.size(); ++i) {
            if (escaped.compare(i, 2, "\\x") == 0 && i + 4 <= escaped.size()) {
                text += static_cast<char>(std::stoi(escaped.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else {
                text += escaped[i];
            }
        }
        return text;
    }

    int fd_;
    bool lost_ = false;
};
