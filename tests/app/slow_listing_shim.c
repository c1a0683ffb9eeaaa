/* Preloaded into a test program, this slows the listing of folders below one
 * path, as a share over a slow link would, on the real file system
 * underneath. The test sets QUILLMERE_SLOW_LISTING to "MS:PREFIX" before it
 * opens the folders: every readdir on a folder opened by a path beginning
 * with PREFIX then sleeps MS milliseconds first. Unset or empty, every call
 * passes straight through to the C library; folders opened before it was set
 * stay quick. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef DIR *(*OpenDir)(const char *);
typedef int (*CloseDir)(DIR *);
typedef struct dirent *(*ReadDir)(DIR *);
typedef struct dirent64 *(*ReadDir64)(DIR *);

enum { slotCount = 256 };

static pthread_mutex_t guard = PTHREAD_MUTEX_INITIALIZER;
/* The folders being listed slowly, with their delay; a null slot is free. */
static DIR *slowed[slotCount];
static long delays[slotCount];

/* The delay for `path`, or 0 when it is not to be slowed. */
static long delayFor(const char *path)
{
    const char *setting = getenv("QUILLMERE_SLOW_LISTING");
    if (!setting || !*setting)
        return 0;
    char *prefix = NULL;
    const long milliseconds = strtol(setting, &prefix, 10);
    if (*prefix != ':' || strncmp(path, prefix + 1, strlen(prefix + 1)) != 0)
        return 0;
    return milliseconds;
}

static void remember(DIR *folder, long milliseconds)
{
    pthread_mutex_lock(&guard);
    for (int i = 0; i < slotCount; ++i) {
        if (!slowed[i]) {
            slowed[i] = folder;
            delays[i] = milliseconds;
            break;
        }
    }
    pthread_mutex_unlock(&guard);
}

static void forget(DIR *folder)
{
    pthread_mutex_lock(&guard);
    for (int i = 0; i < slotCount; ++i) {
        if (slowed[i] == folder)
            slowed[i] = NULL;
    }
    pthread_mutex_unlock(&guard);
}

static void waitIfSlowed(DIR *folder)
{
    long milliseconds = 0;
    pthread_mutex_lock(&guard);
    for (int i = 0; i < slotCount; ++i) {
        if (slowed[i] == folder)
            milliseconds = delays[i];
    }
    pthread_mutex_unlock(&guard);
    if (milliseconds > 0) {
        const struct timespec pause = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
        nanosleep(&pause, NULL);
    }
}

DIR *opendir(const char *path)
{
    const OpenDir real = (OpenDir)dlsym(RTLD_NEXT, "opendir");
    DIR *folder = real(path);
    const long milliseconds = folder ? delayFor(path) : 0;
    if (milliseconds > 0)
        remember(folder, milliseconds);
    return folder;
}

int closedir(DIR *folder)
{
    forget(folder);
    const CloseDir real = (CloseDir)dlsym(RTLD_NEXT, "closedir");
    return real(folder);
}

struct dirent *readdir(DIR *folder)
{
    waitIfSlowed(folder);
    const ReadDir real = (ReadDir)dlsym(RTLD_NEXT, "readdir");
    return real(folder);
}

struct dirent64 *readdir64(DIR *folder)
{
    waitIfSlowed(folder);
    const ReadDir64 real = (ReadDir64)dlsym(RTLD_NEXT, "readdir64");
    return real(folder);
}
