/* Preloaded into a test program, this makes renames and links fail, and
 * other programs meddle with new entries, as a given file system or share
 * would, on the real file system underneath. The test sets
 * QUILLMERE_RENAME_FAULT before each call it wants to disturb:
 *   no-safe-rename  renameat2 with RENAME_NOREPLACE fails with EINVAL and
 *                   linkat with EPERM, as on some FUSE network shares;
 *   no-reservation  as no-safe-rename, and a plain rename onto an existing
 *                   entry fails with EEXIST, as an SFTP server without the
 *                   POSIX rename answers: nothing can claim a new name;
 *   either with "=EINVAL" added: the same, but linkat fails with EINVAL, as
 *                   other file systems without hard links answer;
 *   intrude:replace as no-safe-rename, and right after a file is made
 *                   exclusively or a folder is made, another program puts
 *                   its own file "intruder" in its place;
 *   intrude:fill    as no-safe-rename, and right after a file is made
 *                   exclusively it is written "intruder" into, or a file
 *                   "intruder" is put into a folder just made;
 *   fail:F>T/F>T... a renameat2 or rename whose source and target names
 *                   (last path components) match one F>T pair fails with
 *                   EIO; a pattern ending in '*' matches names that begin
 *                   with the rest;
 *   kill-at:K       the K-th renameat2 since the mode was set is carried
 *                   out, then the process is killed (SIGKILL), as a crash or
 *                   a power cut would end it right there;
 *   link-kill-at:K  renameat2 with RENAME_NOREPLACE fails with EINVAL, so
 *                   that files move by link, and the K-th linkat is carried
 *                   out, then the process is killed, before the old name
 *                   goes.
 *   kill-before:K   the process is killed (SIGKILL) right before its K-th
 *                   call since the mode was set that changes the file
 *                   system: renameat2, rename, renameat, linkat, link,
 *                   unlink, unlinkat, rmdir, mkdir, mkdirat, and open or
 *                   openat that may make a file. Every such call counts,
 *                   wherever it goes and even if it would fail.
 * Unset or empty, every call passes straight through to the C library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

typedef int (*RenameAt2)(int, const char *, int, const char *, unsigned int);
typedef int (*LinkAt)(int, const char *, int, const char *, int);
typedef int (*Open)(const char *, int, ...);
typedef int (*MakeFolder)(const char *, mode_t);
typedef int (*Rename)(const char *, const char *);
typedef int (*RenameAt)(int, const char *, int, const char *);
typedef int (*OpenAt)(int, const char *, int, ...);
typedef int (*MakeFolderAt)(int, const char *, mode_t);
typedef int (*Link)(const char *, const char *);
typedef int (*RemovePath)(const char *);
typedef int (*RemoveAt)(int, const char *, int);

static const char *fault(void)
{
    const char *value = getenv("QUILLMERE_RENAME_FAULT");
    return value ? value : "";
}

static int startsWith(const char *text, const char *beginning)
{
    return strncmp(text, beginning, strlen(beginning)) == 0;
}

/* Counts a call that changes the file system, for kill-before. */
static void aboutToChange(void)
{
    const char *mode = fault();
    static long calls = 0;
    if (startsWith(mode, "kill-before:") && ++calls == atol(mode + 12))
        raise(SIGKILL);
}

static int noSafeRename(const char *mode)
{
    return startsWith(mode, "no-safe-rename") || startsWith(mode, "no-reservation") || startsWith(mode, "intrude:");
}

/* The other program's file, made with the real calls. */
static void writeIntruder(const char *path, int flags)
{
    const Open realOpen = (Open)dlsym(RTLD_NEXT, "open");
    const int file = realOpen(path, flags | O_WRONLY | O_CLOEXEC, 0644);
    if (file >= 0) {
        if (write(file, "intruder", 8) != 8)
            perror("rename_fault_shim: intruder");
        close(file);
    }
}

static void intrudeOnFile(const char *path)
{
    const char *mode = fault();
    if (strcmp(mode, "intrude:replace") == 0) {
        unlink(path);
        writeIntruder(path, O_CREAT | O_EXCL);
    } else if (strcmp(mode, "intrude:fill") == 0) {
        writeIntruder(path, O_APPEND);
    }
}

