/* For the preloaded test libraries (ReadFaultShim.c, KillShim.c): whether a descriptor names one
 * file, as its /proc/self/fd link gives the file's absolute path. */
#pragma once
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static inline int DescriptorNamesPath(int fd, const char* path) {
    char link[sizeof "/proc/self/fd/" + sizeof(int) * CHAR_BIT];
    char target[PATH_MAX];
    if (fd < 0)
        return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length < 0)
        return 0;
    target[length] = '\0';
    return strcmp(target, path) == 0;
}
