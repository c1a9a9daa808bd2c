/* The array component libvecbox: records kept behind a handle, reached through
 * AddArray, CheckSize, GetArray, SetArray and RemoveArray. */
#ifndef LABS_VECBOX_H
#define LABS_VECBOX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A pointer-sized value the component hands out; callers pass it back unchanged. */
typedef void *VecBoxHandle;

/* Creates an empty component and stores its handle in *handle. 0 on success,
 * a negative status when the handle cannot be made (then *handle is null). */
int32_t CreateArray(VecBoxHandle *handle);

/* Releases every record still kept and the component itself. */
int32_t DestroyArray(VecBoxHandle handle);

/* Appends a record. The record is the component's from now on, even when the
 * call fails (then it is released at once). 0 on success, else negative. */
int32_t AddArray(VecBoxHandle handle, void *record);

/* Stores the number of records in *count (0 for an unusable handle). */
int32_t CheckSize(VecBoxHandle handle, int32_t *count);

/* Stores the address of record index in *record; the record stays the component's. */
int32_t GetArray(VecBoxHandle handle, int32_t index, void **record);

/* Puts record in index's place and releases the record it replaces. The new
 * record is the component's from now on (released at once if the call fails). */
int32_t SetArray(VecBoxHandle handle, int32_t index, void *record);

/* Takes record index out of the array and releases it; later records move down. */
int32_t RemoveArray(VecBoxHandle handle, int32_t index);

#ifdef __cplusplus
}
#endif

#endif
