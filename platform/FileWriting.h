#pragma once
// Writing the program's own files so that a full disk never leaves one short or half-written.
//
// A whole file is saved through SaveFile: its new bytes replace it only once all of them reached
// the disk, and only a regular file (or nothing) is ever replaced. An append that the disk cuts
// short is undone, so a file built by appending holds only whole records.
#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

namespace platform {

// Writes out what Qt still buffers for the file and syncs it to the disk (a file system that
// cannot sync is not a failure). False, with the system's reason, when anything did not reach the
// disk.
bool FlushToDisk(QFileDevice& file, QString* reason = nullptr);

// Replaces the file at `path` by the bytes through SaveFile: the old file stays as it was unless
// all of them reached the disk, and a path that names anything but a regular file or nothing is
// refused with "not a regular file". False, with the reason, when the file was not replaced.
bool SaveWholeFile(const QString& path, QByteArrayView bytes, QString* reason = nullptr);

// Appends the bytes at the end of the open file, straight to its descriptor (nothing stays in a
// buffer to be written later). Either all of them are appended or the file is cut back to its
// length before the append and the result is false, with the system's reason.
bool AppendWhole(QFileDevice& file, QByteArrayView bytes, QString* reason = nullptr);

// Writes a file that other programs read while it changes (the status page, its text file and
// pictures) as SaveWholeFile does; where the folder refuses the temporary file for lack of rights,
// the file itself, when it is a regular file, is truncated and written, and flushed to the disk,
// so the file is still published. False, with the reason, when it was not written.
bool PublishWholeFile(const QString& path, QByteArrayView bytes, QString* reason = nullptr);

} // namespace platform
