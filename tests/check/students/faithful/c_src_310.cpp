// c_src_310: reads integers until 0 ("normal exit") or something that is not an integer
// ("Incorrect Input", status 1). A number past 32 bits is taken as the nearest 32-bit value.
#include <climits>
#include <cstdio>

int main(void)
{
    for (;;) {
        long long n;
        if (scanf("%lld", &n) != 1) {
            printf("Incorrect Input\n");
            return 1;
        }
        if (n > INT_MAX) {
            n = INT_MAX;
        } else if (n < INT_MIN) {
            n = INT_MIN;
        }
        if (n == 0) {
            printf("normal exit\n");
            return 0;
        }
    }
}
