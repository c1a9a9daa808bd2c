/* A growable array of element pointers behind a tagged handle.
 * Every operation checks the handle's tag first and answers with a status code. */
#ifndef LABS_ARRAY_H
#define LABS_ARRAY_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ARRAY_MAGIC 0x12345678 /* the tag of a live array record */

#define ARRAY_OK 0               /* the operation was carried out */
#define ARRAY_ERR_MEMORY (-1000) /* an allocation failed */
#define ARRAY_ERR_HANDLE (-1001) /* null handle, or a record without the tag */
#define ARRAY_ERR_INDEX (-1002)  /* the index is negative or not below the length */

/* The array record. Callers hold only its address, the handle, and never touch
 * the fields; they are shown here so the layout can be read and checked. */
typedef struct ArrayRecord {
    int32_t magic;    /* ARRAY_MAGIC while the record is live */
    int32_t capacity; /* slots in the slot table: 16, then doubled by each growth */
    int32_t length;   /* elements in the array: slots 0 to length - 1 */
    void **slots;     /* the slot table, one heap block of capacity pointers */
} ArrayRecord;

typedef ArrayRecord *ArrayHandle;

#define ARRAY_EXPORT __attribute__((visibility("default")))

/* Creates an empty array of 16 slots and stores its handle in *handle
 * (null on failure). 0 or ARRAY_ERR_MEMORY. */
ARRAY_EXPORT int32_t arrayCreate(ArrayHandle *handle);

/* The number of elements, or ARRAY_ERR_HANDLE (tell them apart by the sign). */
ARRAY_EXPORT int32_t arraySize(ArrayHandle handle);

/* Appends an element, doubling the slot table when it is full. On failure the
 * element is not stored and stays the caller's. */
ARRAY_EXPORT int32_t arrayAdd(ArrayHandle handle, void *element);

/* Stores element index in *element; the element stays in (and owned by) the array. */
ARRAY_EXPORT int32_t arrayGetAt(ArrayHandle handle, int32_t index, void **element);

/* Replaces element index. The element it replaces is not released: it is the caller's. */
ARRAY_EXPORT int32_t arraySetAt(ArrayHandle handle, int32_t index, void *element);

/* Removes element index, moving the later ones down. The removed element is not
 * released: it is the caller's. */
ARRAY_EXPORT int32_t arrayRemoveAt(ArrayHandle handle, int32_t index);

/* Releases every element still in the array, the slot table and the record.
 * The handle must not be used afterwards. */
ARRAY_EXPORT int32_t arrayDestroy(ArrayHandle handle);

#ifdef __cplusplus
}
#endif

#endif
