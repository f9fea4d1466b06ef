#pragma once
// Writing the program's own files so that a full disk never leaves one short or half-written.
//
// Qt's QSaveFile::commit() ignores a failure of its last flush: a save file whose tail did not fit
// on the disk replaced the old file with its first few kilobytes and reported success. Every save
// file is therefore flushed and synced here and its result checked before it is committed. An
// append that the disk cuts short is undone, so a file built by appending holds only whole records.
#include <QByteArrayView>
#include <QFile>
#include <QFileDevice>
#include <QSaveFile>
#include <QString>

namespace platform {

// Writes out what Qt still buffers for the file and syncs it to the disk (a file system that
// cannot sync is not a failure). False, with the system's reason, when anything did not reach the
// disk.
bool FlushToDisk(QFileDevice& file, QString* reason = nullptr);

// Commits the save file only when every byte written to it reached the disk; otherwise discards
// its temporary file, so the old file stays as it was. False, with the reason, when the file was not
// replaced.
bool CommitSaveFile(QSaveFile& file, QString* reason = nullptr);

// Replaces the file at `path` by the bytes through a save file: the old file stays as it was unless
// all of them reached the disk. False, with the reason, when the file was not replaced.
bool SaveWholeFile(const QString& path, QByteArrayView bytes, QString* reason = nullptr);

// Appends the bytes at the end of the open file, straight to its descriptor (nothing stays in a
// buffer to be written later). Either all of them are appended or the file is cut back to its
// length before the append and the result is false, with the system's reason.
bool AppendWhole(QFileDevice& file, QByteArrayView bytes, QString* reason = nullptr);

// Replaces the file at `path`, open as `file`, by its bytes from `from` to its end followed by
// `appended`, through a save file beside it: a failure at any point leaves the file as it was. The
// kept bytes are copied a piece at a time, so memory stays bounded whatever the file's length.
bool ReplaceWithTail(QFile& file, const QString& path, qint64 from, QByteArrayView appended,
                     QString* reason = nullptr);

} // namespace platform
