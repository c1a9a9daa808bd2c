/* Member records and the five terminal operations over them: join, show, search,
 * revise and delete. The records are kept in the array component libvecbox. */
#ifndef LABS_MEMBER_H
#define LABS_MEMBER_H

#include "vecbox.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One member: a heap block handed to the component, which keeps it. */
typedef struct MemberRecord {
    char name[20];  /* at most 19 characters and the terminating zero; the search key */
    char telNo[16]; /* at most 15 characters and the terminating zero */
    float mileage;
} MemberRecord;

#define MEMBER_EXPORT __attribute__((visibility("default")))

/* Reads a new member (name, tel no, mileage) and adds it to the component.
 * Returns what AddArray returned, or -1 when the record cannot be allocated. */
MEMBER_EXPORT int32_t joinMember(VecBoxHandle handle);

/* Prints every member in index order. */
MEMBER_EXPORT void showMember(VecBoxHandle handle);

/* Reads a name and prints the first member of that name. */
MEMBER_EXPORT void searchMember(VecBoxHandle handle);

/* Reads a name, then a new tel no and mileage for the first member of that name. */
MEMBER_EXPORT void reviseMember(VecBoxHandle handle);

/* Reads a name and removes the first member of that name. */
MEMBER_EXPORT void deleteMember(VecBoxHandle handle);

#ifdef __cplusplus
}
#endif

#endif
