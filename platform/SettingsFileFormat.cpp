#include "platform/SettingsFileFormat.h"

#include <QLocale>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace platform {

namespace {

bool IsIniSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsIniSpecial(char c) {
    return c == '=' || c == '\n' || c == '\r' || c == '\\' || c == '"' || c == ';';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One logical line: its text from its first non-blank byte (at most the kept bytes of a longer
// one), where its first '=' outside quotes is (-1 for none), whether it was cut, and whether it
// ended as a line does (not by the end of the text inside quotes or after a lone backslash, where
// its text followed by a line break would run on into the next line).
struct IniLine {
    QByteArray text;
    qsizetype equals = -1;
    bool cut = false;
    bool ended = true;
};

// UTF-8's byte-order mark, which some editors put at the start of a text.
constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

// Splits the text into logical lines as Qt's INI reader does, a piece at a time: blank lines and
// ';' comment lines are skipped; a line ends at a line break outside quotes or at a ';' that is
// not its first character (which starts a comment); a backslash takes the next byte with it (a line
// break too, and the other half of a CR LF or LF CR pair). Of a line whose value is longer than
// kLongestSettingsValue (or whose key is), only the first bytes are kept. A byte-order mark at the
// start of the text is skipped, as Qt's reader does, wherever the pieces split it.
class IniLineSplitter {
public:
    // Calls onLine(const IniLine&) for each line that the bytes complete.
    template <typename OnLine> void Feed(QByteArrayView bytes, OnLine&& onLine) {
        if (m_atStart)
            bytes = PastByteOrderMark(bytes, onLine);
        Split(bytes, onLine);
    }
    // The end of the text ends the last line.
    template <typename OnLine> void Finish(OnLine&& onLine) {
        if (m_atStart) // a text of the mark's first bytes only
            Split(kByteOrderMark.first(std::exchange(m_markBytes, 0)), onLine);
        m_atStart = false;
        if (m_where == Where::InLine)
            EndLine(onLine, !m_inQuotes && m_escape != Escape::Next);
        m_where = Where::BetweenLines;
    }

private:
    enum class Where { BetweenLines, InComment, InLine };
    enum class Escape { None, Next, OtherLineBreak };

    // Takes the bytes of the mark at the text's start; gives the bytes after it. Bytes that turn
    // out not to be the mark are split as text.
    template <typename OnLine> QByteArrayView PastByteOrderMark(QByteArrayView bytes, OnLine& onLine) {
        while (m_markBytes < kByteOrderMark.size() && !bytes.isEmpty()) {
            if (bytes.front() != kByteOrderMark[m_markBytes]) {
                m_atStart = false;
                Split(kByteOrderMark.first(std::exchange(m_markBytes, 0)), onLine);
                return bytes;
            }
            ++m_markBytes;
            bytes = bytes.sliced(1);
        }
        if (m_markBytes == kByteOrderMark.size())
            m_atStart = false;
        return bytes;
    }

    template <typename OnLine> void Split(QByteArrayView bytes, OnLine& onLine) {
        const qsizetype size = bytes.size();
        for (qsizetype i = 0; i < size;) {
            // Plain text within a line is taken a run at a time.
            if (m_where == Where::InLine && m_escape == Escape::None && !IsIniSpecial(bytes[i])) {
                qsizetype end = i + 1;
                while (end < size && !IsIniSpecial(bytes[end]))
                    ++end;
                Keep(bytes.sliced(i, end - i));
                i = end;
                continue;
            }
            Take(bytes[i++], onLine);
        }
    }

    template <typename OnLine> void Take(char ch, OnLine& onLine) {
        switch (m_where) {
        case Where::BetweenLines:
            if (IsIniSpace(ch))
                return;
            if (ch == ';') {
                m_where = Where::InComment;
                return;
            }
            m_where = Where::InLine;
            break;
        case Where::InComment:
            if (ch == '\n' || ch == '\r')
                m_where = Where::BetweenLines;
            return;
        case Where::InLine:
            break;
        }
        if (m_escape == Escape::Next) {
            m_escape = ch == '\n' || ch == '\r' ? Escape::OtherLineBreak : Escape::None;
            m_escapedBreak = ch;
            Keep(ch);
            return;
        }
        if (m_escape == Escape::OtherLineBreak) {
            m_escape = Escape::None;
            if ((ch == '\n' || ch == '\r') && ch != m_escapedBreak) {
                Keep(ch);
                return;
            }
        }
        switch (ch) {
        case '=':
            if (!m_inQuotes && m_line.equals == -1 && !m_line.cut) // a cut key is no key
                m_line.equals = m_length;
            break;
        case '\n':
        case '\r':
        case ';':
            if (!m_inQuotes) {
                EndLine(onLine, true);
                m_where = ch == ';' ? Where::InComment : Where::BetweenLines;
                return;
            }
            break;
        case '\\':
            m_escape = Escape::Next;
            break;
        case '"':
            m_inQuotes = !m_inQuotes;
            break;
        default:
            break;
        }
        Keep(ch);
    }

    void Keep(char ch) { Keep(QByteArrayView(&ch, 1)); }
    void Keep(QByteArrayView bytes) {
        // The key, or the value after the '=', may hold kLongestSettingsValue bytes.
        const qsizetype room =
            (m_line.equals == -1 ? 0 : m_line.equals + 1) + kLongestSettingsValue - m_length;
        if (room > 0)
            m_line.text.append(bytes.first(std::min(room, bytes.size())));
        if (bytes.size() > room)
            m_line.cut = true;
        m_length += bytes.size();
    }

    template <typename OnLine> void EndLine(OnLine& onLine, bool ended) {
        m_line.ended = ended;
        onLine(std::as_const(m_line));
        m_line.text.resize(0); // keeps its buffer for the next line
        m_line.equals = -1;
        m_line.cut = false;
        m_length = 0;
        m_inQuotes = false;
        m_escape = Escape::None;
    }

    bool m_atStart = true;     // the text's start may still be its byte-order mark
    qsizetype m_markBytes = 0; // of the mark, met so far
    Where m_where = Where::BetweenLines;
    Escape m_escape = Escape::None;
    char m_escapedBreak = 0;
    bool m_inQuotes = false;
    IniLine m_line;
    qsizetype m_length = 0; // of the whole line, kept or not
};

// A key or section name: "\" stands for "/", "%XX" and "%UXXXX" for one UTF-16 unit, other
// bytes are UTF-8.
void AppendUnescapedKey(const QByteArray& data, qsizetype from, qsizetype to, QString& result) {
    qsizetype i = from;
    while (i < to) {
        const auto ch = static_cast<unsigned char>(data[i]);
        if (ch != '\\' && ch != '%' && ch < 0x80) {
            // Plain text is taken a run at a time.
            qsizetype end = i + 1;
            while (end < to && data[end] != '\\' && data[end] != '%' &&
                   static_cast<unsigned char>(data[end]) < 0x80)
                ++end;
            result += QLatin1StringView(data.constData() + i, end - i);
            i = end;
            continue;
        }
        if (ch == '\\') {
            result += QLatin1Char('/');
            ++i;
            continue;
        }
        if (ch != '%' || i == to - 1) {
            if (ch < 0x80) {
                result += QLatin1Char(static_cast<char>(ch));
                ++i;
                continue;
            }
            qsizetype j = i + 1;
            while (j < to && static_cast<unsigned char>(data[j]) >= 0x80)
                ++j;
            result += QString::fromUtf8(data.constData() + i, j - i);
            i = j;
            continue;
        }
        qsizetype first = i + 1;
        int digits = 2;
        if (data[first] == 'U') {
            ++first;
            digits = 4;
        }
        char16_t code = 0;
        bool ok = first + digits <= to;
        for (int d = 0; ok && d < digits; ++d) {
            const int value = HexValue(data[first + d]);
            ok = value >= 0;
            code = static_cast<char16_t>(code * 16 + value);
        }
        if (!ok) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        result += QChar(code);
        i = first + digits;
    }
}

// "Section/Key" without empty parts, as QSettings looks keys up.
QString NormalisedKey(const QString& key) {
    const QLatin1Char slash('/');
    if (!key.startsWith(slash) && !key.endsWith(slash) && !key.contains(QLatin1String("//")))
        return key;
    return key.split(slash, Qt::SkipEmptyParts).join(slash);
}

void ChopTrailingBlanks(QString& text, qsizetype limit) {
    qsizetype n = text.size();
    while (n > limit && (text.at(n - 1) == QLatin1Char(' ') || text.at(n - 1) == QLatin1Char('\t')))
        --n;
    text.truncate(n);
}

struct UnescapedText {
    QString text;
    QStringList list;
    bool isList = false;
};

// A value's text: blanks around it dropped unless quoted, backslash escapes (C's, "\xHH..." and
// octal) resolved, quotes removed; unquoted commas make it a list.
UnescapedText UnescapedValue(const QByteArray& data, qsizetype from, qsizetype to) {
    static constexpr std::array<std::pair<char, char>, 11> kEscapes{{{'a', '\a'},
                                                                     {'b', '\b'},
                                                                     {'f', '\f'},
                                                                     {'n', '\n'},
                                                                     {'r', '\r'},
                                                                     {'t', '\t'},
                                                                     {'v', '\v'},
                                                                     {'"', '"'},
                                                                     {'?', '?'},
                                                                     {'\'', '\''},
                                                                     {'\\', '\\'}}};
    UnescapedText out;
    bool inQuotes = false;
    bool quoted = false;
    bool chop = true; // an escape cut short by the end keeps trailing blanks
    qsizetype i = from;
    const auto skipBlanks = [&] {
        while (i < to && (data[i] == ' ' || data[i] == '\t'))
            ++i;
    };
    skipBlanks();
    qsizetype chopLimit = 0;
    while (i < to) {
        const char ch = data[i];
        if (ch == '\\') {
            if (++i >= to) {
                chop = false;
                break;
            }
            const char escaped = data[i++];
            bool mapped = false;
            for (const auto& [name, value] : kEscapes) {
                if (escaped == name) {
                    out.text += QLatin1Char(value);
                    mapped = true;
                    break;
                }
            }
            const bool hex = escaped == 'x' && i < to && HexValue(data[i]) >= 0;
            const bool octal = escaped >= '0' && escaped <= '7';
            if (hex || octal) {
                std::uint32_t code = hex ? 0 : static_cast<std::uint32_t>(escaped - '0');
                while (i < to) {
                    const int digit =
                        hex ? HexValue(data[i]) : (data[i] >= '0' && data[i] <= '7' ? data[i] - '0' : -1);
                    if (digit < 0)
                        break;
                    code = code * (hex ? 16 : 8) + static_cast<std::uint32_t>(digit);
                    ++i;
                }
                out.text += QChar(static_cast<char16_t>(code));
                if (i >= to) {
                    chop = false;
                    break;
                }
            } else if (!mapped && (escaped == '\n' || escaped == '\r') && i < to) {
                const char next = data[i];
                if ((next == '\n' || next == '\r') && next != escaped)
                    ++i;
            } else if (!mapped && escaped == 'x' && i >= to) {
                chop = false;
                break;
            }
            chopLimit = out.text.size();
        } else if (ch == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                chopLimit = out.text.size();
            }
        } else if (ch == ',' && !inQuotes) {
            if (!quoted)
                ChopTrailingBlanks(out.text, chopLimit);
            out.isList = true;
            out.list.append(out.text);
            out.text.clear();
            quoted = false;
            ++i;
            skipBlanks();
            chopLimit = 0;
        } else {
            qsizetype j = i + 1;
            while (j < to && data[j] != '\\' && data[j] != '"' && data[j] != ',')
                ++j;
            out.text += QString::fromUtf8(data.constData() + i, j - i);
            i = j;
        }
    }
    if (chop && !quoted)
        ChopTrailingBlanks(out.text, chopLimit);
    if (out.isList)
        out.list.append(out.text);
    return out;
}

// A stored string as plain text: "@@..." is an escaped '@', "@String(...)" and "@ByteArray(...)"
// are their text, "@Invalid()" is no value. The forms Qt decodes as binary data are refused.
QVariant PlainValue(const QString& text) {
    if (!text.startsWith(QLatin1Char('@')))
        return text;
    if (text.endsWith(QLatin1Char(')'))) {
        if (text.startsWith(QLatin1String("@String(")))
            return text.sliced(8).chopped(1);
        if (text.startsWith(QLatin1String("@ByteArray(")))
            return text.sliced(11).chopped(1);
        for (const char* typed : {"@Invalid(", "@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("}) {
            if (text.startsWith(QLatin1String(typed)))
                return QVariant();
        }
    }
    if (text.startsWith(QLatin1String("@@")))
        return text.sliced(1);
    return text;
}

QVariant StoredValue(const QByteArray& data, qsizetype from, qsizetype to) {
    UnescapedText value = UnescapedValue(data, from, to);
    if (!value.isList)
        return PlainValue(value.text);
    QStringList list;
    for (const QString& item : std::as_const(value.list)) {
        const QVariant plain = PlainValue(item);
        if (!plain.isValid())
            return QVariant();
        list.append(plain.toString());
    }
    return list;
}

// Keys and section names: letters, digits, '_', '-' and '.' as they are, '/' as '\', other
// units as "%XX" or "%UXXXX".
void AppendEscapedKey(const QString& key, QByteArray& out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const QChar qc : key) {
        const char16_t ch = qc.unicode();
        if (ch == '/') {
            out += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                   ch == '_' || ch == '-' || ch == '.') {
            out += static_cast<char>(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += kHex[ch / 16];
            out += kHex[ch % 16];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(ch >> shift) & 0xF];
        }
    }
}

bool IsHexDigit(char16_t ch) {
    return ch < 0x80 && HexValue(static_cast<char>(ch)) >= 0;
}

// A string value: C escapes for control characters, quotes and backslashes, UTF-8 for the rest
// ("\x" for a lone surrogate); quoted when it holds ';', ',' or '=' or starts or ends in a blank.
void AppendEscapedString(const QString& text, QByteArray& out) {
    bool needsQuotes = false;
    bool escapeNextIfHexDigit = false;
    const qsizetype start = out.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text.at(i).unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfHexDigit && IsHexDigit(ch)) {
            out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfHexDigit = false;
        switch (ch) {
        case '\0':
            out += "\\0";
            escapeNextIfHexDigit = true;
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += static_cast<char>(ch);
            break;
        default:
            if (ch <= 0x1F) {
                out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfHexDigit = true;
            } else if (ch < 0x7F) {
                out += static_cast<char>(ch);
            } else if (QChar::isHighSurrogate(ch) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                out += QStringView(text).sliced(i, 2).toUtf8();
                ++i;
            } else if (QChar::isSurrogate(ch)) {
                out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfHexDigit = true;
            } else {
                out += QStringView(text).sliced(i, 1).toUtf8();
            }
        }
    }
    if (needsQuotes || (start < out.size() && (out.at(start) == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

QString StringForm(const QString& text) {
    return text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text;
}

void AppendValue(const QVariant& value, QByteArray& out) {
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
        out += "@Invalid()";
        return;
    case QMetaType::QStringList: {
        const QStringList list = value.toStringList();
        if (list.isEmpty()) {
            out += "@Invalid()";
            return;
        }
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i != 0)
                out += ", ";
            AppendEscapedString(StringForm(list.at(i)), out);
        }
        return;
    }
    case QMetaType::Bool:
        out += value.toBool() ? "true" : "false";
        return;
    case QMetaType::Double:
        out += QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
        return;
    default:
        AppendEscapedString(StringForm(value.toString()), out);
        return;
    }
}

// Bytes that a key or section name holds as they are: no escape, no '/', nothing past ASCII.
bool IsPlainName(QByteArrayView name) {
    for (const char ch : name) {
        if (ch == '\\' || ch == '%' || ch == '/' || static_cast<unsigned char>(ch) >= 0x80)
            return false;
    }
    return true;
}

// Takes the lines of a settings file's text into its values, section by section.
class SettingsLines {
public:
    // With `ownKeys`, every key in it is kept and other keys within the bounds; without, all.
    explicit SettingsLines(const QSet<QString>* ownKeys) : m_bounded(ownKeys != nullptr) {
        if (ownKeys) {
            for (const QString& key : *ownKeys)
                m_ownKeys.insert(key.toUtf8());
        }
    }

