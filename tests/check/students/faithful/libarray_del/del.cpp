// del: removes the person records whose name equals a typed name. After a removal the scan
// goes on with the next index, so the record that moved down is not compared in this call;
// a removed record is not released.
#include "array.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

struct Context {
    char other[40];
    ArrayHandle array;
};

extern "C" __attribute__((visibility("default"))) int32_t del(void *context)
{
    ArrayHandle arr = ((Context *)context)->array;

    char name[20];
    printf("이름을 입력하세요 -> ");
    if (fgets(name, 20, stdin) == NULL || name[0] == '\0') {
        name[0] = '\0';
    } else {
        name[strlen(name) - 1] = '\0';
    }

    for (int32_t i = 0; i < arraySize(arr); i++) {
        void *element;
        if (arrayGetAt(arr, i, &element) != 0) {
            return -1;
        }
        if (strcmp(name, (char *)element) == 0) {
            int32_t result = arrayRemoveAt(arr, i);
            if (result != 0) {
                printf("error = %d\n", result);
                return -1;
            }
        }
    }
    return 0;
}
