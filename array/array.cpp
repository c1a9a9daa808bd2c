// The dynamic array: element pointers in one heap table that doubles when it is full.
// It never looks inside an element; it stores, returns, moves and finally releases them.
#include "array.h"

#include <stdlib.h>
#include <string.h>

// Largest capacity that still doubles within a 32-bit signed integer.
static const int32_t largestGrowableCapacity = INT32_MAX / 2;

// The checks are written out in each operation rather than called: the library is built
// without optimisation, where every helper call would cost more than the work it guards.

// Resizes the slot table to newCapacity slots and clears the slots it adds.
// On failure the old table, capacity and length stay as they were.
static int32_t _arrayCreate(ArrayRecord *array, int32_t newCapacity)
{
    void **slots = (void **)realloc(array->slots, (size_t)newCapacity * sizeof(void *));
    if (slots == NULL) {
        return ARRAY_ERR_MEMORY;
    }
    memset(slots + array->capacity, 0, (size_t)(newCapacity - array->capacity) * sizeof(void *));
    array->capacity = newCapacity;
    array->slots = slots;
    return ARRAY_OK;
}

int32_t arrayCreate(ArrayHandle *handle)
{
    if (handle == NULL) {
        return ARRAY_ERR_HANDLE;
    }
    *handle = NULL;

    ArrayRecord *array = (ArrayRecord *)calloc(1, sizeof(ArrayRecord));
    if (array == NULL) {
        return ARRAY_ERR_MEMORY;
    }
    array->slots = (void **)calloc(16, sizeof(void *));
    if (array->slots == NULL) {
        free(array);
        return ARRAY_ERR_MEMORY;
    }
    array->capacity = 16;
    array->magic = ARRAY_MAGIC;
    *handle = array;
    return ARRAY_OK;
}

int32_t arraySize(ArrayHandle handle)
{
    if (handle == NULL || handle->magic != ARRAY_MAGIC) {
        return ARRAY_ERR_HANDLE;
    }
    return handle->length;
}

int32_t arrayAdd(ArrayHandle handle, void *element)
{
    if (handle == NULL || handle->magic != ARRAY_MAGIC) {
        return ARRAY_ERR_HANDLE;
    }
    if (handle->length >= handle->capacity) {
        if (handle->capacity > largestGrowableCapacity) {
            return ARRAY_ERR_MEMORY;
        }
        int32_t status = _arrayCreate(handle, handle->capacity * 2);
        if (status != ARRAY_OK) {
            return status;
        }
    }
    handle->slots[handle->length] = element;
    handle->length += 1;
    return ARRAY_OK;
}

int32_t arrayGetAt(ArrayHandle handle, int32_t index, void **element)
{
    if (handle == NULL || handle->magic != ARRAY_MAGIC || element == NULL) {
        return ARRAY_ERR_HANDLE;
    }
    if (index < 0 || index >= handle->length) {
        return ARRAY_ERR_INDEX;
    }
    *element = handle->slots[index];
    return ARRAY_OK;
}

int32_t arraySetAt(ArrayHandle handle, int32_t index, void *element)
{
    if (handle == NULL || handle->magic != ARRAY_MAGIC) {
        return ARRAY_ERR_HANDLE;
    }
    if (index < 0 || index >= handle->length) {
        return ARRAY_ERR_INDEX;
    }
    handle->slots[index] = element;
    return ARRAY_OK;
}

int32_t arrayRemoveAt(ArrayHandle handle, int32_t index)
{
    if (handle == NULL || handle->magic != ARRAY_MAGIC) {
        return ARRAY_ERR_HANDLE;
    }
    if (index < 0 || index >= handle->length) {
        return ARRAY_ERR_INDEX;
    }
    // The elements behind index move down one slot. The ranges overlap, so memmove,
    // not memcpy; removing the last element moves nothing.
    int32_t behind = handle->length - index - 1;
    if (behind > 0) {
        memmove(handle->slots + index, handle->slots + index + 1, (size_t)behind * sizeof(void *));
    }
    handle->length -= 1;
    return ARRAY_OK;
}

int32_t arrayDestroy(ArrayHandle handle)
{
    if (handle == NULL || handle->magic != ARRAY_MAGIC) {
        return ARRAY_ERR_HANDLE;
    }
    for (int32_t index = 0; index < arraySize(handle); ++index) {
        if (handle->slots[index] != NULL) {
            free(handle->slots[index]);
            handle->slots[index] = NULL;
        }
    }
    if (handle->slots != NULL) {
        free(handle->slots);
        handle->slots = NULL;
    }
    free(handle);
    return ARRAY_OK;
}
