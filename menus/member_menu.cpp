// Menu program for the member library: creates the array component, offers libmember's
// five operations on the terminal and destroys the component (and every record) at the end.
#include "member.h"
#include "menu_input.h"

#include <stdio.h>
#include <stdlib.h>

int main()
{
    VecBoxHandle handle = NULL;
    int32_t status = CreateArray(&handle);
    if (status != 0) {
        fprintf(stderr, "member_menu: cannot create the array component (status %d)\n", status);
        return 1;
    }

    printf("Member records\n");
    const char *menu = "1:join 2:show 3:search 4:revise 5:delete 6:quit -> ";
    bool running = true;
    while (running) {
        int32_t choice;
        if (!askInteger(menu, &choice)) {
            break;
        }
        switch (choice) {
        case 1:
            status = joinMember(handle);
            if (status != 0) {
                printf("join failed (status %d)\n", status);
            }
            break;
        case 2:
            showMember(handle);
            break;
        case 3:
            searchMember(handle);
            break;
        case 4:
            reviseMember(handle);
            break;
        case 5:
            deleteMember(handle);
            break;
        case 6:
            running = false;
            break;
        default:
            printf("please choose 1 to 6\n");
        }
        // The operations read the terminal too; when they met its end, so do we.
        if (feof(stdin)) {
            running = false;
        }
    }
    if (feof(stdin)) {
        printf("\nend of input\n");
    }
    DestroyArray(handle);
    printf("bye\n");
    return 0;
}
