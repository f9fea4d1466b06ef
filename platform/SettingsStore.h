#pragma once
// The settings store: the values of <config dir>/<name>.conf (the executable's name; Qt's INI
// layout, platform/SettingsFileFormat.h), held once for the whole process.
//
// The file is read once per start, and again only when it changed on disk (another copy of the
// program or the operator wrote it): every store opened meanwhile shares the values read. It is
// read without ever blocking: a path that names a FIFO, a device, a socket or a folder reads as an
// empty file and is never written. Of the keys that are not the program's own, only the first
// kForeignSettingsKept are kept, within kForeignSettingsBytes, so that a damaged or hostile file
// costs bounded memory and time.
// Changes are written when a store is synced or closed: the file is read again first when it
// changed on disk, the changes are put over it, and the whole text replaces the file only once all
// of it reached the disk. A value not set or removed in this process is written as its bytes stood in
// the file. A file that cannot be opened (refused rights) or whose read fails part-way (a disk's read
// error) reads as empty and is not written again in this process.
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace platform {

class SettingsStore {
public:
    SettingsStore();
    // Writes the changes made through this store, as sync() does.
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // "Section/Key" keys. A stored value is a QString or a QStringList (an unquoted list with
    // commas), or what was set in this process; a missing one is an invalid QVariant.
    QVariant value(const QString& key) const;
    bool contains(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    // Removes the key and every key under it.
    void remove(const QString& key);

    // Writes every change not yet written. False, with failureReason(), when they could not be:
    // they stay in the store (its values) and are written by the next sync that can.
    bool sync();
    QString failureReason() const { return m_failure; }
    // Whether the last sync refused because the file could not be opened or read whole in this
    // process.
    bool failedOnRead() const { return m_failedRead; }
    QString fileName() const { return m_path; }

private:
    QString m_path;
    QString m_failure;
    bool m_failedRead = false;
    bool m_changed = false;
};

std::unique_ptr<SettingsStore> OpenSettingsStore();

// The program's own settings keys, which a settings file keeps however many other keys it holds
// (the settings layer names them).
const QSet<QString>& ProgramSettingsKeys();

// What reading the settings file found that the operator is to be told, since the last call.
struct SettingsReadProblems {
    // "Section/Key" of each value too long to read (it read as missing), each once.
    QStringList overlongKeys;
    // Values of keys that are not the program's, past the kept ones: not read and not written back.
    qint64 droppedValues = 0;
    // The path names something other than a regular file: it read as empty and is not written.
    bool notRegular = false;
    // Why the file could not be opened or read whole: it read as empty and is not written in this
    // process.
    QString readFailure;
};
SettingsReadProblems TakeSettingsReadProblems();

// Points the store at another folder (tests); affects stores opened afterwards.
void SetSettingsFolder(const QString& folder);

} // namespace platform