static void intrudeOnFolder(const char *path)
{
    const char *mode = fault();
    if (strcmp(mode, "intrude:replace") == 0) {
        rmdir(path);
        writeIntruder(path, O_CREAT | O_EXCL);
    } else if (strcmp(mode, "intrude:fill") == 0) {
        char inside[4096];
        snprintf(inside, sizeof inside, "%s/intruder", path);
        writeIntruder(inside, O_CREAT | O_EXCL);
    }
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
    aboutToChange();
    const char *mode = fault();
    if ((noSafeRename(mode) || startsWith(mode, "link-kill-at:")) && (flags & RENAME_NOREPLACE)) {
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
    aboutToChange();
    const char *mode = fault();
    if (noSafeRename(mode)) {
        errno = strstr(mode, "=EINVAL") ? EINVAL : EPERM;
        return -1;
    }
    const LinkAt real = (LinkAt)dlsym(RTLD_NEXT, "linkat");
    if (startsWith(mode, "link-kill-at:")) {
        static long calls = 0;
        const int result = real(oldFolder, oldPath, newFolder, newPath, flags);
        if (++calls == atol(mode + 13))
            raise(SIGKILL);
        return result;
    }
    return real(oldFolder, oldPath, newFolder, newPath, flags);
}

static int makesFile(int flags)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

static int openWith(const char *symbol, const char *path, int flags, va_list arguments)
{
    const mode_t permissions = makesFile(flags) ? (mode_t)va_arg(arguments, int) : 0;
    if (makesFile(flags))
        aboutToChange();
    const Open real = (Open)dlsym(RTLD_NEXT, symbol);
    const int file = real(path, flags, permissions);
    if (file >= 0 && (flags & O_CREAT) && (flags & O_EXCL))
        intrudeOnFile(path);
    return file;
}

int open(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int file = openWith("open", path, flags, arguments);
    va_end(arguments);
    return file;
}

int open64(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int file = openWith("open64", path, flags, arguments);
    va_end(arguments);
    return file;
}

static int openAtWith(const char *symbol, int folder, const char *path, int flags, va_list arguments)
{
    const mode_t permissions = makesFile(flags) ? (mode_t)va_arg(arguments, int) : 0;
    if (makesFile(flags))
        aboutToChange();
    const OpenAt real = (OpenAt)dlsym(RTLD_NEXT, symbol);
    return real(folder, path, flags, permissions);
}

int openat(int folder, const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int file = openAtWith("openat", folder, path, flags, arguments);
    va_end(arguments);
    return file;
}

int openat64(int folder, const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int file = openAtWith("openat64", folder, path, flags, arguments);
    va_end(arguments);
    return file;
}

int mkdir(const char *path, mode_t permissions)
{
    aboutToChange();
    const MakeFolder real = (MakeFolder)dlsym(RTLD_NEXT, "mkdir");
    const int result = real(path, permissions);
    if (result == 0)
        intrudeOnFolder(path);
    return result;
}

int mkdirat(int folder, const char *path, mode_t permissions)
{
    aboutToChange();
    const MakeFolderAt real = (MakeFolderAt)dlsym(RTLD_NEXT, "mkdirat");
    return real(folder, path, permissions);
}

int renameat(int oldFolder, const char *oldPath, int newFolder, const char *newPath)
{
    aboutToChange();
    const RenameAt real = (RenameAt)dlsym(RTLD_NEXT, "renameat");
    return real(oldFolder, oldPath, newFolder, newPath);
}

int link(const char *oldPath, const char *newPath)
{
    aboutToChange();
    const Link real = (Link)dlsym(RTLD_NEXT, "link");
    return real(oldPath, newPath);
}

int unlink(const char *path)
{
    aboutToChange();
    const RemovePath real = (RemovePath)dlsym(RTLD_NEXT, "unlink");
    return real(path);
}

int rmdir(const char *path)
{
    aboutToChange();
    const RemovePath real = (RemovePath)dlsym(RTLD_NEXT, "rmdir");
    return real(path);
}

int unlinkat(int folder, const char *path, int flags)
{
    aboutToChange();
    const RemoveAt real = (RemoveAt)dlsym(RTLD_NEXT, "unlinkat");
    return real(folder, path, flags);
}

int rename(const char *oldPath, const char *newPath)
{
    aboutToChange();
    const char *mode = fault();
    struct stat status;
    if (startsWith(mode, "no-reservation") && lstat(newPath, &status) == 0) {
        errno = EEXIST;
        return -1;
    }
    if (strncmp(mode, "fail:", 5) == 0 && pairMatches(mode + 5, lastComponent(oldPath), lastComponent(newPath))) {
        errno = EIO;
        return -1;
    }
    const Rename real = (Rename)dlsym(RTLD_NEXT, "rename");
    return real(oldPath, newPath);
}
