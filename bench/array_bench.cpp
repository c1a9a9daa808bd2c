// Throughput of the dynamic array, as built for the course (without optimisation), set
// against GLib's GPtrArray and a plain std::vector<void*>, as ratios from one run.
#include "array.h"

#include <glib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <functional>
#include <string>
#include <vector>

namespace
{

constexpr int appendCount = 1000000;
constexpr int frontRemovalCount = 10000;
constexpr int rounds = 7;

decltype(&arrayCreate) libCreate;
decltype(&arrayAdd) libAdd;
decltype(&arrayGetAt) libGetAt;
decltype(&arrayRemoveAt) libRemoveAt;
decltype(&arrayDestroy) libDestroy;

// Each side's calls as a program using it would make them: the library's functions
// called directly, GPtrArray's index read through a call that is never inlined.
struct ArraySide {
    using Container = ArrayHandle;
    static Container create()
    {
        ArrayHandle handle = nullptr;
        libCreate(&handle);
        return handle;
    }
    static void add(Container a, void *e)
    {
        libAdd(a, e);
    }
    static void *get(Container a, int i)
    {
        void *e = nullptr;
        libGetAt(a, i, &e);
        return e;
    }
    static void remove(Container a, int i)
    {
        libRemoveAt(a, i);
    }
    static void destroy(Container a)
    {
        libDestroy(a);
    }
};

__attribute__((noinline)) void *glibIndex(GPtrArray *a, int i)
{
    return g_ptr_array_index(a, static_cast<guint>(i));
}

struct GlibSide {
    using Container = GPtrArray *;
    static Container create()
    {
        return g_ptr_array_new();
    }
    static void add(Container a, void *e)
    {
        g_ptr_array_add(a, e);
    }
    static void *get(Container a, int i)
    {
        return glibIndex(a, i);
    }
    static void remove(Container a, int i)
    {
        g_ptr_array_remove_index(a, static_cast<guint>(i));
    }
    static void destroy(Container a)
    {
        g_ptr_array_free(a, TRUE);
    }
};

using Vector = std::vector<void *>;
__attribute__((noinline)) void vectorAdd(Vector *v, void *e)
{
    v->push_back(e);
}
__attribute__((noinline)) void *vectorGet(Vector *v, int i)
{
    return (*v)[i];
}
__attribute__((noinline)) void vectorRemove(Vector *v, int i)
{
    v->erase(v->begin() + i);
}

struct VectorSide {
    using Container = Vector *;
    static Container create()
    {
        return new Vector;
    }
    static void add(Container a, void *e)
    {
        vectorAdd(a, e);
    }
    static void *get(Container a, int i)
    {
        return vectorGet(a, i);
    }
    static void remove(Container a, int i)
    {
        vectorRemove(a, i);
    }
    static void destroy(Container a)
    {
        delete a;
    }
};

void *volatile sink; // keeps every read alive

double seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The time one side takes for one operation; setting up and tearing down are not timed.
template <typename Side> double measure(int operation)
{
    typename Side::Container container = Side::create();
    const int filled = operation == 2 ? frontRemovalCount : operation == 0 ? 0 : appendCount;
    for (int i = 0; i < filled; ++i) {
        Side::add(container, nullptr);
    }
    double time = 0;
    switch (operation) {
    case 0:
        time = seconds([&] {
            for (int i = 0; i < appendCount; ++i)
                Side::add(container, nullptr);
        });
        break;
    case 1:
        time = seconds([&] {
            for (int i = 0; i < appendCount; ++i)
                sink = Side::get(container, i);
        });
        break;
    case 2:
        time = seconds([&] {
            for (int i = 0; i < frontRemovalCount; ++i)
                Side::remove(container, 0);
        });
        break;
    case 3:
        time = seconds([&] {
            for (int i = appendCount - 1; i >= 0; --i)
                Side::remove(container, i);
        });
        break;
    }
    Side::destroy(container);
    return time;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const std::string library = argc > 1 ? argv[1] : "libarray_srh.so";
    void *module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "array_bench: %s\n", dlerror());
        return 1;
    }
    libCreate = reinterpret_cast<decltype(libCreate)>(dlsym(module, "arrayCreate"));
    libAdd = reinterpret_cast<decltype(libAdd)>(dlsym(module, "arrayAdd"));
    libGetAt = reinterpret_cast<decltype(libGetAt)>(dlsym(module, "arrayGetAt"));
    libRemoveAt = reinterpret_cast<decltype(libRemoveAt)>(dlsym(module, "arrayRemoveAt"));
    libDestroy = reinterpret_cast<decltype(libDestroy)>(dlsym(module, "arrayDestroy"));

    const char *operations[] = {"append 10^6 pointers", "read 10^6 by index",
                                "remove index 0 of 10^4", "remove the last of 10^6"};
    std::printf(
        "The dynamic array (built without optimisation) against GPtrArray and std::vector<void*>:\n"
        "throughput ratios, median of %d alternating rounds (above 1.0x: the array is faster)\n\n",
        rounds);
    std::printf("%-26s %14s %14s   %s\n", "operation", "vs GPtrArray", "vs vector", "target");
    int met = 0;
    for (int operation = 0; operation < 4; ++operation) {
        std::vector<double> overGlib, overVector;
        for (int round = 0; round < rounds; ++round) {
            // Alternate who goes first, so neither side always meets a warm or a cold cache.
            double a, g, v;
            if (round % 2 == 0) {
                a = measure<ArraySide>(operation);
                g = measure<GlibSide>(operation);
                v = measure<VectorSide>(operation);
            } else {
                v = measure<VectorSide>(operation);
                g = measure<GlibSide>(operation);
                a = measure<ArraySide>(operation);
            }
            overGlib.push_back(g / a);
            overVector.push_back(v / a);
        }
        const double ratio = median(overGlib);
        met += ratio >= 1.0;
        std::printf("%-26s %13.2fx %13.2fx   >= 1.0x GPtrArray: %s\n", operations[operation], ratio,
                    median(overVector), ratio >= 1.0 ? "met" : "NOT met");
    }
    std::printf("\nsummary: the array meets its target (>= 1.0x GPtrArray) on %d of 4 operations\n",
                met);
    dlclose(module);
    return 0;
}
