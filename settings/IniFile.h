#pragma once
// A text file of [sections] and key=value lines, read and written as the receiver profiles need:
// section and key names are found without regard to letter case and the first match wins; a
// write replaces the value in place or appends the key to its section, and a new section goes at
// the end of the file; every other byte of the file is kept, and new lines end in CR LF. Text is
// UTF-8. (QSettings' INI format escapes and reorders, so it cannot keep another program's file.)
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(const QByteArray& bytes);

    // The value of a key: the text after the first "=", without the blanks around it and without
    // one pair of matching quotes around it. Nothing when the section or the key is missing.
    std::optional<QString> Value(QStringView section, QStringView key) const;
    // Replaces the key's value, or adds the key (and its section). Line breaks in the value
    // become blanks, so that a value is always one line. A value that would not read back whole
    // (blanks at either end, or quotes around it) is written in double quotes.
    void SetValue(QStringView section, QStringView key, const QString& value);

    QByteArray Bytes() const;

private:
    struct Line {
        QByteArray text; // without its line end
        QByteArray end;  // "\r\n", "\n" or nothing (the last line)
    };
    struct Section {
        std::vector<Line> lines;          // the header line first (none for the lines before any section)
        QHash<QString, std::size_t> keys; // case-folded key -> its first line
    };

    void Index(std::size_t sectionIndex);
    Section* Find(QStringView section);
    const Section* Find(QStringView section) const;

    std::vector<Section> m_sections;            // element 0 holds the lines before the first section
    QHash<QString, std::size_t> m_sectionIndex; // case-folded name -> first section of that name
};

// Larger files are not taken for receiver profiles, which hold a few kilobytes.
constexpr qint64 kLargestIniFile = 16 * 1024 * 1024;

// The file's text, or nothing when it cannot be read (missing, not a plain file, no permission,
// larger than kLargestIniFile), with the reason.
std::optional<IniFile> ReadIniFile(const QString& path, QString* reason = nullptr);
// Writes the file through a temporary one beside it; false, with the reason, when that fails.
bool WriteIniFile(const QString& path, const IniFile& file, QString* reason = nullptr);
