#pragma once
// A device with the null device's numbers, put where the program expects a file. Only root
// (CAP_MKNOD) may make device nodes; for anyone else a test that needs one skips, saying why:
//
//     if (const std::string why = DeviceNodesRefused(); !why.empty())
//         GTEST_SKIP() << why;
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>

constexpr unsigned kNullDeviceMajor = 1;
constexpr unsigned kNullDeviceMinor = 3;

// Makes the device at `path`; false, with errno set, when it cannot.
inline bool MakeNullDevice(const QString& path) {
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666,
                   makedev(kNullDeviceMajor, kNullDeviceMinor)) == 0;
}

// Empty when this process may make device nodes, else why not.
inline std::string DeviceNodesRefused() {
    const QTemporaryDir probe;
    if (!probe.isValid())
        return "no temporary folder to try making a device node in";
    if (MakeNullDevice(probe.filePath(QStringLiteral("null"))))
        return {};
    return std::string("cannot make a device node (") + std::strerror(errno) + "): the test needs root";
}
