#pragma once
// Whole reads and writes on a file descriptor, with the system's error number when they fail.
// QFile buffers and gives only a text; the trims and appends need to know a full disk from a
// refused file, and to write the exact bytes they name.
#include <QByteArray>
#include <QtGlobal>

namespace platform {

// Writes all `size` bytes, at `offset` or, when it is negative, at the descriptor's position,
// retrying after interrupts and short writes. 0 when every byte was written; otherwise the
// error number (ENOSPC for a write that the disk took nothing of), some bytes perhaps written:
// `written`, when given, gets how many.
int WriteFully(int fd, const char* data, qint64 size, qint64 offset = -1, qint64* written = nullptr);

// Reads `size` bytes at `offset` into `bytes`; fewer only at the end of the file. 0, or the error
// number.
int ReadFullyAt(int fd, qint64 offset, qint64 size, QByteArray& bytes);

// Syncs what was written to the descriptor to the disk, again after an interrupt; a file system
// that has nothing to sync or cannot sync is no failure. 0, or the error number.
int SyncToDisk(int fd);

} // namespace platform
