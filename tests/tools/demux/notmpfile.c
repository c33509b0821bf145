/* Preloaded into a tool under test (LD_PRELOAD) to stand for a file
 * system without unnamed files, as FAT and exFAT are: open() with
 * O_TMPFILE fails with EOPNOTSUPP, everything else goes through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>

typedef int (*open_fn)(const char *, int, ...);

static int Forward(const char *symbol, const char *path, int flags, va_list args)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE)
        mode = va_arg(args, mode_t);
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    open_fn next = (open_fn)dlsym(RTLD_NEXT, symbol);
    return next(path, flags, mode);
}

int open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    int fd = Forward("open", path, flags, args);
    va_end(args);
    return fd;
}

int open64(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    int fd = Forward("open64", path, flags, args);
    va_end(args);
    return fd;
}
