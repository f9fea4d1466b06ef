#pragma once
// Appending to a file kept under a size limit: the data log, the track file, the user-window and
// debug files. One routine for all of them; each brings its TrimRule.
#include "platform/TrimRule.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace platform {

struct CappedAppend {
    bool appended = false;
    QString failure;     // why the bytes were not appended (the system's reason)
    QString trimFailure; // why the file stays past its limit: a due trim could not be made

    // Whether the bytes were appended, the reasons given to the out-parameters that are there.
    bool Give(QString* reason, QString* trimReason) const {
        if (reason && !appended)
            *reason = failure;
        if (trimReason)
            *trimReason = trimFailure;
        return appended;
    }
};

// Appends the bytes to the file at `path`, open for reading and writing as `file`, after cutting
// it back to the rule's kept tail when it is longer than the rule's trigger. A partial record left
// at the end (a crash) is dropped first, so records stay on their boundaries.
//
// The kept tail and the bytes go to a temporary file beside it that replaces it once all reached
// the disk. Where the folder refuses the temporary file for lack of rights, the kept tail is moved
// to the front of the file itself, flushed, and the file cut to its length. Either way the tail is
// copied a piece at a time. A trim that fails otherwise (too little room for the copy) leaves the
// file as it was, the bytes are appended to it when they fit, `trimFailure` says why, and the trim
// is tried again only once the file has grown by another trim step or a minute has passed;
// meanwhile `trimFailure` keeps saying why. The bytes are appended whole or not at all.
CappedAppend AppendCapped(QFile& file, const QString& path, QByteArrayView bytes, const TrimRule& rule);

} // namespace platform
