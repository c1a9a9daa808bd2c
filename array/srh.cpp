// srh: lists every person record whose name equals a name typed at the terminal.
// A trace line is printed for every element scanned, the record's fields for each match.
#include "person.h"

#include "line_input.h"

#include <stdio.h>
#include <string.h>

int32_t srh(PersonContext *context)
{
    if (context == NULL) {
        return -1;
    }
    ArrayHandle handle = context->handle;
    int32_t size = arraySize(handle);

    char name[20];
    printf("이름을 입력하세요 -> ");
    readLine(name, sizeof name);

    for (int32_t i = 0; i < size; ++i) {
        void *element;
        if (arrayGetAt(handle, i, &element) != ARRAY_OK) {
            return -1;
        }
        // A null element has no name: it is traced but never matches.
        PersonRecord *person = (PersonRecord *)element;
        printf("case 3 -> [%d]name : %s\n", i, person != NULL ? person->name : "");
        if (person != NULL && strcmp(person->name, name) == 0) {
            printf("[%d] Name:\t%s\n", i, person->name);
            printf("[%d] Age:\t%d\n", i, person->age);
            printf("[%d] Height:\t %f\n", i, (double)person->height);
        }
    }
    return 0;
}
