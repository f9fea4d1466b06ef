#pragma once
// Opening the program's own files (data log, track file, user and debug files, page include,
// backdrop, profiles, files to upload). Every one of them is a path the operator typed, so it may
// name a FIFO, a device or a folder: opening such a thing the ordinary way can block the interface
// thread for good (a FIFO with nobody on the other end). These functions never block in open(2)
// and accept only regular files.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

namespace platform {

// The reason given for a path that names anything but a regular file: "not a regular file".
QString NotRegularFileReason();

// Opens `path` into `file` with QFile's mode flags (ReadOnly, WriteOnly, ReadWrite, Append,
// Truncate, Unbuffered, ExistingOnly, NewOnly; WriteOnly alone truncates, as QFile does). A missing
// file is created for writing unless ExistingOnly is given. Anything that is not a regular file is
// refused without being opened (what takes its place meanwhile, without waiting): the file is
// opened with O_NONBLOCK, checked with fstat, and switched back to blocking before it is handed to
// `file` (as a descriptor: its fileName() is empty, so messages name `path`). On failure `file` is
// left closed and `reason` (when given) says why: "not a regular file" or the system's text.
// The first time a run opens a file for writing, the leftover temporaries of its killed saves and
// trims are removed (SaveFile), so an append need not wait for the file's next trim.
bool OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, QString* reason = nullptr);

// The whole of a regular file as long as it was when opened, read through OpenRegularFile; nothing
// when it cannot be opened or read, when it is longer than `maxBytes` (then `reason` says "file too
// large") or when there is no memory for it.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes, QString* reason = nullptr);

} // namespace platform
