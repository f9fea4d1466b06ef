#include "settings/IniFile.h"

#include "platform/FileAccess.h"
#include "platform/FileWriting.h"

namespace {

QByteArray Trimmed(const QByteArray& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (first < last && blank(text.at(first)))
        ++first;
    while (last > first && blank(text.at(last - 1)))
        --last;
    return text.mid(first, last - first);
}

QString Folded(QStringView name) {
    return name.trimmed().toString().toCaseFolded();
}

// The name of a "[name]" line, or nothing.
std::optional<QString> SectionName(const QByteArray& text) {
    const QByteArray trimmed = Trimmed(text);
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(']');
    const QByteArray name = close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1);
    return QString::fromUtf8(name);
}

// The key of a "key=value" line, or nothing (comments, blank lines, other text).
std::optional<QString> KeyName(const QByteArray& text) {
    const qsizetype equals = text.indexOf('=');
    if (equals <= 0 || Trimmed(text).startsWith(';'))
        return std::nullopt;
    return QString::fromUtf8(Trimmed(text.left(equals)));
}

// A value as the text after its "=" reads: without the blanks around it and without one pair of
// matching quotes around it.
QByteArray ReadValue(const QByteArray& text) {
    QByteArray value = Trimmed(text);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

// The text that reads back as the value: the value itself, or the value in double quotes when
// reading would take something off it (a label's trailing blank, quotes of its own).
QByteArray WrittenValue(const QByteArray& value) {
    return ReadValue(value) == value ? value : '"' + value + '"';
}

} // namespace

IniFile::IniFile(const QByteArray& bytes) {
    m_sections.emplace_back();
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        Line line;
        if (newline < 0) {
            line.text = bytes.mid(start);
            start = bytes.size();
        } else {
            const bool crlf = newline > start && bytes.at(newline - 1) == '\r';
            line.text = bytes.mid(start, newline - start - (crlf ? 1 : 0));
            line.end = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
            start = newline + 1;
        }
        if (SectionName(line.text))
            m_sections.emplace_back();
        m_sections.back().lines.push_back(std::move(line));
    }
    for (std::size_t i = 0; i < m_sections.size(); ++i)
        Index(i);
}

void IniFile::Index(std::size_t sectionIndex) {
    Section& section = m_sections[sectionIndex];
    section.keys.clear();
    if (sectionIndex == 0)
        return; // keys before any section belong to none
    // The first section of a name wins.
    const QString name = Folded(*SectionName(section.lines.front().text));
    if (!m_sectionIndex.contains(name))
        m_sectionIndex.insert(name, sectionIndex);
    for (std::size_t i = 1; i < section.lines.size(); ++i) {
        if (const std::optional<QString> key = KeyName(section.lines[i].text)) {
            const QString folded = Folded(*key);
            if (!section.keys.contains(folded))
                section.keys.insert(folded, i);
        }
    }
}

const IniFile::Section* IniFile::Find(QStringView section) const {
    const auto it = m_sectionIndex.constFind(Folded(section));
    return it == m_sectionIndex.constEnd() ? nullptr : &m_sections[*it];
}

IniFile::Section* IniFile::Find(QStringView section) {
    return const_cast<Section*>(std::as_const(*this).Find(section));
}

std::optional<QString> IniFile::Value(QStringView section, QStringView key) const {
    const Section* found = Find(section);
    if (!found)
        return std::nullopt;
    const auto it = found->keys.constFind(Folded(key));
    if (it == found->keys.constEnd())
        return std::nullopt;
    const QByteArray& text = found->lines[*it].text;
    return QString::fromUtf8(ReadValue(text.mid(text.indexOf('=') + 1)));
}

void IniFile::SetValue(QStringView section, QStringView key, const QString& value) {
    QString oneLine = value;
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray valueBytes = WrittenValue(oneLine.toUtf8());
    Section* found = Find(section);
    if (!found) {
        // A new section at the end of the file, after a line end for an unended last line.
        Line* last = nullptr;
        for (auto it = m_sections.rbegin(); it != m_sections.rend() && !last; ++it)
            if (!it->lines.empty())
                last = &it->lines.back();
        if (last && last->end.isEmpty())
            last->end = QByteArrayLiteral("\r\n");
        Section added;
        added.lines.push_back({'[' + section.toString().toUtf8() + ']', QByteArrayLiteral("\r\n")});
        m_sections.push_back(std::move(added));
        const std::size_t index = m_sections.size() - 1;
        m_sectionIndex.insert(Folded(section), index);
        found = &m_sections[index];
    }
    const auto it = found->keys.constFind(Folded(key));
    if (it != found->keys.constEnd()) {
        // In place: the key as the file spells it, the new value, the line's own end.
        QByteArray& text = found->lines[*it].text;
        text = text.left(text.indexOf('=') + 1) + valueBytes;
        return;
    }
    // Appended after the section's last non-blank line.
    std::size_t after = 0;
    for (std::size_t i = 0; i < found->lines.size(); ++i)
        if (!Trimmed(found->lines[i].text).isEmpty())
            after = i;
    Line& previous = found->lines[after];
    if (previous.end.isEmpty())
        previous.end = QByteArrayLiteral("\r\n");
    const std::size_t position = after + 1;
    found->lines.insert(found->lines.begin() + static_cast<std::ptrdiff_t>(position),
                        Line{key.toString().toUtf8() + '=' + valueBytes, QByteArrayLiteral("\r\n")});
    for (auto line = found->keys.begin(); line != found->keys.end(); ++line)
        if (*line >= position)
            ++*line;
    found->keys.insert(Folded(key), position);
}

QByteArray IniFile::Bytes() const {
    QByteArray bytes;
    for (const Section& section : m_sections)
        for (const Line& line : section.lines)
            bytes += line.text + line.end;
    return bytes;
}

std::optional<IniFile> ReadIniFile(const QString& path, QString* reason) {
    // Only plain files: a FIFO or a device would hold the program up.
    const std::optional<QByteArray> bytes = platform::ReadRegularFile(path, kLargestIniFile, reason);
    if (!bytes)
        return std::nullopt;
    return IniFile(*bytes);
}

bool WriteIniFile(const QString& path, const IniFile& file, QString* reason) {
    return platform::SaveWholeFile(path, file.Bytes(), reason);
}
