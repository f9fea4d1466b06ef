#pragma once
// Files that a browser or the upload may read while the program rewrites them: written to a
// temporary file beside the target and renamed into place, so a reader sees the old or the new
// file whole, never half of one. In a folder that refuses new files for lack of rights they are
// written in place instead, so they are still published.
#include <QByteArray>
#include <QString>

// Writes the bytes; false, with the reason when asked, when the file cannot be written. The old
// file is then left as it was, except in place, where what was written of it stays.
bool WritePublishedFile(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

// The whole file with each byte widened to one character; empty when it cannot be read.
QString ReadLatin1File(const QString& path);
