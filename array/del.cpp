// del: removes every person record whose name equals a name typed at the terminal.
// A removed record has left the array, so del owns it and releases it.
#include "person.h"

#include "line_input.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int32_t del(PersonContext *context)
{
    if (context == NULL) {
        return -1;
    }
    ArrayHandle handle = context->handle;

    char name[20];
    printf("이름을 입력하세요 -> ");
    readLine(name, sizeof name);

    // After a removal the next record has moved into index i, so i stays put.
    int32_t i = 0;
    while (i < arraySize(handle)) {
        void *element;
        if (arrayGetAt(handle, i, &element) != ARRAY_OK) {
            return -1;
        }
        PersonRecord *person = (PersonRecord *)element;
        if (person == NULL || strcmp(person->name, name) != 0) {
            ++i;
            continue;
        }
        int32_t status = arrayRemoveAt(handle, i);
        if (status != ARRAY_OK) {
            printf("error = %d\n", status);
            return -1;
        }
        free(person);
    }
    return 0;
}
