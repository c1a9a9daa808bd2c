// Member records kept in the array component libvecbox: join, show, search, revise and
// delete, each driven from the terminal and passing the caller's handle on to every call.
#include "member.h"

#include "line_input.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Reads a mileage typed on one line: the number at the start of the line (blanks
// before it are skipped), then the rest of that line up to and including its line
// break is read and dropped. A line without a number, or end of input, gives 0.
static void readMileage(float *mileage)
{
    int c;
    while ((c = getchar()) != EOF && c != '\n' && isspace(c)) {
    }
    if (c == EOF || c == '\n') {
        *mileage = 0.0f;
        return;
    }
    ungetc(c, stdin);
    if (scanf("%f", mileage) != 1) {
        *mileage = 0.0f;
    }
    while ((c = getchar()) != EOF && c != '\n') {
    }
}

// The record at index, or null when the component gives none.
static MemberRecord *memberAt(VecBoxHandle handle, int32_t index)
{
    void *record = NULL;
    GetArray(handle, index, &record);
    return (MemberRecord *)record;
}

static bool hasName(const MemberRecord *member, const char *name)
{
    return member != NULL && strcmp(member->name, name) == 0;
}

static void printNotFound(const char *name)
{
    printf("error : there isn't [%s] in DB\n\n", name);
}

int32_t joinMember(VecBoxHandle handle)
{
    MemberRecord *member = (MemberRecord *)malloc(sizeof(MemberRecord));
    if (member == NULL) {
        printf("error : joinMember_malloc\n");
        return -1;
    }
    printf("Enter name -> ");
    readLine(member->name, sizeof member->name);
    printf("Enter tel no -> ");
    readLine(member->telNo, sizeof member->telNo);
    printf("Enter mileage -> ");
    readMileage(&member->mileage);
    // The record is the component's from here on.
    return AddArray(handle, member);
}

void showMember(VecBoxHandle handle)
{
    int32_t count = 0;
    CheckSize(handle, &count);
    for (int32_t index = 0; index < count; ++index) {
        const MemberRecord *member = memberAt(handle, index);
        if (member != NULL) {
            printf("name : %s\ntel no : %s\nmileage : %.1f\n\n", member->name, member->telNo,
                   (double)member->mileage);
        }
    }
}

void searchMember(VecBoxHandle handle)
{
    char name[20];
    printf("Enter name that you want to search -> ");
    readLine(name, sizeof name);

    int32_t count = 0;
    CheckSize(handle, &count);
    int32_t index;
    for (index = 0; index < count; ++index) {
        const MemberRecord *member = memberAt(handle, index);
        if (hasName(member, name)) {
            printf("Found!\n");
            printf("name : %s\ntel no : %s\nmileage : %f\n\n", member->name, member->telNo,
                   (double)member->mileage);
            return;
        }
    }
    // A negative count means no scan was made, so nothing is reported.
    if (index == count) {
        printNotFound(name);
    }
}

void reviseMember(VecBoxHandle handle)
{
    char name[20];
    printf("Enter name that you want to revise -> ");
    readLine(name, sizeof name);

    int32_t count = 0;
    CheckSize(handle, &count);
    int32_t index;
    for (index = 0; index < count; ++index) {
        if (hasName(memberAt(handle, index), name)) {
            MemberRecord *revised = (MemberRecord *)malloc(sizeof(MemberRecord));
            if (revised == NULL) {
                printf("error : reviseMember_malloc\n");
                return;
            }
            printf("Enter new tel no -> ");
            readLine(revised->telNo, sizeof revised->telNo);
            printf("Enter new mileage -> ");
            readMileage(&revised->mileage);
            strcpy(revised->name, name);
            // The new record takes the old one's place; the old one is the component's.
            SetArray(handle, index, revised);
            return;
        }
    }
    if (index == count) {
        printNotFound(name);
    }
}

void deleteMember(VecBoxHandle handle)
{
    char name[20];
    printf("Enter name that you want to delete -> ");
    readLine(name, sizeof name);

    int32_t count = 0;
    CheckSize(handle, &count);
    int32_t index;
    for (index = 0; index < count; ++index) {
        if (hasName(memberAt(handle, index), name)) {
            RemoveArray(handle, index);
            return;
        }
    }
    if (index == count) {
        printNotFound(name);
    }
}
