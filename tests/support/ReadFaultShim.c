/* Preloaded into a program (LD_PRELOAD), makes read(2) of one file fail with EIO, as a bad sector
 * or a dying USB stick does. Every other read goes through untouched.
 *   ORVANE_READ_FAULT_PATH  the file's absolute path, as /proc/self/fd names its descriptors
 *   ORVANE_READ_FAULT_TIMES "every" fails every read of it; otherwise only the first fails
 *   ORVANE_READ_FAULT_READING  the reading of it from which reads fail (a read at the file's start
 *                              begins a reading); the first when unset */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#include "DescriptorNamesPath.h"

typedef ssize_t (*ReadFunction)(int, void*, size_t);

static atomic_int g_faults = 0;
static atomic_int g_readings = 0;
/* Found at the first read: a library's initialiser may read before this one's would run. */
static _Atomic(ReadFunction) g_read = NULL;

static int FailsNow(int fd) {
    const char* path = getenv("ORVANE_READ_FAULT_PATH");
    const int error = errno; /* a read that goes through must leave errno as the caller had it */
    const int names = path != NULL && path[0] != '\0' && DescriptorNamesPath(fd, path);
    const int readings = names && lseek(fd, 0, SEEK_CUR) == 0 ? atomic_fetch_add(&g_readings, 1) + 1
                                                              : atomic_load(&g_readings);
    errno = error;
    if (!names)
        return 0;
    const char* from = getenv("ORVANE_READ_FAULT_READING");
    if (from != NULL && readings < atoi(from))
        return 0;
    const char* times = getenv("ORVANE_READ_FAULT_TIMES");
    if (times != NULL && strcmp(times, "every") == 0)
        return 1;
    return atomic_fetch_add(&g_faults, 1) == 0;
}

ssize_t read(int fd, void* buffer, size_t count) {
    ReadFunction next = atomic_load(&g_read);
    if (next == NULL) {
        next = (ReadFunction)dlsym(RTLD_NEXT, "read");
        atomic_store(&g_read, next);
    }
    if (FailsNow(fd)) {
        errno = EIO;
        return -1;
    }
    return next(fd, buffer, count);
}
