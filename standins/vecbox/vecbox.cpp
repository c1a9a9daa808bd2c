// Stand-in for the outside array component libvecbox, kept in the dynamic array.
// The component owns every record it is given and releases each one that leaves it.
#include "vecbox.h"

#include "array.h"

#include <stdlib.h>

// The handle handed out is the dynamic array's own handle.
static ArrayHandle arrayOf(VecBoxHandle handle)
{
    return (ArrayHandle)handle;
}

int32_t CreateArray(VecBoxHandle *handle)
{
    if (handle == NULL) {
        return ARRAY_ERR_HANDLE;
    }
    ArrayHandle array = NULL;
    int32_t status = arrayCreate(&array);
    *handle = array;
    return status;
}

int32_t DestroyArray(VecBoxHandle handle)
{
    return arrayDestroy(arrayOf(handle));
}

int32_t AddArray(VecBoxHandle handle, void *record)
{
    int32_t status = arrayAdd(arrayOf(handle), record);
    if (status != ARRAY_OK) {
        // The caller has let go of the record; one that cannot be kept is released.
        free(record);
    }
    return status;
}

int32_t CheckSize(VecBoxHandle handle, int32_t *count)
{
    if (count == NULL) {
        return ARRAY_ERR_HANDLE;
    }
    int32_t size = arraySize(arrayOf(handle));
    if (size < 0) {
        *count = 0;
        return size;
    }
    *count = size;
    return ARRAY_OK;
}

int32_t GetArray(VecBoxHandle handle, int32_t index, void **record)
{
    return arrayGetAt(arrayOf(handle), index, record);
}

int32_t SetArray(VecBoxHandle handle, int32_t index, void *record)
{
    void *replaced = NULL;
    int32_t status = arrayGetAt(arrayOf(handle), index, &replaced);
    if (status == ARRAY_OK) {
        status = arraySetAt(arrayOf(handle), index, record);
    }
    if (status != ARRAY_OK) {
        free(record);
        return status;
    }
    // Setting a record in its own place keeps it.
    if (replaced != record) {
        free(replaced);
    }
    return ARRAY_OK;
}

int32_t RemoveArray(VecBoxHandle handle, int32_t index)
{
    void *removed = NULL;
    int32_t status = arrayGetAt(arrayOf(handle), index, &removed);
    if (status == ARRAY_OK) {
        status = arrayRemoveAt(arrayOf(handle), index);
    }
    if (status == ARRAY_OK) {
        free(removed);
    }
    return status;
}
