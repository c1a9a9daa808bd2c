// qbctl: a user-space client for a character device such as the "QB" device of qb_ioctl.
// Opens a node once, makes the calls named on the command line and prints each call's result.
#include "qb_ioctl.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace
{

const unsigned long largestRead = 65536;
const std::size_t bytesShown = 64;
const char bufferFill = '#'; // what the read buffer holds before the call

void printUsage()
{
    std::fprintf(
        stderr,
        "usage: qbctl NODE STEP...\n"
        "Opens NODE once, makes each call in turn and prints what it returned.\n"
        "steps:\n"
        "  read N      read N bytes into a buffer filled with '#' first, then show the buffer\n"
        "  write TEXT  write the bytes of TEXT; \\0 \\n \\t \\\\ and \\xHH stand for one byte "
        "each\n"
        "  seek N      move the file position to byte N (lseek)\n"
        "  pread N@P   read N bytes at file position P (pread), shown as for read\n"
        "  ioctl CMD   send CMD: up (%#x), down (%#x) or any number (0x4103, 16643)\n"
        "  pause S     wait S seconds with the file open\n"
        "Exit status: 0 when every call succeeded, 1 when one failed, 2 for bad steps.\n",
        QB_SPEED_UP, QB_SPEED_DOWN);
}

// The symbolic name of an error number, for the errors a device call commonly gives.
const char *errnoName(int error)
{
    static const std::pair<int, const char *> names[] = {
        {EPERM, "EPERM"},  {ENOENT, "ENOENT"}, {EIO, "EIO"},       {ENXIO, "ENXIO"},
        {EBADF, "EBADF"},  {EAGAIN, "EAGAIN"}, {EACCES, "EACCES"}, {EFAULT, "EFAULT"},
        {EBUSY, "EBUSY"},  {ENODEV, "ENODEV"}, {EINVAL, "EINVAL"}, {ENOTTY, "ENOTTY"},
        {ESPIPE, "ESPIPE"}};
    const auto found = std::ranges::find(names, error, &std::pair<int, const char *>::first);
    return found == std::ranges::end(names) ? "errno" : found->second;
}

// Prints " = RESULT" and, for a failed call, the error's name, number and text.
void printResult(long result, int error)
{
    if (result >= 0) {
        std::printf(" = %ld\n", result);
    } else {
        std::printf(" = %ld %s %d (%s)\n", result, errnoName(error), error, std::strerror(error));
    }
}

// write's escapes: the bytes written as a backslash and a letter, and their letters.
constexpr std::string_view escapedBytes{"\0\n\t\\", 4};
constexpr std::string_view escapeLetters = "0nt\\";

// Bytes written out with C escapes (a quote too), so zero bytes and control bytes stay visible.
std::string escaped(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const std::size_t at = escapedBytes.find(c);
        if (at != std::string_view::npos || c == '"') {
            text += {'\\', at != std::string_view::npos ? escapeLetters[at] : c};
        } else if (byte < 0x20 || byte >= 0x7f) {
            char piece[8];
            std::snprintf(piece, sizeof piece, "\\x%02x", byte);
            text += piece;
        } else {
            text += c;
        }
    }
    return text;
}

std::string inHex(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        char piece[4];
        std::snprintf(piece, sizeof piece, "%s%02x", text.empty() ? "" : " ",
                      static_cast<unsigned char>(c));
        text += piece;
    }
    return text;
}

// A whole number in TEXT, of the given type and base, with no sign or blanks; false otherwise.
template <typename Number> bool parseWhole(std::string_view text, Number &number, int base)
{
    const char *const last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, number, base);
    return error == std::errc() && end == last;
}

