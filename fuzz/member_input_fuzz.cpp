// Feeds any bytes to joinMember through standard input, with a component that only keeps
// the record, and checks what was read: the name and tel no cut to their buffers, the
// mileage as the number after any blank lines (0 without one), and each join taking
// exactly its lines and no more.
#include "member.h"
#include "vecbox.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

MemberRecord *added = nullptr;

void check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

// The next line of text from at, without its line break; at moves past the break.
std::string nextLine(const std::string &text, size_t &at)
{
    const size_t end = text.find('\n', at);
    const std::string line = text.substr(at, (end == std::string::npos ? text.size() : end) - at);
    at = end == std::string::npos ? text.size() : end + 1;
    return line;
}

// What the mileage read should give from at: white space, line breaks included, is
// skipped; then the number at the start of that line, or 0 when there is none, when it is
// too large for a float or when it runs to the end of the 127 characters kept of its
// line. at moves past the line the number is on.
float mileageAt(const std::string &text, size_t &at)
{
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    if (at == text.size()) {
        return 0.0f;
    }
    const std::string kept = nextLine(text, at).substr(0, 127);
    char *end = nullptr;
    errno = 0;
    const float value = std::strtof(kept.c_str(), &end);
    const bool tooLarge = errno == ERANGE && std::isinf(value);
    const bool cut = *end == '\0' && kept.size() == 127;
    return end == kept.c_str() || tooLarge || cut ? 0.0f : value;
}

bool sameFloat(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

// The component, reduced to keeping the one record each join hands over.
extern "C" int32_t AddArray(VecBoxHandle, void *record)
{
    added = static_cast<MemberRecord *>(record);
    return 0;
}
extern "C" int32_t CheckSize(VecBoxHandle, int32_t *count)
{
    *count = 0;
    return 0;
}
extern "C" int32_t GetArray(VecBoxHandle, int32_t, void **)
{
    return -1;
}
extern "C" int32_t SetArray(VecBoxHandle, int32_t, void *)
{
    return -1;
}
extern "C" int32_t RemoveArray(VecBoxHandle, int32_t)
{
    return -1;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The prompts are not what is checked here.
    return std::freopen("/dev/null", "w", stdout) == nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // NUL bytes would end the model's C strings early; the line reader's own fuzzer
    // covers them, so here they are left out.
    if (std::memchr(data, '\0', size) != nullptr || size == 0) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char *>(data), size);
    FILE *input = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    FILE *terminal = stdin;
    stdin = input;

    size_t at = 0;
    do {
        const std::string name = nextLine(text, at);
        const std::string telNo = nextLine(text, at);
        const float mileage = mileageAt(text, at);
        check(joinMember(nullptr) == 0 && added != nullptr);
        check(std::memchr(added->name, '\0', sizeof added->name) != nullptr);
        check(std::memchr(added->telNo, '\0', sizeof added->telNo) != nullptr);
        check(name.substr(0, 19) == added->name);
        check(telNo.substr(0, 15) == added->telNo);
        check(sameFloat(added->mileage, mileage));
        // Exactly those lines were taken: what follows is still there to read.
        const long offset = std::ftell(stdin);
        check(offset == static_cast<long>(at) || (feof(stdin) && at == text.size()));
        std::free(added);
        added = nullptr;
    } while (at < text.size());

    stdin = terminal;
    std::fclose(input);
    return 0;
}
