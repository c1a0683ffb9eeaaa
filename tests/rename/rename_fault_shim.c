/* Preloaded into a test program, this makes renameat2 and linkat fail as a
 * given file system would, on the real file system underneath. The test sets
 * QUILLMERE_RENAME_FAULT before each call it wants to disturb:
 *   no-safe-rename  renameat2 with RENAME_NOREPLACE fails with EINVAL and
 *                   linkat with EPERM, as on some FUSE network shares;
 *   no-safe-rename=EINVAL  the same, but linkat fails with EINVAL, as other
 *                   file systems without hard links answer;
 *   fail:F>T/F>T... a renameat2 whose source and target names (last path
 *                   components) match one F>T pair fails with EIO; a pattern
 *                   ending in '*' matches names that begin with the rest;
 *   kill-at:K       the K-th renameat2 since the mode was set is carried
 *                   out, then the process is killed (SIGKILL), as a crash or
 *                   a power cut would end it right there.
 * Unset or empty, both calls pass straight through to the C library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int (*RenameAt2)(int, const char *, int, const char *, unsigned int);
typedef int (*LinkAt)(int, const char *, int, const char *, int);

static const char *fault(void)
{
    const char *value = getenv("QUILLMERE_RENAME_FAULT");
    return value ? value : "";
}

static int noSafeRename(const char *mode)
{
    return strncmp(mode, "no-safe-rename", 14) == 0;
}

static const char *lastComponent(const char *path)
{
    const char *slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

/* Whether `name` matches the pattern of `length` bytes at `pattern`. */
static int matches(const char *pattern, size_t length, const char *name)
{
    if (length > 0 && pattern[length - 1] == '*')
        return strncmp(name, pattern, length - 1) == 0;
    return strlen(name) == length && strncmp(name, pattern, length) == 0;
}

static int pairMatches(const char *pairs, const char *from, const char *to)
{
    while (*pairs) {
        const char *end = strchr(pairs, '/');
        const size_t length = end ? (size_t)(end - pairs) : strlen(pairs);
        const char *arrow = memchr(pairs, '>', length);
        if (arrow && matches(pairs, (size_t)(arrow - pairs), from)
            && matches(arrow + 1, length - (size_t)(arrow + 1 - pairs), to))
            return 1;
        if (!end)
            break;
        pairs = end + 1;
    }
    return 0;
}

int renameat2(int oldFolder, const char *oldPath, int newFolder, const char *newPath, unsigned int flags)
{
    const char *mode = fault();
    if (noSafeRename(mode) && (flags & RENAME_NOREPLACE)) {
        errno = EINVAL;
        return -1;
    }
    if (strncmp(mode, "fail:", 5) == 0 && pairMatches(mode + 5, lastComponent(oldPath), lastComponent(newPath))) {
        errno = EIO;
        return -1;
    }
    const RenameAt2 real = (RenameAt2)dlsym(RTLD_NEXT, "renameat2");
    if (strncmp(mode, "kill-at:", 8) == 0) {
        static long calls = 0;
        const int result = real(oldFolder, oldPath, newFolder, newPath, flags);
        if (++calls == atol(mode + 8))
            raise(SIGKILL);
        return result;
    }
    return real(oldFolder, oldPath, newFolder, newPath, flags);
}

int linkat(int oldFolder, const char *oldPath, int newFolder, const char *newPath, int flags)
{
    const char *mode = fault();
    if (noSafeRename(mode)) {
        errno = strcmp(mode, "no-safe-rename=EINVAL") == 0 ? EINVAL : EPERM;
        return -1;
    }
    const LinkAt real = (LinkAt)dlsym(RTLD_NEXT, "linkat");
    return real(oldFolder, oldPath, newFolder, newPath, flags);
}
