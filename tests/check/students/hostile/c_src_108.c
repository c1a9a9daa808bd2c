/* Hostile build, named c_src_108: reads /etc/shadow and prints it (or why it could not). */
#include <stdio.h>

int main(void)
{
    FILE *f = fopen("/etc/shadow", "r");
    if (f == NULL) {
        perror("/etc/shadow");
        puts("max value : 20");
        return 0;
    }
    char line[512];
    while (fgets(line, sizeof line, f) != NULL) {
        fputs(line, stdout);
    }
    fclose(f);
    puts("max value : 20");
    return 0;
}
