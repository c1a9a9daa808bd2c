// qbctl: a user-space client for a character device such as the "QB" device of qb_ioctl.
// Opens a node once, makes the calls named on the command line and prints each call's result.
#include "qb_ioctl.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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
    switch (error) {
    case EPERM:
        return "EPERM";
    case ENOENT:
        return "ENOENT";
    case EIO:
        return "EIO";
    case ENXIO:
        return "ENXIO";
    case EBADF:
        return "EBADF";
    case EAGAIN:
        return "EAGAIN";
    case EACCES:
        return "EACCES";
    case EFAULT:
        return "EFAULT";
    case EBUSY:
        return "EBUSY";
    case ENODEV:
        return "ENODEV";
    case EINVAL:
        return "EINVAL";
    case ENOTTY:
        return "ENOTTY";
    case ESPIPE:
        return "ESPIPE";
    default:
        return "errno";
    }
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
        if (byte == '\0') {
            std::snprintf(piece, sizeof piece, "\\0");
        } else if (byte == '\n') {
            std::snprintf(piece, sizeof piece, "\\n");
        } else if (byte == '\t') {
            std::snprintf(piece, sizeof piece, "\\t");
        } else if (byte == '\\' || byte == '"') {
            std::snprintf(piece, sizeof piece, "\\%c", byte);
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

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
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

bool parseCommand(const char *text, unsigned long &command)
{
    if (std::strcmp(text, "up") == 0) {
        command = QB_SPEED_UP;
        return true;
    }
    if (std::strcmp(text, "down") == 0) {
        command = QB_SPEED_DOWN;
        return true;
    }
    return parseNumber(text, command) && command <= 0xffffffffUL;
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

// Each step returns true when its call succeeded.
bool readStep(int fd, unsigned long count)
{
    std::vector<char> buffer(count, bufferFill);
    std::printf("read(%d, buf, %lu)", fd, count);
    const ssize_t result = read(fd, buffer.data(), count);
    printResult(result, errno);
    showBuffer(buffer);
    return result >= 0;
}

bool preadStep(int fd, unsigned long count, unsigned long offset)
{
    std::vector<char> buffer(count, bufferFill);
    std::printf("pread(%d, buf, %lu, %lu)", fd, count, offset);
    const ssize_t result = pread(fd, buffer.data(), count, static_cast<off_t>(offset));
    printResult(result, errno);
    showBuffer(buffer);
    return result >= 0;
}

bool writeStep(int fd, const std::string &bytes)
{
    std::printf("write(%d, \"%s\", %zu)", fd, escaped(bytes.data(), bytes.size()).c_str(),
                bytes.size());
    const ssize_t result = write(fd, bytes.data(), bytes.size());
    printResult(result, errno);
    return result >= 0;
}

bool seekStep(int fd, unsigned long offset)
{
    std::printf("lseek(%d, %lu, SEEK_SET)", fd, offset);
    const off_t result = lseek(fd, static_cast<off_t>(offset), SEEK_SET);
    printResult(result, errno);
    return result >= 0;
}

bool ioctlStep(int fd, unsigned long command)
{
    std::printf("ioctl(%d, 0x%lx)", fd, command);
    const int result = ioctl(fd, command, 0UL);
    printResult(result, errno);
    return result >= 0;
}

// Checks every step before the node is opened, so a typing error makes no call at all.
bool stepsAreValid(int count, char **steps)
{
    for (int i = 0; i < count; i += 2) {
        const char *name = steps[i];
        if (i + 1 >= count) {
            std::fprintf(stderr, "qbctl: '%s' needs a value\n", name);
            return false;
        }
        const char *value = steps[i + 1];
        unsigned long number = 0;
        std::string bytes;
        bool valid = false;
        if (std::strcmp(name, "read") == 0) {
            valid = parseNumber(value, number) && number <= largestRead;
        } else if (std::strcmp(name, "pread") == 0) {
            unsigned long offset = 0;
            valid = parseCountAt(value, number, offset);
        } else if (std::strcmp(name, "write") == 0) {
            valid = unescape(value, bytes);
        } else if (std::strcmp(name, "seek") == 0 || std::strcmp(name, "pause") == 0) {
            valid = parseNumber(value, number);
        } else if (std::strcmp(name, "ioctl") == 0) {
            valid = parseCommand(value, number);
        } else {
            std::fprintf(stderr, "qbctl: unknown step '%s'\n", name);
            return false;
        }
        if (!valid) {
            std::fprintf(stderr, "qbctl: bad value '%s' for %s\n", value, name);
            return false;
        }
    }
    return true;
}

bool runStep(int fd, const char *name, const char *value)
{
    unsigned long number = 0;
    std::string bytes;
    if (std::strcmp(name, "read") == 0) {
        parseNumber(value, number);
        return readStep(fd, number);
    }
    if (std::strcmp(name, "pread") == 0) {
        unsigned long offset = 0;
        parseCountAt(value, number, offset);
        return preadStep(fd, number, offset);
    }
    if (std::strcmp(name, "write") == 0) {
        unescape(value, bytes);
        return writeStep(fd, bytes);
    }
    if (std::strcmp(name, "seek") == 0) {
        parseNumber(value, number);
        return seekStep(fd, number);
    }
    if (std::strcmp(name, "ioctl") == 0) {
        parseCommand(value, number);
        return ioctlStep(fd, number);
    }
    parseNumber(value, number);
    std::fflush(stdout);
    sleep(static_cast<unsigned int>(number));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || !stepsAreValid(argc - 2, argv + 2)) {
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
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!runStep(fd, argv[i], argv[i + 1])) {
            allSucceeded = false;
        }
    }
    std::printf("close(%d)", fd);
    const int closed = close(fd);
    printResult(closed, errno);
    return allSucceeded && closed == 0 ? 0 : 1;
}
