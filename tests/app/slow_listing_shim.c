/* Preloaded into a test program, this slows the listing of folders below one
 * path, as a share over a slow link would, on the real file system
 * underneath. The test sets QUILLMERE_SLOW_LISTING to "MS:PREFIX": every
 * readdir on a folder whose path begins with PREFIX then sleeps MS
 * milliseconds first. Unset or empty, every call passes straight through to
 * the C library. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

typedef struct dirent *(*ReadDir)(DIR *);
typedef struct dirent64 *(*ReadDir64)(DIR *);

static void waitIfSlowed(DIR *folder)
{
    const char *setting = getenv("QUILLMERE_SLOW_LISTING");
    if (!setting || !*setting)
        return;
    char *prefix = NULL;
    const long milliseconds = strtol(setting, &prefix, 10);
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd(folder));
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (*prefix != ':' || length < 0)
        return;
    path[length] = '\0';
    if (strncmp(path, prefix + 1, strlen(prefix + 1)) == 0) {
        const struct timespec pause = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
        nanosleep(&pause, NULL);
    }
}

struct dirent *readdir(DIR *folder)
{
    waitIfSlowed(folder);
    return ((ReadDir)dlsym(RTLD_NEXT, "readdir"))(folder);
}

struct dirent64 *readdir64(DIR *folder)
{
    waitIfSlowed(folder);
    return ((ReadDir64)dlsym(RTLD_NEXT, "readdir64"))(folder);
}
