// Feeds any bytes to the terminal line reader through standard input and checks each
// line it returns: at most size - 1 characters, terminated, the rest of a long line skipped.
#include "line_input.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const int bufferSize = 1 + data[0] % 40;
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

    // The lines a reader should see: each up to its line break, the last one possibly without.
    std::vector<std::string> expected;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t length = (end == std::string::npos ? text.size() : end) - start;
        expected.push_back(text.substr(start, std::min<size_t>(length, bufferSize - 1)));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    expected.push_back(""); // at end of input: the empty text

    FILE *input = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    if (input == nullptr) { // an empty text cannot be opened; read from an empty file instead
        input = std::fopen("/dev/null", "r");
    }
    FILE *terminal = stdin;
    stdin = input;
    // Exactly bufferSize bytes on the heap, so a write past the end is caught.
    char *buffer = static_cast<char *>(std::malloc(bufferSize));
    for (const std::string &line : expected) {
        std::memset(buffer, 0x55, bufferSize);
        readLine(buffer, bufferSize);
        if (std::memcmp(buffer, line.data(), line.size()) != 0 || buffer[line.size()] != '\0') {
            __builtin_trap();
        }
    }
    std::free(buffer);
    stdin = terminal;
    std::fclose(input);
    return 0;
}
