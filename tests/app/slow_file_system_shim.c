/* Preloaded into a test program, this slows the listing of folders, or the
 * renames of entries, below one path, as a share over a slow link would, on
 * the real file system underneath. The test sets QUILLMERE_SLOW_LISTING or
 * QUILLMERE_SLOW_RENAMES to "MS:PREFIX": every readdir on a folder whose path
 * begins with PREFIX, or every renameat2 of an entry whose path does, then
 * sleeps MS milliseconds first. With QUILLMERE_HANG_RENAMES set to
 * "GATE:PREFIX", every renameat2 of an entry whose path begins with PREFIX,
 * made while the file GATE exists, makes the file "GATE.held" and waits
 * until GATE is gone, as on a share that stopped answering. Unset or empty,
 * every call passes straight through to the C library. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

typedef struct dirent *(*ReadDir)(DIR *);
typedef struct dirent64 *(*ReadDir64)(DIR *);

typedef int (*RenameAt2)(int, const char *, int, const char *, unsigned int);

static void waitIfBelow(const char *variable, const char *path)
{
    const char *setting = getenv(variable);
    if (!setting || !*setting)
        return;
    char *prefix = NULL;
    const long milliseconds = strtol(setting, &prefix, 10);
    if (*prefix != ':')
        return;
    if (strncmp(path, prefix + 1, strlen(prefix + 1)) == 0) {
        const struct timespec pause = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
        nanosleep(&pause, NULL);
    }
}

static void waitIfSlowed(DIR *folder)
{
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd(folder));
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length < 0)
        return;
    path[length] = '\0';
    waitIfBelow("QUILLMERE_SLOW_LISTING", path);
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

static void hangWhileGateStands(const char *path)
{
    const char *setting = getenv("QUILLMERE_HANG_RENAMES");
    const char *prefix = setting ? strchr(setting, ':') : NULL;
    if (!prefix || strncmp(path, prefix + 1, strlen(prefix + 1)) != 0)
        return;
    char gate[4096], held[4104];
    snprintf(gate, sizeof gate, "%.*s", (int)(prefix - setting), setting);
    if (access(gate, F_OK) != 0)
        return;
    snprintf(held, sizeof held, "%s.held", gate);
    const int marker = open(held, O_WRONLY | O_CREAT, 0600);
    if (marker >= 0)
        close(marker);
    const struct timespec pause = {0, 10 * 1000000L};
    while (access(gate, F_OK) == 0)
        nanosleep(&pause, NULL);
}

int renameat2(int oldFolder, const char *oldPath, int newFolder, const char *newPath, unsigned int flags)
{
    waitIfBelow("QUILLMERE_SLOW_RENAMES", oldPath);
    hangWhileGateStands(oldPath);
    return ((RenameAt2)dlsym(RTLD_NEXT, "renameat2"))(oldFolder, oldPath, newFolder, newPath, flags);
}
