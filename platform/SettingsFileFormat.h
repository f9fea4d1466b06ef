#pragma once
// The text of the settings file: Qt's INI layout ("[Section]" lines, "Key=value" lines, the same
// quoting and escapes, a UTF-8 byte-order mark at the start skipped), read so that every value
// stays plain text. Qt's own reader decodes values written as "@Variant(...)" (and "@DateTime(...)",
// "@Rect(...)", ...) through QDataStream, where a few bytes of text can claim a list of 2^31
// elements and cost tens of gigabytes; here such a value reads as missing, and no value costs more
// than its text. Each value's bytes as they stood in the file are kept too, so that a value the
// program never set is written back exactly as it was, however it is typed or malformed.
#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <QSet>
#include <QSettings>
#include <QStringList>

namespace platform {

// The longest value text a line of the file may hold (64 KiB, far past any the program writes):
// a longer one (a damaged or hand-edited file) reads as missing, and is never held in memory whole.
constexpr qsizetype kLongestSettingsValue = 64 * 1024;

// Of the keys that are not the program's own, a read keeps the first this many, and only while
// their text stays within kForeignSettingsBytes (far past what a hand-edited file holds).
constexpr qsizetype kForeignSettingsKept = 10000;
constexpr qsizetype kForeignSettingsBytes = 4 * 1024 * 1024;

// A value's bytes after the '=' of its line, by key: only of lines that read back the same when
// written out again on a line of their own.
using SettingsValueBytes = QHash<QString, QByteArray>;

struct SettingsText {
    QSettings::SettingsMap values; // as ReadSettingsText gives them
    SettingsValueBytes valueBytes; // of the values, as they stood in the file
    QStringList overlongKeys;      // "Section/Key" of the kept values that were too long, in file order
    qint64 droppedValues = 0;      // lines of keys that are not the program's past the kept ones
    // Why the device could not be read to its end (a disk's read error): then nothing else is set,
    // as the part read before is not the file.
    QString readFailure;
};

// The values of the file read from the device a piece at a time, so that memory stays bounded
// whatever the file holds. With `ownKeys` (the program's own), every key in it is kept and the
// others within the bounds above; without it, every key.
SettingsText ReadSettingsFile(QIODevice& device, const QSet<QString>* ownKeys = nullptr);

// The values of a settings file's text, keyed "Section/Key" ("Key" in the General section). A
// value is a QString, a QStringList (an unquoted list with commas) or, for "@Invalid()" and the
// refused typed forms, an invalid QVariant. Malformed lines are skipped.
QSettings::SettingsMap ReadSettingsText(const QByteArray& text);

// The text Qt's INI writer gives for these values: sections in key order after the General one,
// strings escaped and quoted as Qt does, numbers and booleans as text. A value with bytes in
// `asRead` is written as those bytes.
QByteArray WriteSettingsText(const QSettings::SettingsMap& values, const SettingsValueBytes& asRead = {});

} // namespace platform
