// Preloaded into the program (LD_PRELOAD) by the tests of kills and faults part-way through a
// file's rewrite. It counts the calls that change one file (write, pwrite, ftruncate, fsync,
// fdatasync, fsetxattr, fremovexattr on a descriptor whose /proc/self/fd link names the path in
// ORVANE_KILL_SHIM_PATH) and, at the call numbered ORVANE_KILL_SHIM_AT (from 1):
// - kills the process with SIGKILL before the call, or, for a write, after writing only
//   ORVANE_KILL_SHIM_SPLIT thousandths of its bytes;
// - or, with ORVANE_KILL_SHIM_CALL_ERROR set to an error number, fails that call (a sync, a write:
//   a disk that refuses an append, or a pwrite: a disk error) with that error instead, and lets the
//   process go on.
// Every sync of the file (fsync, fdatasync), a disk that fails or is slow:
// - with ORVANE_KILL_SHIM_SYNCS_FAIL set to an error number, fails with that error once an
//   extended attribute was first set on the file (a trim in place's record), and lets the process
//   go on; with ORVANE_KILL_SHIM_SYNCS_FAILED set, only that many syncs fail, the later ones work;
// - with ORVANE_KILL_SHIM_SYNC_DELAY_MS set, first waits that many milliseconds.
// With ORVANE_KILL_SHIM_REPORT naming a file, each counted call appends its name to it, and " failed"
// for one failed: a run without ORVANE_KILL_SHIM_AT counts the calls a rewrite makes.
// Faults of the move's record (an extended attribute) on that file:
// - ORVANE_KILL_SHIM_SET_ERROR set to an error number fails the fsetxattr calls after the first
//   ORVANE_KILL_SHIM_SETS_TAKEN ones (1 when unset) with that error, all of them or the next
//   ORVANE_KILL_SHIM_SETS_REFUSED; with ORVANE_KILL_SHIM_ROOM_FOR_ONE set, instead each one that
//   would replace a value there, as a file system with room for one record and not for its
//   replacement does (tmpfs charges the new value before it frees the old). They are counted, and
//   reported as "fsetxattr failed";
// - ORVANE_KILL_SHIM_GET_ERROR set to an error number fails the first ORVANE_KILL_SHIM_GETS_FAILED
//   (1 when unset) fgetxattr calls with that error; reads are not counted.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include "DescriptorNamesPath.h"

enum Action { kPass, kKill, kFail };

static atomic_long g_calls;

static const char* Setting(const char* name) {
    const char* value = getenv(name);
    return value && *value ? value : NULL;
}

static int Watched(int fd) {
    const char* path = Setting("ORVANE_KILL_SHIM_PATH");
    return path && DescriptorNamesPath(fd, path);
}

