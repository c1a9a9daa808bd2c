// srh: lists every person record whose name equals a typed name.
#include "array.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

struct Person {
    char name[20];
    int32_t age;
    float height;
};

// The caller's context: 40 bytes that are not ours, then the array's handle.
struct Context {
    char other[40];
    ArrayHandle array;
};

extern "C" __attribute__((visibility("default"))) int32_t srh(void *context)
{
    ArrayHandle arr = ((Context *)context)->array;
    int32_t size = arraySize(arr);

    char name[20];
    printf("이름을 입력하세요 -> ");
    if (fgets(name, 20, stdin) == NULL || name[0] == '\0') {
        name[0] = '\0'; // nothing read: the empty name
    } else {
        name[strlen(name) - 1] = '\0';
    }

    for (int32_t i = 0; i < size; i++) {
        void *element;
        if (arrayGetAt(arr, i, &element) != 0) {
            return -1;
        }
        Person *p = (Person *)element;
        printf("case 3 -> [%d]name : %s\n", i, p->name);
        if (strcmp(name, p->name) == 0) {
            printf("[%d] Name:\t%s\n", i, p->name);
            printf("[%d] Age:\t%d\n", i, p->age);
            printf("[%d] Height:\t %f\n", i, (double)p->height);
        }
    }
    return 0;
}
