// Member records kept in the array component libvecbox: join, show, search, revise and
// delete, each driven from the terminal and passing the caller's handle on to every call.
#include "member.h"

#include "line_input.h"

#include <ctype.h>
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Reads a mileage as "%f" does, then drops the rest of its line. Blanks and empty lines
// before the number are skipped; the number is taken from the start of the line it is
// on, and that line, its line break included, is read and dropped. A line that does not
// start with a number gives 0 (and is dropped), and so does end of input; so does a
// number too large for a float, which "%f" would turn into infinity. The line is read
// first and the number taken from it, so a failed conversion can never reach into the
// next line: the stream conversion may swallow a character it cannot put back.
static void readMileage(float *mileage)
{
    *mileage = 0.0f;
    int c = getchar();
    while (isspace(c)) {
        c = getchar();
    }
    if (c == EOF) {
        return;
    }
    ungetc(c, stdin);

    char line[128];
    readLine(line, sizeof line);
    char *end;
    errno = 0;
    const float number = strtof(line, &end);
    const bool overflowed = errno == ERANGE && (number == HUGE_VALF || number == -HUGE_VALF);
    // A number that fills the whole buffer may go on past it: too long to take.
    const bool cut = *end == '\0' && strlen(line) == sizeof line - 1;
    if (end != line && !overflowed && !cut) {
        *mileage = number;
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

// Asks for a name with prompt, then looks for the first member of that name, in index
// order. Returns its index and stores the record in *found; when no member has the name,
// prints the not-found message and returns -1 (a negative count scans nothing and
// reports nothing).
static int32_t askAndFind(VecBoxHandle handle, const char *prompt, char name[20],
                          const MemberRecord **found)
{
    printf("%s", prompt);
    readLine(name, 20);

    int32_t count = 0;
    CheckSize(handle, &count);
    int32_t index;
    for (index = 0; index < count; ++index) {
        const MemberRecord *member = memberAt(handle, index);
        if (hasName(member, name)) {
            *found = member;
            return index;
        }
    }
    if (index == count) {
        printNotFound(name);
    }
    return -1;
}

void searchMember(VecBoxHandle handle)
{
    char name[20];
    const MemberRecord *member;
    if (askAndFind(handle, "Enter name that you want to search -> ", name, &member) < 0) {
        return;
    }
    printf("Found!\n");
    printf("name : %s\ntel no : %s\nmileage : %f\n\n", member->name, member->telNo,
           (double)member->mileage);
}

void reviseMember(VecBoxHandle handle)
{
    char name[20];
    const MemberRecord *member;
    int32_t index = askAndFind(handle, "Enter name that you want to revise -> ", name, &member);
    if (index < 0) {
        return;
    }
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
}

void deleteMember(VecBoxHandle handle)
{
    char name[20];
    const MemberRecord *member;
    int32_t index = askAndFind(handle, "Enter name that you want to delete -> ", name, &member);
    if (index >= 0) {
        RemoveArray(handle, index);
    }
}