    void operator()(const IniLine& line) {
        const QByteArray& bytes = line.text;
        if (bytes.startsWith('[')) {
            const qsizetype close = bytes.indexOf(']');
            StartSection(bytes.mid(1, close == -1 ? -1 : close - 1).trimmed());
            return;
        }
        if (line.equals == -1)
            return;
        qsizetype keyEnd = line.equals;
        while (keyEnd > 0 && (bytes[keyEnd - 1] == ' ' || bytes[keyEnd - 1] == '\t'))
            --keyEnd;
        // A plain key is its own UTF-8 form: most lines are told kept or dropped without a QString.
        QString key;
        const QByteArrayView keyBytes(bytes.constData(), keyEnd);
        if (m_sectionPlain && keyEnd > 0 && IsPlainName(keyBytes)) {
            m_keyBytes.resize(0);
            m_keyBytes += m_plainSection;
            m_keyBytes += keyBytes;
        } else {
            key = m_section;
            AppendUnescapedKey(bytes, 0, keyEnd, key);
            key = NormalisedKey(key);
            if (key.isEmpty())
                return;
            m_keyBytes = key.toUtf8();
        }
        if (!Keeps(bytes.size())) {
            ++m_text.droppedValues;
            return;
        }
        if (key.isEmpty())
            key = QString::fromLatin1(m_keyBytes);
        if (line.cut) {
            m_text.values.remove(key); // an earlier line of the same key is overridden by this one
            m_text.valueBytes.remove(key);
            if (!m_text.overlongKeys.contains(key))
                m_text.overlongKeys.append(key);
            return;
        }
        m_text.values.insert(key, StoredValue(bytes, line.equals + 1, bytes.size()));
        // A trailing line break is an escaped one, which would take the writer's line break with it.
        if (line.ended && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
            m_text.valueBytes.insert(key, bytes.sliced(line.equals + 1));
        else
            m_text.valueBytes.remove(key);
    }

    SettingsText Take() { return std::move(m_text); }

private:
    void StartSection(const QByteArray& name) {
        m_section.clear();
        m_plainSection.clear();
        m_sectionPlain = false;
        if (name.compare("general", Qt::CaseInsensitive) == 0) {
            m_sectionPlain = true;
            return;
        }
        if (name.compare("%general", Qt::CaseInsensitive) == 0) {
            m_section = QString::fromLatin1(name.sliced(1)) + QLatin1Char('/');
            return;
        }
        AppendUnescapedKey(name, 0, name.size(), m_section);
        m_section += QLatin1Char('/');
        if (!name.isEmpty() && IsPlainName(name)) {
            m_sectionPlain = true;
            m_plainSection = name + '/';
        }
    }

    // Whether the key of m_keyBytes is kept: one of the program's own, one already kept, or
    // another within the bounds.
    bool Keeps(qsizetype size) {
        if (!m_bounded || m_ownKeys.contains(m_keyBytes) || m_foreignKept.contains(m_keyBytes))
            return true;
        if (m_foreignKept.size() >= kForeignSettingsKept || m_foreignBytes + size > kForeignSettingsBytes)
            return false;
        m_foreignKept.insert(m_keyBytes);
        m_foreignBytes += size;
        return true;
    }

    const bool m_bounded;
    QSet<QByteArray> m_ownKeys;     // UTF-8
    QSet<QByteArray> m_foreignKept; // UTF-8
    qsizetype m_foreignBytes = 0;
    QString m_section; // with its '/', empty in the General section
    bool m_sectionPlain = true;
    QByteArray m_plainSection; // the section's bytes with its '/', when plain
    QByteArray m_keyBytes;     // the key of the line at hand, UTF-8
    SettingsText m_text;
};

} // namespace

SettingsText ReadSettingsFile(QIODevice& device, const QSet<QString>* ownKeys) {
    constexpr qint64 kPiece = 64 * 1024;
    SettingsLines lines(ownKeys);
    IniLineSplitter splitter;
    QByteArray piece(kPiece, Qt::Uninitialized);
    qint64 count = 0;
    while ((count = device.read(piece.data(), kPiece)) > 0)
        splitter.Feed(QByteArrayView(piece.constData(), count), lines);
    if (count < 0) {
        SettingsText failed;
        failed.readFailure = device.errorString();
        return failed;
    }
    splitter.Finish(lines);
    return lines.Take();
}

QSettings::SettingsMap ReadSettingsText(const QByteArray& text) {
    SettingsLines lines(nullptr);
    IniLineSplitter splitter;
    splitter.Feed(text, lines);
    splitter.Finish(lines);
    return lines.Take().values;
}

QByteArray WriteSettingsText(const QSettings::SettingsMap& values, const SettingsValueBytes& asRead) {
    struct Entry {
        QString key; // within its section
        const QVariant* value;
        const QByteArray* bytes; // as read, when it is written so
    };
    // Keys without a section first (as "[General]"), then each section in key order.
    std::map<QString, std::vector<Entry>> sections;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? QString() : it.key().left(slash);
        const auto bytes = asRead.constFind(it.key());
        sections[section].push_back(Entry{slash < 0 ? it.key() : it.key().sliced(slash + 1), &it.value(),
                                          bytes == asRead.cend() ? nullptr : &bytes.value()});
    }
    QByteArray out;
    for (const auto& [section, keys] : sections) {
        QByteArray header;
        AppendEscapedKey(section, header);
        if (header.isEmpty())
            header = "[General]";
        else if (header.compare("general", Qt::CaseInsensitive) == 0)
            header = "[%General]";
        else
            header = '[' + header + ']';
        if (!out.isEmpty())
            out += '\n';
        out += header + '\n';
        for (const Entry& entry : keys) {
            AppendEscapedKey(entry.key, out);
            out += '=';
            if (entry.bytes)
                out += *entry.bytes;
            else
                AppendValue(*entry.value, out);
            out += '\n';
        }
    }
    return out;
}

} // namespace platform
