#pragma once
// The program's one crash-safe save: the new bytes go to a temporary file beside the file they
// replace and take its place by a rename only once all of them reached the disk; until then, and
// whenever anything fails, the old file stays as it was.
//
// - The path is followed through its symbolic links, and the file they name is replaced where it
//   lies (the links stay links). Only a regular file, or nothing, is ever replaced: a path that
//   names a device, a FIFO, a socket or a folder, directly or through links, is refused as "not a
//   regular file" without being opened (a FIFO would block) and stays what it is.
// - Where the file system has unnamed files (O_TMPFILE) the temporary has no name while it is
//   written, so a save killed then leaves nothing behind; it is named only from its link to its
//   rename. A kill in that moment, or a file system without unnamed files, leaves it under a name
//   of the program's own, ".<file name>.orvane-save-" and six letters or digits, and it is locked
//   (flock) for as long as its save runs. The next save of that file removes such leftovers of it
//   that nobody holds; the operator's files beside it are never touched.
#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace platform {

class SaveFile {
public:
    explicit SaveFile(const QString& path);
    ~SaveFile(); // an uncommitted save is cancelled
    SaveFile(const SaveFile&) = delete;
    SaveFile& operator=(const SaveFile&) = delete;

    // Removes the leftover temporaries of the file's earlier saves and makes the temporary file
    // for this one. False, with ErrorString(), when the save cannot be made: the path names what
    // is not a regular file, the existing file is not writable, or the folder takes no new file.
    bool Open();
    // The temporary file's descriptor, to write the new bytes to; -1 when it is not open.
    int Handle() const { return m_fd; }
    // Syncs the temporary file to the disk and renames it over the file. False, with
    // ErrorString(), when the file was not replaced; the temporary is gone either way.
    bool Commit();
    // Drops the temporary file; the file stays as it was.
    void Cancel();

    // Why Open or Commit failed: "not a regular file" or the system's reason.
    const QString& ErrorString() const { return m_error; }
    // Whether Open failed for lack of rights to make a new file in the folder (EACCES, EPERM).
    bool FolderRefused() const { return m_folderRefused; }

private:
    bool Fail(int error);
    bool Replaceable(); // the target is a writable regular file, or missing
    int LinkTemporary();

    QString m_path;
    QByteArray m_target;    // the path with its links followed
    QByteArray m_temporary; // the temporary file's name while it has one
    int m_fd = -1;
    bool m_targetExists = false;
    mode_t m_targetMode = 0;
    QString m_error;
    bool m_folderRefused = false;
};

// Removes the leftover temporaries of earlier saves of the file at `path` (links followed) that
// no running save holds.
void RemoveLeftoverTemporaries(const QString& path);

} // namespace platform
