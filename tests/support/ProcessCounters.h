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

// A field of /proc/self/status in kilobytes ("VmRSS" resident now, "VmHWM" the peak since the last
// ResetPeakResidentKb); -1 when it cannot be read.
inline long StatusKb(const std::string& name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(name + ":", 0) == 0)
            return std::stol(line.substr(name.size() + 1));
    return -1;
}

// Starts VmHWM again from the memory resident now, so that a phase's own peak can be read.
inline bool ResetPeakResidentKb() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
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
