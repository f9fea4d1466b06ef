#pragma once
// What the process has used so far, for tests and benchmarks that bound a cost: its peak resident
// memory and the bytes its read and write calls moved (/proc/self/io).
#include <fstream>
#include <string>
#include <sys/resource.h>

// The process's peak resident memory so far, in kilobytes.
inline long PeakMemoryKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// One counter of /proc/self/io: "rchar" and "wchar" (bytes through read and write calls of every
// kind), "write_bytes" (bytes sent to the storage); -1 when it cannot be read.
inline long long IoCounter(const std::string& name) {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == name + ":")
            return value;
    return -1;
}
