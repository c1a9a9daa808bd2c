// Menu program for the person-record libraries: loads libarray_srh or libarray_del at
// run time, keeps people in the library's dynamic array and offers the library's operation.
#include "person.h"

#include "line_input.h"
#include "menu_input.h"

#include <dlfcn.h>
#include <limits.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

// Our context: 40 bytes of our own members, then the array handle where the
// libraries expect it.
struct MenuContext {
    char libraryName[32];
    int32_t peopleAdded;
    int32_t choicesMade;
    ArrayHandle handle;
};
static_assert(offsetof(MenuContext, handle) == offsetof(PersonContext, handle));
static_assert(sizeof(MenuContext) == sizeof(PersonContext));

// The library's functions that the menu calls.
struct PersonLibrary {
    void *module;
    decltype(&arrayCreate) create;
    decltype(&arraySize) size;
    decltype(&arrayAdd) add;
    decltype(&arrayGetAt) getAt;
    decltype(&arrayDestroy) destroy;
    decltype(&srh) operation; // srh or del, whichever the library has
    const char *operationLabel;
};

// "srh" and "del" name the libraries beside this program; anything else is a path.
static void libraryPath(const char *choice, char *path, size_t size)
{
    if (strcmp(choice, "srh") != 0 && strcmp(choice, "del") != 0) {
        snprintf(path, size, "%s", choice);
        return;
    }
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    self[length > 0 ? length : 0] = '\0';
    char *slash = strrchr(self, '/');
    if (slash != NULL) {
        *slash = '\0';
    }
    snprintf(path, size, "%s/../lib/libarray_%s.so", self, choice);
}

static bool loadLibrary(const char *path, PersonLibrary *library)
{
    library->module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library->module == NULL) {
        fprintf(stderr, "person_menu: %s\n", dlerror());
        return false;
    }
    library->create = (decltype(&arrayCreate))dlsym(library->module, "arrayCreate");
    library->size = (decltype(&arraySize))dlsym(library->module, "arraySize");
    library->add = (decltype(&arrayAdd))dlsym(library->module, "arrayAdd");
    library->getAt = (decltype(&arrayGetAt))dlsym(library->module, "arrayGetAt");
    library->destroy = (decltype(&arrayDestroy))dlsym(library->module, "arrayDestroy");
    library->operation = (decltype(&srh))dlsym(library->module, "srh");
    library->operationLabel = "search by name";
    if (library->operation == NULL) {
        library->operation = (decltype(&del))dlsym(library->module, "del");
        library->operationLabel = "delete by name";
    }
    if (library->create == NULL || library->size == NULL || library->add == NULL ||
        library->getAt == NULL || library->destroy == NULL || library->operation == NULL) {
        fprintf(stderr, "person_menu: %s lacks the array operations or srh/del\n", path);
        dlclose(library->module);
        return false;
    }
    return true;
}

// Reads a new person and appends it; false at end of input.
static bool addPerson(const PersonLibrary *library, MenuContext *context)
{
    PersonRecord *person = (PersonRecord *)calloc(1, sizeof(PersonRecord));
    if (person == NULL) {
        printf("out of memory\n");
        return true;
    }
    printf("name -> ");
    readLine(person->name, sizeof person->name);
    if (feof(stdin) || !askInteger("age -> ", &person->age) ||
        !askNumber("height -> ", &person->height)) {
        free(person);
        return false;
    }
    int32_t status = library->add(context->handle, person);
    if (status != ARRAY_OK) {
        printf("could not add %s (status %d)\n", person->name, status);
        free(person);
        return true;
    }
    context->peopleAdded += 1;
    return true;
}

static void listPeople(const PersonLibrary *library, const MenuContext *context)
{
    int32_t size = library->size(context->handle);
    if (size == 0) {
        printf("no people yet\n");
    }
    for (int32_t i = 0; i < size; ++i) {
        void *element;
        if (library->getAt(context->handle, i, &element) == ARRAY_OK) {
            const PersonRecord *person = (const PersonRecord *)element;
            printf("[%d] %s, age %d, height %.1f\n", i, person->name, person->age,
                   (double)person->height);
        }
    }
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: person_menu srh|del|LIBRARY.so\n");
        return 2;
    }
    char path[PATH_MAX + 32];
    libraryPath(argv[1], path, sizeof path);
    PersonLibrary library;
    if (!loadLibrary(path, &library)) {
        return 1;
    }

    MenuContext context;
    memset(&context, 0, sizeof context);
    const char *base = strrchr(path, '/');
    strncpy(context.libraryName, base ? base + 1 : path, sizeof context.libraryName - 1);
    int32_t status = library.create(&context.handle);
    if (status != ARRAY_OK) {
        fprintf(stderr, "person_menu: cannot create the array (status %d)\n", status);
        dlclose(library.module);
        return 1;
    }

    printf("Person records through %s\n", context.libraryName);
    char menu[80];
    snprintf(menu, sizeof menu, "1:add 2:list 3:%s 4:quit -> ", library.operationLabel);
    bool running = true;
    while (running) {
        int32_t choice;
        if (!askInteger(menu, &choice)) {
            break;
        }
        context.choicesMade += 1;
        switch (choice) {
        case 1:
            running = addPerson(&library, &context);
            break;
        case 2:
            listPeople(&library, &context);
            break;
        case 3:
            status = library.operation((PersonContext *)&context);
            if (status != 0) {
                printf("%s returned %d\n", library.operationLabel, status);
            }
            running = !feof(stdin);
            break;
        case 4:
            running = false;
            break;
        default:
            printf("please choose 1 to 4\n");
        }
    }
    if (feof(stdin)) {
        printf("\nend of input\n");
    }
    library.destroy(context.handle);
    dlclose(library.module);
    printf("bye\n");
    return 0;
}
