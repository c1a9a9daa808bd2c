/* Hostile build, named c_src_103: writes a file into the folder it was started from and into
 * every build folder of the collection it can find above that folder or above itself, then
 * prints what it can see and read of other students' folders (../NAME/...). */
#define _DEFAULT_SOURCE
#include <dirent.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static void tryWrite(const char *folder)
{
    char path[PATH_MAX];
    snprintf(path, sizeof path, "%s/written-by-c_src_103", folder);
    FILE *f = fopen(path, "w");
    if (f == NULL) {
        printf("cannot write %s\n", path);
        return;
    }
    fputs("c_src_103 was here\n", f);
    fclose(f);
    printf("WROTE %s\n", path);
}

/* Every ancestor of start that holds build/default/bin gets a file there. */
static void tryBuildFolders(const char *start)
{
    char folder[PATH_MAX];
    snprintf(folder, sizeof folder, "%s", start);
    for (;;) {
        char bin[PATH_MAX + 32];
        snprintf(bin, sizeof bin, "%s/build/default/bin", folder);
        if (access(bin, F_OK) == 0) {
            tryWrite(bin);
        }
        char *slash = strrchr(folder, '/');
        if (slash == NULL || slash == folder) {
            return;
        }
        *slash = '\0';
    }
}

/* Lists a folder and prints the first line of each file in it. */
static void peek(const char *folder, int depth)
{
    DIR *dir = opendir(folder);
    if (dir == NULL) {
        printf("cannot list %s\n", folder);
        return;
    }
    struct dirent *entry;
    while ((entry = readdir(dir)) != NULL) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        char path[PATH_MAX];
        snprintf(path, sizeof path, "%s/%s", folder, entry->d_name);
        printf("SEEN %s\n", path);
        if (depth > 0) {
            peek(path, depth - 1);
            continue;
        }
        FILE *f = fopen(path, "r");
        char line[200];
        if (f != NULL && fgets(line, sizeof line, f) != NULL) {
            printf("READ %s: %s", path, line);
        }
        if (f != NULL) {
            fclose(f);
        }
    }
    closedir(dir);
}

int main(void)
{
    char here[PATH_MAX], self[PATH_MAX];
    if (getcwd(here, sizeof here) != NULL) {
        printf("started in %s\n", here);
        tryWrite(here);
        tryBuildFolders(here);
    }
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        tryBuildFolders(self);
    }
    peek("..", 1);
    peek("../faithful", 1);
    return 0;
}
