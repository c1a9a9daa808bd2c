// Opens a record library with dlopen, as a real caller does, and finds its array operations.
#pragma once

#include "array.h"

#include <dlfcn.h>
#include <stdexcept>
#include <string>

namespace harness
{

struct ArrayLibrary {
    void *module = nullptr;
    decltype(&arrayCreate) create = nullptr;
    decltype(&arraySize) size = nullptr;
    decltype(&arrayAdd) add = nullptr;
    decltype(&arrayGetAt) getAt = nullptr;
    decltype(&arraySetAt) setAt = nullptr;
    decltype(&arrayRemoveAt) removeAt = nullptr;
    decltype(&arrayDestroy) destroy = nullptr;

    explicit ArrayLibrary(const std::string &path)
    {
        module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            throw std::runtime_error(dlerror());
        }
        find(create, "arrayCreate");
        find(size, "arraySize");
        find(add, "arrayAdd");
        find(getAt, "arrayGetAt");
        find(setAt, "arraySetAt");
        find(removeAt, "arrayRemoveAt");
        find(destroy, "arrayDestroy");
    }
    ~ArrayLibrary()
    {
        dlclose(module);
    }
    ArrayLibrary(const ArrayLibrary &) = delete;
    ArrayLibrary &operator=(const ArrayLibrary &) = delete;

  private:
    template <typename F> void find(F &function, const char *name)
    {
        function = reinterpret_cast<F>(dlsym(module, name));
        if (function == nullptr) {
            throw std::runtime_error(std::string("missing export ") + name);
        }
    }
};

} // namespace harness
