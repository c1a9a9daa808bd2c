// Bytes made readable and outputs compared, for failure messages; see run_process.h.
#include "run_process.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace harness
{

std::string visible(const std::string &bytes)
{
    std::string shown;
    for (const unsigned char c : bytes) {
        if (c == '\n') {
            shown += "\\n\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c == '\\') {
            shown += "\\\\";
        } else if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

namespace
{

// Lines first to last (from 1) of text, escaped one per output line, the marked one with
// a caret under its byte at column.
std::string excerpt(const std::string &text, std::size_t first, std::size_t last,
                    std::size_t marked, std::size_t column)
{
    std::string shown;
    std::size_t number = 1, start = 0;
    while (start <= text.size() && number <= last) {
        std::size_t end = text.find('\n', start);
        const bool whole = end != std::string::npos;
        end = whole ? end + 1 : text.size();
        if (number >= first) {
            std::string line = visible(text.substr(start, std::min<std::size_t>(end - start, 200)));
            std::erase(line, '\n');
            shown += (number == marked ? "  > " : "    ") + line +
                     (end - start > 200 ? "..." : "") + "\n";
            if (number == marked) {
                std::string before = visible(text.substr(start, column));
                std::erase(before, '\n');
                shown +=
                    "    " + std::string(std::min<std::size_t>(before.size(), 220), ' ') + "^\n";
            }
        }
        if (!whole || end == text.size()) {
            break;
        }
        start = end;
        ++number;
    }
    return shown;
}

} // namespace

::testing::AssertionResult sameOutput(const std::string &yours, const std::string &expected)
{
    if (yours == expected) {
        return ::testing::AssertionSuccess();
    }
    const std::size_t at =
        std::mismatch(yours.begin(), yours.end(), expected.begin(), expected.end()).first -
        yours.begin();
    // The line of expected (from 1) that holds the byte at, and where that line starts.
    const std::size_t number = 1 + std::count(expected.begin(), expected.begin() + at, '\n');
    const std::size_t start = at == 0 ? 0 : expected.rfind('\n', at - 1) + 1;
    const std::size_t column = at - start;
    const std::size_t first = number > 2 ? number - 2 : 1, last = number + 2;
    return ::testing::AssertionFailure()
           << "the output differs from line " << number << ", byte " << column + 1
           << " on (expected " << expected.size() << " bytes, yours " << yours.size()
           << "):\nexpected:\n"
           << excerpt(expected, first, last, number, column) << "yours:\n"
           << excerpt(yours, first, last, number, column);
}

std::vector<std::string> lines(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

} // namespace harness
