/* Hostile build, named c_src_40: writes to standard output without end. */
#include <stdio.h>

int main(void)
{
    for (;;) {
        fputs("1000000.0 0.0000314 3.140000e-05 3.14e-05 flood flood flood flood\n", stdout);
    }
}
