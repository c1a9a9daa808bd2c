// qbctl: a user-space client for a character device such as the "QB" device of qb_ioctl.
// Opens a node once, makes the calls named on the command line and prints each call's result.
#include "qb_ioctl.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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
    std::fputs(
        "usage: qbctl NODE STEP...\n"
        "Opens NODE once, makes each call in turn and prints what it returned.\n"
        "steps:\n"
        "  read N      read N bytes into a buffer filled with '#' first, then show the buffer\n"
        "  write TEXT  write the bytes of TEXT; \\0 \\n \\t \\\\ and \\xHH stand for one byte "
        "each\n"
        "  seek N      move the file position to byte N (lseek)\n"
        "  pread N@P   read N bytes at file position P (pread), shown as for read\n"
        "  ioctl CMD   send CMD: up (0x4101), down (0x4102) or any number (0x4103, 16643)\n"
        "  pause S     wait S seconds with the file open\n"
        "Exit status: 0 when every call succeeded, 1 when one failed, 2 for bad steps.\n",
        stderr);
}

// The symbolic name of an error number, for the errors a device call commonly gives.
const char *errnoName(int error)
{
    static const std::pair<int, const char *> names[] = {
        {EPERM, "EPERM"},  {ENOENT, "ENOENT"}, {EIO, "EIO"},       {ENXIO, "ENXIO"},
        {EBADF, "EBADF"},  {EAGAIN, "EAGAIN"}, {EACCES, "EACCES"}, {EFAULT, "EFAULT"},
        {EBUSY, "EBUSY"},  {ENODEV, "ENODEV"}, {EINVAL, "EINVAL"}, {ENOTTY, "ENOTTY"},
        {ESPIPE, "ESPIPE"}};
    for (const auto &[number, name] : names) {
        if (number == error) {
            return name;
        }
    }
    return "errno";
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

// Bytes written out with C escapes, so zero bytes and control bytes stay visible.
std::string escaped(const char *bytes, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        char piece[8];
        if (byte == '\0' || byte == '\n' || byte == '\t' || byte == '\\' || byte == '"') {
            const char letter = byte == '\0' ? '0' : byte == '\n' ? 'n' : byte == '\t' ? 't' : byte;
            std::snprintf(piece, sizeof piece, "\\%c", letter);
        } else if (byte < 0x20 || byte >= 0x7f) {
            std::snprintf(piece, sizeof piece, "\\x%02x", byte);
        } else {
            std::snprintf(piece, sizeof piece, "%c", byte);
        }
        text += piece;
    }
    return text;
}

std::string inHex(const char *bytes, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        char piece[4];
        std::snprintf(piece, sizeof piece, "%s%02x", i == 0 ? "" : " ",
                      static_cast<unsigned char>(bytes[i]));
        text += piece;
    }
    return text;
}

// The value of a hexadecimal digit, or -1 for any other character.
int hexDigit(char c)
{
    const char *digits = "0123456789abcdef";
    const char *at = std::strchr(digits, std::tolower(static_cast<unsigned char>(c)));
    return c == '\0' || at == nullptr ? -1 : static_cast<int>(at - digits);
}

// Turns TEXT with its escapes into bytes; false for an escape that is not understood.
bool unescape(const char *text, std::string &bytes)
{
    bytes.clear();
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p != '\\') {
            bytes += *p;
            continue;
        }
        ++p;
        if (*p == '0') {
            bytes += '\0';
        } else if (*p == 'n') {
            bytes += '\n';
        } else if (*p == 't') {
            bytes += '\t';
        } else if (*p == '\\') {
            bytes += '\\';
        } else if (*p == 'x' && hexDigit(p[1]) >= 0 && hexDigit(p[2]) >= 0) {
            bytes += static_cast<char>(hexDigit(p[1]) * 16 + hexDigit(p[2]));
            p += 2;
        } else {
            return false;
        }
    }
    return true;
}

// A whole unsigned number in decimal, or in hexadecimal after 0x; false otherwise.
bool parseNumber(const char *text, unsigned long &number)
{
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char *digits = hex ? text + 2 : text;
    if (hexDigit(digits[0]) < 0 || (!hex && (digits[0] < '0' || digits[0] > '9'))) {
        return false;
    }
    errno = 0;
    char *end = nullptr;
    number = std::strtoul(digits, &end, hex ? 16 : 10);
    return errno == 0 && *end == '\0';
}

// "up", "down" or a number that fits the 32 bits of an ioctl command.
bool parseCommand(const char *text, unsigned long &command)
{
    const bool up = std::strcmp(text, "up") == 0;
    const bool down = std::strcmp(text, "down") == 0;
    command = up ? QB_SPEED_UP : QB_SPEED_DOWN;
    return up || down || (parseNumber(text, command) && command <= 0xffffffffUL);
}

// "N@P": a byte count and a file position.
bool parseCountAt(const char *text, unsigned long &count, unsigned long &offset)
{
    const char *at = std::strchr(text, '@');
    if (at == nullptr) {
        return false;
    }
    const std::string countText(text, at);
    return parseNumber(countText.c_str(), count) && count <= largestRead &&
           parseNumber(at + 1, offset) && offset <= 0x7fffffffUL;
}

void showBuffer(const std::vector<char> &buffer)
{
    const std::size_t count = buffer.size();
    const std::size_t shown = count < bytesShown ? count : bytesShown;
    const char *more = count > shown ? " ..." : "";
    std::printf("  buf: \"%s\"%s\n", escaped(buffer.data(), shown).c_str(), more);
    std::printf("  hex: %s%s\n", inHex(buffer.data(), shown).c_str(), more);
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
        std::printf("write(%d, \"%s\", %zu)", fd,
                    escaped(step.bytes.data(), step.bytes.size()).c_str(), step.bytes.size());
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
