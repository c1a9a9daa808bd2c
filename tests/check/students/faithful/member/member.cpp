// Member records kept in the array component libvecbox: join, show, search, revise and
// delete, each reading the terminal. Text fields are read with fgets and lose their last
// character read; a mileage is read with "%f" and the one character after it is dropped.
#include "member.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// One line into a field of size bytes, its last character read replaced by the terminator.
// Nothing read (end of input) gives the empty text.
static void readField(char *field, int size)
{
    if (fgets(field, size, stdin) == NULL || field[0] == '\0') {
        field[0] = '\0';
        return;
    }
    field[strlen(field) - 1] = '\0';
}

// A mileage that cannot be read is -1.
static void readMileage(float *mileage)
{
    if (scanf("%f", mileage) != 1) {
        *mileage = -1.0f;
    }
    getchar();
}

int32_t joinMember(VecBoxHandle handle)
{
    MemberRecord *m = (MemberRecord *)malloc(sizeof(MemberRecord));
    if (m == NULL) {
        printf("error : joinMember_malloc\n");
        return -1;
    }
    printf("Enter name -> ");
    readField(m->name, 20);
    printf("Enter tel no -> ");
    readField(m->telNo, 16);
    printf("Enter mileage -> ");
    readMileage(&m->mileage);
    return AddArray(handle, m);
}

void showMember(VecBoxHandle handle)
{
    int32_t count;
    CheckSize(handle, &count);
    for (int32_t i = 0; i < count; i++) {
        void *record;
        GetArray(handle, i, &record);
        MemberRecord *m = (MemberRecord *)record;
        printf("name : %s\ntel no : %s\nmileage : %.1f\n\n", m->name, m->telNo, (double)m->mileage);
    }
}

void searchMember(VecBoxHandle handle)
{
    char name[20];
    printf("Enter name that you want to search -> ");
    readField(name, 20);
    int32_t count;
    CheckSize(handle, &count);
    int32_t i;
    for (i = 0; i < count; i++) {
        void *record;
        GetArray(handle, i, &record);
        MemberRecord *m = (MemberRecord *)record;
        if (strcmp(m->name, name) == 0) {
            printf("Found!\n");
            printf("name : %s\ntel no : %s\nmileage : %f\n\n", m->name, m->telNo,
                   (double)m->mileage);
            return;
        }
    }
    if (i == count) {
        printf("error : there isn't [%s] in DB\n\n", name);
    }
}

void reviseMember(VecBoxHandle handle)
{
    char name[20];
    printf("Enter name that you want to revise -> ");
    readField(name, 20);
    int32_t count;
    CheckSize(handle, &count);
    int32_t i;
    for (i = 0; i < count; i++) {
        void *record;
        GetArray(handle, i, &record);
        if (strcmp(((MemberRecord *)record)->name, name) == 0) {
            MemberRecord *m = (MemberRecord *)malloc(sizeof(MemberRecord));
            if (m == NULL) {
                printf("error : reviseMember_malloc\n");
                return;
            }
            printf("Enter new tel no -> ");
            readField(m->telNo, 16);
            printf("Enter new mileage -> ");
            readMileage(&m->mileage);
            strcpy(m->name, name);
            SetArray(handle, i, m);
            return;
        }
    }
    if (i == count) {
        printf("error : there isn't [%s] in DB\n\n", name);
    }
}

void deleteMember(VecBoxHandle handle)
{
    char name[20];
    printf("Enter name that you want to delete -> ");
    readField(name, 20);
    int32_t count;
    CheckSize(handle, &count);
    int32_t i;
    for (i = 0; i < count; i++) {
        void *record;
        GetArray(handle, i, &record);
        if (strcmp(((MemberRecord *)record)->name, name) == 0) {
            RemoveArray(handle, i);
            return;
        }
    }
    if (i == count) {
        printf("error : there isn't [%s] in DB\n\n", name);
    }
}
