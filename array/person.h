/* Person records kept in the dynamic array, the caller's context that holds the
 * array, and the two terminal operations over them: srh (search) and del (delete). */
#ifndef LABS_PERSON_H
#define LABS_PERSON_H

#include "array.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One element of the array; an element pointer is also the address of its name. */
typedef struct PersonRecord {
    char name[20]; /* at most 19 characters and the terminating zero */
    int32_t age;
    float height;
} PersonRecord;

/* The caller's context record: 40 bytes of the caller's own, then the handle.
 * srh and del read only the handle and never change the context. */
typedef struct PersonContext {
    char callerMembers[40];
    ArrayHandle handle;
} PersonContext;

/* Asks for a name and prints every record of that name, with a trace line for each
 * element scanned. 0 after a complete scan, -1 when an element cannot be fetched. */
ARRAY_EXPORT int32_t srh(PersonContext *context);

/* Asks for a name and removes (and releases) every record of that name.
 * 0 after a complete scan, -1 when fetching or removing an element fails. */
ARRAY_EXPORT int32_t del(PersonContext *context);

#ifdef __cplusplus
}
#endif

#endif
