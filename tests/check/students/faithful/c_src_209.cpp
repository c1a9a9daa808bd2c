// c_src_209: five prompted "%d" reads into an array, echoed on one line. An element whose
// read fails keeps -1; a number past 32 bits is taken as the nearest 32-bit value.
#include <climits>
#include <cstdio>

int main(void)
{
    int arr[5] = {-1, -1, -1, -1, -1};
    for (int i = 0; i < 5; i++) {
        printf("Enter value to array[%d] --> ", i);
        long long value;
        if (scanf("%lld", &value) == 1) {
            arr[i] = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : (int)value;
        }
    }
    for (int i = 0; i < 5; i++) {
        printf("%d ", arr[i]);
    }
    printf("\n");
    return 0;
}
