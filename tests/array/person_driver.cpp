// Test driver for srh and del: fills an array with the person records named on the
// command line, runs one operation on this process's standard input, and reports on
// standard error what it returned, what is left, what it released and what it left unread,
// and, only if it happens, where the operation changed the caller's context record.
//   person_driver LIBRARY.so srh|del [--wrong-tag] [name:age:height ...]
#include "heap_hook.h"
#include "person.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: person_driver LIBRARY.so srh|del [--wrong-tag] [name:age:height ...]\n");
        return 2;
    }
    void *module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto create = reinterpret_cast<decltype(&arrayCreate)>(dlsym(module, "arrayCreate"));
    auto add = reinterpret_cast<decltype(&arrayAdd)>(dlsym(module, "arrayAdd"));
    auto size = reinterpret_cast<decltype(&arraySize)>(dlsym(module, "arraySize"));
    auto getAt = reinterpret_cast<decltype(&arrayGetAt)>(dlsym(module, "arrayGetAt"));
    auto destroy = reinterpret_cast<decltype(&arrayDestroy)>(dlsym(module, "arrayDestroy"));
    auto operation = reinterpret_cast<decltype(&srh)>(dlsym(module, argv[2]));
    if (operation == nullptr) {
        std::fprintf(stderr, "%s has no %s\n", argv[1], argv[2]);
        return 2;
    }
    harness::redirectHeapCalls(module);

    // The caller's own bytes get a pattern in which every byte differs from its neighbours.
    PersonContext context;
    for (size_t i = 0; i < sizeof context.callerMembers; ++i) {
        context.callerMembers[i] = static_cast<char>(0xA5 ^ i);
    }
    create(&context.handle);
    bool wrongTag = false;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wrong-tag") == 0) {
            wrongTag = true;
            continue;
        }
        auto *person = static_cast<PersonRecord *>(std::calloc(1, sizeof(PersonRecord)));
        std::sscanf(argv[i], "%19[^:]:%d:%f", person->name, &person->age, &person->height);
        add(context.handle, person);
    }

    if (wrongTag) {
        context.handle->magic = 0;
    }
    const PersonContext before = context;
    harness::heapLog() = {};
    const int32_t returned = operation(&context);
    const size_t released = harness::heapLog().released.size();
    std::fflush(stdout);

    // The context is the caller's: srh and del only read the handle from it.
    std::string changed;
    const auto *was = reinterpret_cast<const unsigned char *>(&before);
    const auto *is = reinterpret_cast<const unsigned char *>(&context);
    for (size_t i = 0; i < sizeof context && changed.empty(); ++i) {
        if (was[i] != is[i]) {
            changed = "context changed at byte " + std::to_string(i) + "\n";
        }
    }
    const ArrayHandle handle = before.handle;
    handle->magic = ARRAY_MAGIC;

    std::string left;
    for (int32_t i = 0; i < size(handle); ++i) {
        void *element = nullptr;
        getAt(handle, i, &element);
        left += std::string(" ") + static_cast<PersonRecord *>(element)->name;
    }
    std::string unread;
    for (int c; (c = std::getchar()) != EOF;) {
        unread += static_cast<char>(c);
    }
    std::fprintf(stderr, "returned %d\nleft:%s\nreleased %zu\nunread: %s\n%s", returned,
                 left.c_str(), released, unread.c_str(), changed.c_str());
    destroy(handle);
    dlclose(module);
    return 0;
}
