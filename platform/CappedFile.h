#pragma once
// Appending to a file kept under a size limit: the data log, the track file, the user-window and
// debug files. One routine for all of them; each brings its TrimRule.
#include "platform/TrimRule.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace platform {

// Whether an append cut its file back, and whether that trim's syncs worked and it kept its record.
struct TrimSyncs {
    bool trimmed = false;    // by a copy that reached the disk, or in place
    QString failure;         // the system's reason for the first of the trim's syncs that failed
    QString unrecorded = {}; // the system's reason why a move in place went on without its record
};

struct CappedAppend {
    bool appended = false;
    QString failure;     // why the bytes were not appended (the system's reason, and trimFailure)
    QString trimFailure; // why the file stays past its limit: a due trim could not be made
    TrimSyncs trimSyncs;

    // Whether the bytes were appended, the reasons given to the out-parameters that are there.
    bool Give(QString* reason, QString* trimReason, TrimSyncs* syncs = nullptr) const {
        if (reason && !appended)
            *reason = failure;
        if (trimReason)
            *trimReason = trimFailure;
        if (syncs)
            *syncs = trimSyncs;
        return appended;
    }
};

// Appends the bytes to the file at `path`, open for reading and writing as `file`, after cutting
// it back to the rule's kept tail when it is longer than the rule's trigger. A partial record left
// at the end (a crash) is dropped first, whatever the limit, so records stay on their boundaries.
//
// When the disk has room for it, the kept tail and the bytes go to a save file beside the file
// that replaces it once all reached the disk. Without that room (the free room is looked at first,
// so that a copy that cannot fit never fills the disk), or when the copy cannot be made or put in
// the file's place (no room after all, a quota, a folder that refuses new files, a refused rename),
// the kept tail is moved to the front of the file itself, a piece at a time, synced, and the file
// cut to its length: that needs no room, and where the file system holds the move's record
// (InPlaceTrim) a move that was interrupted is finished from where it stopped by the next append,
// before anything else, rather than the file trimmed anew; while that record cannot be read, the
// file is not trimmed at all and `trimFailure` says why. A file that another thread reads whole
// (WholeFileRead) is not trimmed in place meanwhile: the bytes are appended and the trim comes at
// a later append.
//
// A trim in place that fails before it has written anything leaves the file as it was; one that
// stops part-way leaves it at its length, its newest part whole and some of its oldest lines
// overwritten with copies of newer ones (until its move is finished), and `trimFailure` says so
// after the system's reason. A trim in place whose syncs fail, or whose record can be neither
// updated nor written anew, is made all the same, and `trimSyncs` says so.
// Either way the bytes are appended to it when they fit, `trimFailure` says why the file stays
// past its limit (and so does `failure` when the bytes did not fit either), and the trim is tried
// again only once the file has grown by another trim step or a minute has passed; meanwhile
// `trimFailure` keeps saying why. The bytes are appended whole or not at all.
CappedAppend AppendCapped(QFile& file, const QString& path, QByteArrayView bytes, const TrimRule& rule);

// At the program's start, before anything reads the file at `path`: finishes a trim in place of it
// that a kill or power failure interrupted, its syncs as the rule's trims make them. Whether it
// finished one, and whether its syncs worked. A failure of the move, or a record that cannot be
// read, is left for the next append to say.
TrimSyncs FinishInterruptedTrim(const QString& path, const TrimRule& rule);

} // namespace platform