// Turns TEXT with its escapes into bytes; false for an escape that is not understood.
bool unescape(std::string_view text, std::string &bytes)
{
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view escape = text.substr(i + 1, 3); // its letter, and \x's two digits
        const std::size_t at =
            escape.empty() ? std::string_view::npos : escapeLetters.find(escape[0]);
        unsigned char byte = 0;
        if (text[i] != '\\') {
            bytes += text[i];
        } else if (at != std::string_view::npos) {
            bytes += escapedBytes[at];
            i += 1;
        } else if (escape.size() == 3 && escape[0] == 'x' &&
                   parseWhole(escape.substr(1), byte, 16)) {
            bytes += static_cast<char>(byte);
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

// A whole unsigned number in decimal, or in hexadecimal after 0x; false otherwise.
bool parseNumber(std::string_view text, unsigned long &number)
{
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    return parseWhole(text.substr(hex ? 2 : 0), number, hex ? 16 : 10);
}

// "up", "down" or a number that fits the 32 bits of an ioctl command.
bool parseCommand(std::string_view text, unsigned long &command)
{
    command = text == "up" ? QB_SPEED_UP : QB_SPEED_DOWN;
    return text == "up" || text == "down" ||
           (parseNumber(text, command) && command <= 0xffffffffUL);
}

// "N@P": a byte count and a file position.
bool parseCountAt(std::string_view text, unsigned long &count, unsigned long &offset)
{
    const std::size_t at = text.find('@');
    return at != std::string_view::npos && parseNumber(text.substr(0, at), count) &&
           count <= largestRead && parseNumber(text.substr(at + 1), offset) &&
           offset <= 0x7fffffffUL;
}

void showBuffer(const std::vector<char> &buffer)
{
    const std::string_view bytes(buffer.data(), std::min(buffer.size(), bytesShown));
    const char *more = buffer.size() > bytes.size() ? " ..." : "";
    std::printf("  buf: \"%s\"%s\n", escaped(bytes).c_str(), more);
    std::printf("  hex: %s%s\n", inHex(bytes).c_str(), more);
}

// One step of the command line, read in full before the node is opened.
struct Step {
    std::string name;
    unsigned long number = 0; // the count, position, command or seconds
    unsigned long offset = 0; // pread's position
    std::string bytes;        // write's bytes
};

// Reads every step before the node is opened, so a typing error makes no call at all.
bool readSteps(int count, char **words, std::vector<Step> &steps)
{
    for (int i = 0; i < count; i += 2) {
        Step &step = steps.emplace_back();
        const std::string &name = step.name = words[i];
        if (i + 1 >= count) {
            std::fprintf(stderr, "qbctl: '%s' needs a value\n", words[i]);
            return false;
        }
        const char *value = words[i + 1];
        bool valid = false;
        if (name == "read") {
            valid = parseNumber(value, step.number) && step.number <= largestRead;
        } else if (name == "pread") {
            valid = parseCountAt(value, step.number, step.offset);
        } else if (name == "write") {
            valid = unescape(value, step.bytes);
        } else if (name == "seek" || name == "pause") {
            valid = parseNumber(value, step.number);
        } else if (name == "ioctl") {
            valid = parseCommand(value, step.number);
        } else {
            std::fprintf(stderr, "qbctl: unknown step '%s'\n", words[i]);
            return false;
        }
        if (!valid) {
            std::fprintf(stderr, "qbctl: bad value '%s' for %s\n", value, words[i]);
            return false;
        }
    }
    return true;
}

// Makes the step's call and prints it with its result; true when the call succeeded.
bool runStep(int fd, const Step &step)
{
    long result = 0;
    const bool reads = step.name == "read" || step.name == "pread";
    std::vector<char> buffer(reads ? step.number : 0, bufferFill);
    if (step.name == "read") {
        std::printf("read(%d, buf, %lu)", fd, step.number);
        result = read(fd, buffer.data(), step.number);
    } else if (step.name == "pread") {
        std::printf("pread(%d, buf, %lu, %lu)", fd, step.number, step.offset);
        result = pread(fd, buffer.data(), step.number, static_cast<off_t>(step.offset));
    } else if (step.name == "write") {
        std::printf("write(%d, \"%s\", %zu)", fd, escaped(step.bytes).c_str(), step.bytes.size());
        result = write(fd, step.bytes.data(), step.bytes.size());
    } else if (step.name == "seek") {
        std::printf("lseek(%d, %lu, SEEK_SET)", fd, step.number);
        result = lseek(fd, static_cast<off_t>(step.number), SEEK_SET);
    } else if (step.name == "ioctl") {
        std::printf("ioctl(%d, 0x%lx)", fd, step.number);
        result = ioctl(fd, step.number, 0UL);
    } else {
        std::fflush(stdout);
        sleep(static_cast<unsigned int>(step.number));
        return true;
    }
    printResult(result, errno);
    if (reads) {
        showBuffer(buffer);
    }
    return result >= 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<Step> steps;
    if (argc < 2 || !readSteps(argc - 2, argv + 2, steps)) {
        printUsage();
        return 2;
    }
    const char *node = argv[1];
    std::printf("open(\"%s\", O_RDWR)", node);
    const int fd = open(node, O_RDWR);
    printResult(fd, errno);
    if (fd < 0) {
        return 1;
    }
    bool allSucceeded = true;
    for (const Step &step : steps) {
        allSucceeded = runStep(fd, step) && allSucceeded;
    }
    std::printf("close(%d)", fd);
    const int closed = close(fd);
    printResult(closed, errno);
    return allSucceeded && closed == 0 ? 0 : 1;
}
