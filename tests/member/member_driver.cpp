// Test driver for libmember: fills the array component with the member records named on
// the command line, runs one operation on this process's standard input, and reports on
// standard error what it returned, what is left, what was released and what it left unread.
//   member_driver join|show|search|revise|delete [--fail-alloc] [name:tel:mileage ...]
// Linked against libmember and libvecbox; LD_LIBRARY_PATH may put the recording double
// in place of the stand-in, whose call log is then switched on for the operation only.
#include "heap_hook.h"
#include "member.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace
{

void (*recordSwitch)(int) = nullptr;

void recordCalls(bool on)
{
    std::fflush(stdout);
    if (recordSwitch != nullptr) {
        recordSwitch(on ? 1 : 0);
    }
}

void countHeapCallsOf(const char *library)
{
    void *module = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) {
        std::fprintf(stderr, "%s is not loaded\n", library);
        std::exit(2);
    }
    harness::redirectHeapCalls(module);
    dlclose(module);
}

std::vector<MemberRecord *> recordsLeft(VecBoxHandle handle)
{
    int32_t count = 0;
    CheckSize(handle, &count);
    std::vector<MemberRecord *> records;
    for (int32_t i = 0; i < count; ++i) {
        void *record = nullptr;
        GetArray(handle, i, &record);
        records.push_back(static_cast<MemberRecord *>(record));
    }
    return records;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: member_driver join|show|search|revise|delete [--fail-alloc] "
                             "[name:tel:mileage ...]\n");
        return 2;
    }
    const std::string operation = argv[1];
    recordSwitch = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "VecBoxDoubleRecord"));
    recordCalls(false);
    countHeapCallsOf("libmember.so");
    countHeapCallsOf("libvecbox.so");

    VecBoxHandle handle = nullptr;
    CreateArray(&handle);
    bool failAllocation = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fail-alloc") == 0) {
            failAllocation = true;
            continue;
        }
        auto *member = static_cast<MemberRecord *>(std::calloc(1, sizeof(MemberRecord)));
        std::sscanf(argv[i], "%19[^:]:%15[^:]:%f", member->name, member->telNo, &member->mileage);
        AddArray(handle, member);
    }

    harness::heapLog() = {};
    harness::heapLog().failAt = failAllocation ? 1 : 0;
    recordCalls(true);
    std::string returned;
    if (operation == "join") {
        returned = "returned " + std::to_string(joinMember(handle)) + "\n";
    } else if (operation == "show") {
        showMember(handle);
    } else if (operation == "search") {
        searchMember(handle);
    } else if (operation == "revise") {
        reviseMember(handle);
    } else if (operation == "delete") {
        deleteMember(handle);
    } else {
        std::fprintf(stderr, "no operation %s\n", operation.c_str());
        return 2;
    }
    recordCalls(false);
    const std::size_t released = harness::heapLog().released.size();

    std::string left;
    const std::vector<MemberRecord *> records = recordsLeft(handle);
    for (const MemberRecord *member : records) {
        char text[128];
        std::snprintf(text, sizeof text, " %s|%s|%g", member->name, member->telNo,
                      (double)member->mileage);
        left += text;
    }
    std::string unread;
    for (int c; (c = std::getchar()) != EOF;) {
        unread += static_cast<char>(c);
    }

    // Every record still kept must be released with the component.
    harness::heapLog() = {};
    DestroyArray(handle);
    const std::vector<void *> &freed = harness::heapLog().released;
    const auto releasedAtDestroy =
        std::count_if(records.begin(), records.end(), [&](MemberRecord *r) {
            return std::find(freed.begin(), freed.end(), r) != freed.end();
        });
    std::fprintf(stderr, "%sleft:%s\nreleased %zu\nunread: %s\ndestroy released %zd of %zu\n",
                 returned.c_str(), left.c_str(), released, unread.c_str(), releasedAtDestroy,
                 records.size());
    return 0;
}
