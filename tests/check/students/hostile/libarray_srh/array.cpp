// The dynamic array: element pointers in a slot table that doubles when full, behind a
// handle whose tag every operation checks first.
#include "array.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

// Resizes the slot table to newCapacity slots; the new slots are null.
static int32_t _arrayCreate(ArrayRecord *arr, int32_t newCapacity)
{
    void **slots = (void **)realloc(arr->slots, (size_t)newCapacity * sizeof(void *));
    if (slots == NULL) {
        return ARRAY_ERR_MEMORY;
    }
    for (int32_t i = arr->capacity; i < newCapacity; i++) {
        slots[i] = NULL;
    }
    arr->capacity = newCapacity;
    arr->slots = slots;
    return ARRAY_OK;
}

// A null handle is answered like a wrong tag.
static bool isLive(ArrayHandle arr)
{
    return arr != NULL && arr->magic == ARRAY_MAGIC;
}

int32_t arrayCreate(ArrayHandle *handle)
{
    *handle = NULL;
    ArrayRecord *arr = (ArrayRecord *)calloc(1, sizeof(ArrayRecord));
    if (arr == NULL) {
        return ARRAY_ERR_MEMORY;
    }
    arr->slots = (void **)calloc(16, sizeof(void *));
    if (arr->slots == NULL) {
        free(arr);
        return ARRAY_ERR_MEMORY;
    }
    arr->capacity = 16;
    arr->magic = ARRAY_MAGIC;
    *handle = arr;
    return ARRAY_OK;
}

int32_t arraySize(ArrayHandle arr)
{
    if (!isLive(arr)) {
        return ARRAY_ERR_HANDLE;
    }
    return arr->length;
}

int32_t arrayAdd(ArrayHandle arr, void *element)
{
    if (!isLive(arr)) {
        return ARRAY_ERR_HANDLE;
    }
    if (arr->length >= arr->capacity) {
        int32_t result = _arrayCreate(arr, (int32_t)((int64_t)arr->capacity * 2));
        if (result != ARRAY_OK) {
            return result;
        }
    }
    arr->slots[arr->length] = element;
    arr->length++;
    return ARRAY_OK;
}

int32_t arrayGetAt(ArrayHandle arr, int32_t index, void **element)
{
    if (!isLive(arr) || element == NULL) {
        return ARRAY_ERR_HANDLE;
    }
    if (index < 0 || index >= arr->length) {
        return ARRAY_ERR_INDEX;
    }
    *element = arr->slots[index];
    return ARRAY_OK;
}

int32_t arraySetAt(ArrayHandle arr, int32_t index, void *element)
{
    if (!isLive(arr)) {
        return ARRAY_ERR_HANDLE;
    }
    if (index < 0 || index >= arr->length) {
        return ARRAY_ERR_INDEX;
    }
    arr->slots[index] = element;
    return ARRAY_OK;
}

int32_t arrayRemoveAt(ArrayHandle arr, int32_t index)
{
    if (!isLive(arr)) {
        return ARRAY_ERR_HANDLE;
    }
    if (index < 0 || index >= arr->length) {
        return ARRAY_ERR_INDEX;
    }
    memmove(&arr->slots[index], &arr->slots[index + 1],
            (size_t)(arr->length - index - 1) * sizeof(void *));
    arr->length--;
    return ARRAY_OK;
}

int32_t arrayDestroy(ArrayHandle arr)
{
    if (!isLive(arr)) {
        return ARRAY_ERR_HANDLE;
    }
    for (int32_t i = 0; i < arraySize(arr); i++) {
        if (arr->slots[i] != NULL) {
            free(arr->slots[i]);
            arr->slots[i] = NULL;
        }
    }
    if (arr->slots != NULL) {
        free(arr->slots);
        arr->slots = NULL;
    }
    free(arr);
    return ARRAY_OK;
}