static void Report(const char* call, int failed) {
    const char* report = Setting("ORVANE_KILL_SHIM_REPORT");
    if (!report)
        return;
    static ssize_t (*realWrite)(int, const void*, size_t);
    if (!realWrite)
        realWrite = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    const int fd = open(report, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    char line[64];
    const int size = snprintf(line, sizeof line, "%s%s\n", call, failed ? " failed" : "");
    realWrite(fd, line, (size_t)size);
    close(fd);
}

// What to do at this counted call on `fd`; `failing`: a sync that fails whatever its number.
static enum Action Count(int fd, const char* call, int failing) {
    if (!Watched(fd))
        return kPass;
    const long number = atomic_fetch_add(&g_calls, 1) + 1;
    const char* at = Setting("ORVANE_KILL_SHIM_AT");
    const enum Action action = failing                                  ? kFail
                               : !at || atol(at) != number              ? kPass
                               : Setting("ORVANE_KILL_SHIM_CALL_ERROR") ? kFail
                                                                        : kKill;
    Report(call, action == kFail);
    return action;
}

static void Kill(void) {
    kill(getpid(), SIGKILL);
    for (;;)
        pause();
}

// The bytes of a write of `size` to make before the kill.
static size_t SplitOf(size_t size) {
    const char* split = Setting("ORVANE_KILL_SHIM_SPLIT");
    return split ? size * (size_t)atol(split) / 1000 : 0;
}

#define REAL(name, type) ((type)dlsym(RTLD_NEXT, name))

typedef ssize_t (*WriteCall)(int, const void*, size_t);
typedef ssize_t (*PwriteCall)(int, const void*, size_t, off_t);
typedef int (*FdCall)(int);
typedef int (*TruncateCall)(int, off_t);
typedef int (*SetXattrCall)(int, const char*, const void*, size_t, int);
typedef int (*RemoveXattrCall)(int, const char*);

// What the shim makes of a write of `size` bytes by `name` (write, or a pwrite at `offset`): 0 to
// let it go on, or -1 with errno set for a failure; a kill comes after the part the split names.
static int BeforeWrite(const char* name, int fd, const void* data, size_t size, off_t offset) {
    const int positioned = strcmp(name, "write") != 0;
    switch (Count(fd, positioned ? "pwrite" : "write", 0)) {
    case kKill:
        if (SplitOf(size) > 0 && positioned)
            REAL(name, PwriteCall)(fd, data, SplitOf(size), offset);
        else if (SplitOf(size) > 0)
            REAL(name, WriteCall)(fd, data, SplitOf(size));
        Kill();
        break;
    case kFail:
        errno = atoi(Setting("ORVANE_KILL_SHIM_CALL_ERROR"));
        return -1;
    case kPass:
        break;
    }
    return 0;
}

ssize_t write(int fd, const void* data, size_t size) {
    return BeforeWrite("write", fd, data, size, 0) != 0 ? -1 : REAL("write", WriteCall)(fd, data, size);
}

static ssize_t Pwrite(const char* name, int fd, const void* data, size_t size, off_t offset) {
    return BeforeWrite(name, fd, data, size, offset) != 0 ? -1
                                                          : REAL(name, PwriteCall)(fd, data, size, offset);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    return Pwrite("pwrite", fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off_t offset) {
    return Pwrite("pwrite64", fd, data, size, offset);
}

// A disk whose syncs fail or are slow: every sync of the file.
static atomic_int g_attributeSet;
static atomic_long g_failedSyncs;

// The number in the setting `name`, or `otherwise` when it is unset.
static long NumberSetting(const char* name, long otherwise) {
    return Setting(name) ? atol(Setting(name)) : otherwise;
}

// The error number every sync of `fd` fails with now; 0 for none.
static int FailingSyncs(int fd) {
    const char* error = Setting("ORVANE_KILL_SHIM_SYNCS_FAIL");
    if (!error || !atomic_load(&g_attributeSet) || !Watched(fd))
        return 0;
    return atomic_fetch_add(&g_failedSyncs, 1) < NumberSetting("ORVANE_KILL_SHIM_SYNCS_FAILED", LONG_MAX)
               ? atoi(error)
               : 0;
}

enum { kMsPerSecond = 1000, kNsPerMs = 1000000 };

static void SlowSync(int fd) {
    const char* delay = Setting("ORVANE_KILL_SHIM_SYNC_DELAY_MS");
    if (!delay || !Watched(fd))
        return;
    const long ms = atol(delay);
    struct timespec wait = {ms / kMsPerSecond, (ms % kMsPerSecond) * kNsPerMs};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

static int Sync(const char* name, int fd) {
    const int failing = FailingSyncs(fd);
    SlowSync(fd);
    switch (Count(fd, name, failing)) {
    case kKill:
        Kill();
        break;
    case kFail:
        errno = failing ? failing : atoi(Setting("ORVANE_KILL_SHIM_CALL_ERROR"));
        return -1;
    case kPass:
        break;
    }
    return REAL(name, FdCall)(fd);
}

int fsync(int fd) {
    return Sync("fsync", fd);
}

int fdatasync(int fd) {
    return Sync("fdatasync", fd);
}

static int Truncate(const char* name, int fd, off_t length) {
    if (Count(fd, "ftruncate", 0) == kKill)
        Kill();
    return REAL(name, TruncateCall)(fd, length);
}

int ftruncate(int fd, off_t length) {
    return Truncate("ftruncate", fd, length);
}

int ftruncate64(int fd, off_t length) {
    return Truncate("ftruncate64", fd, length);
}

typedef ssize_t (*GetXattrCall)(int, const char*, void*, size_t);

static atomic_long g_sets;
static atomic_long g_gets;

// Whether this fsetxattr of `name` on `fd` is refused.
static int SetRefused(int fd, const char* name) {
    if (!Setting("ORVANE_KILL_SHIM_SET_ERROR") || !Watched(fd))
        return 0;
    if (Setting("ORVANE_KILL_SHIM_ROOM_FOR_ONE"))
        return REAL("fgetxattr", GetXattrCall)(fd, name, NULL, 0) >= 0;
    const long taken = NumberSetting("ORVANE_KILL_SHIM_SETS_TAKEN", 1);
    const long set = atomic_fetch_add(&g_sets, 1);
    return set >= taken && set - taken < NumberSetting("ORVANE_KILL_SHIM_SETS_REFUSED", LONG_MAX);
}

int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
    const int refused = SetRefused(fd, name);
    if (Count(fd, "fsetxattr", refused) == kKill)
        Kill();
    if (refused) {
        errno = atoi(Setting("ORVANE_KILL_SHIM_SET_ERROR"));
        return -1;
    }
    if (Watched(fd))
        atomic_store(&g_attributeSet, 1);
    return REAL("fsetxattr", SetXattrCall)(fd, name, value, size, flags);
}

ssize_t fgetxattr(int fd, const char* name, void* value, size_t size) {
    if (Setting("ORVANE_KILL_SHIM_GET_ERROR") && Watched(fd) &&
        atomic_fetch_add(&g_gets, 1) < NumberSetting("ORVANE_KILL_SHIM_GETS_FAILED", 1)) {
        errno = atoi(Setting("ORVANE_KILL_SHIM_GET_ERROR"));
        return -1;
    }
    return REAL("fgetxattr", GetXattrCall)(fd, name, value, size);
}

int fremovexattr(int fd, const char* name) {
    if (Count(fd, "fremovexattr", 0) == kKill)
        Kill();
    return REAL("fremovexattr", RemoveXattrCall)(fd, name);
}
