// Drives the dynamic array with operation sequences decoded from the fuzzer's bytes and
// checks every status code and element against a model: a std::vector and the codes.
#include "array.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

struct Input {
    const uint8_t *data;
    size_t size;
    size_t at = 0;
    bool empty() const
    {
        return at >= size;
    }
    uint8_t next()
    {
        return at < size ? data[at++] : 0;
    }
};

// Indexes around the interesting edges: negative, in range, just past the end, extremes.
int32_t decodeIndex(Input &in, size_t length)
{
    const uint8_t kind = in.next();
    switch (kind % 5) {
    case 0:
        return length == 0 ? 0 : static_cast<int32_t>(in.next() % length);
    case 1:
        return static_cast<int32_t>(length) + (in.next() % 3);
    case 2:
        return -1 - (in.next() % 3);
    case 3:
        return (in.next() & 1) ? INT32_MAX : INT32_MIN;
    default:
        return static_cast<int8_t>(in.next());
    }
}

void check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

// A fresh element: a heap block the array may release, or now and then null.
void *newElement(Input &in)
{
    return (in.next() % 8 == 0) ? nullptr : std::malloc(1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    ArrayHandle handle = nullptr;
    std::vector<void *> model;

    while (!in.empty()) {
        const uint8_t operation = in.next() % 10;
        if (handle == nullptr && operation != 8) {
            ArrayHandle created = reinterpret_cast<ArrayHandle>(&model);
            check(arrayCreate(&created) == ARRAY_OK && created != nullptr);
            check(created->capacity == 16 && arraySize(created) == 0);
            handle = created;
            model.clear();
        }
        switch (operation) {
        case 0:
        case 1: {
            void *element = newElement(in);
            check(arrayAdd(handle, element) == ARRAY_OK);
            model.push_back(element);
            check(handle->capacity >= handle->length && handle->length == (int32_t)model.size());
            break;
        }
        case 2: {
            const int32_t index = decodeIndex(in, model.size());
            int marker;
            void *out = &marker;
            const int32_t status = arrayGetAt(handle, index, &out);
            if (index >= 0 && static_cast<size_t>(index) < model.size()) {
                check(status == ARRAY_OK && out == model[index]);
            } else {
                check(status == ARRAY_ERR_INDEX && out == &marker);
            }
            break;
        }
        case 3: {
            const int32_t index = decodeIndex(in, model.size());
            void *element = newElement(in);
            const int32_t status = arraySetAt(handle, index, element);
            if (index >= 0 && static_cast<size_t>(index) < model.size()) {
                check(status == ARRAY_OK);
                std::free(model[index]); // replaced: the caller's again
                model[index] = element;
            } else {
                check(status == ARRAY_ERR_INDEX);
                std::free(element);
            }
            break;
        }
        case 4: {
            const int32_t index = decodeIndex(in, model.size());
            const int32_t status = arrayRemoveAt(handle, index);
            if (index >= 0 && static_cast<size_t>(index) < model.size()) {
                check(status == ARRAY_OK);
                std::free(model[index]); // removed: the caller's again
                model.erase(model.begin() + index);
            } else {
                check(status == ARRAY_ERR_INDEX);
            }
            break;
        }
        case 5:
            check(arraySize(handle) == static_cast<int32_t>(model.size()));
            for (size_t i = 0; i < model.size(); ++i) {
                check(handle->slots[i] == model[i]);
            }
            break;
        case 6:
            check(arrayDestroy(handle) == ARRAY_OK);
            handle = nullptr;
            model.clear();
            break;
        case 7: {
            // A wrong tag: every operation refuses it and the record stays as it was.
            const ArrayRecord before = *handle;
            handle->magic ^= 1 + in.next();
            const ArrayRecord tagged = *handle;
            void *out = nullptr;
            int stray;
            check(arraySize(handle) == ARRAY_ERR_HANDLE);
            check(arrayAdd(handle, &stray) == ARRAY_ERR_HANDLE);
            check(arrayGetAt(handle, 0, &out) == ARRAY_ERR_HANDLE && out == nullptr);
            check(arraySetAt(handle, 0, &stray) == ARRAY_ERR_HANDLE);
            check(arrayRemoveAt(handle, 0) == ARRAY_ERR_HANDLE);
            check(arrayDestroy(handle) == ARRAY_ERR_HANDLE);
            check(std::memcmp(&tagged, handle, sizeof tagged) == 0);
            *handle = before;
            break;
        }
        case 8: {
            int stray;
            void *out = nullptr;
            check(arraySize(nullptr) == ARRAY_ERR_HANDLE &&
                  arrayAdd(nullptr, &stray) == ARRAY_ERR_HANDLE);
            check(arrayGetAt(nullptr, 0, &out) == ARRAY_ERR_HANDLE &&
                  arrayRemoveAt(nullptr, 0) == ARRAY_ERR_HANDLE);
            check(arraySetAt(nullptr, 0, &stray) == ARRAY_ERR_HANDLE &&
                  arrayDestroy(nullptr) == ARRAY_ERR_HANDLE);
            check(arrayCreate(nullptr) < 0);
            if (handle != nullptr) {
                check(arrayGetAt(handle, 0, nullptr) < 0);
            }
            break;
        }
        default:
            break;
        }
    }
    if (handle != nullptr) {
        check(arrayDestroy(handle) == ARRAY_OK);
    }
    return 0;
}
