#include "receiver/ControlNotation.h"

#include <array>

namespace {

struct ControlName {
    const char16_t* name;
    char16_t code;
};

// Decoding order; no replacement character is '<', '>', a letter or a digit, so a replacement
// never makes or breaks another name and one left-to-right pass gives the same result.
constexpr std::array<ControlName, 32> kControlNames = {{
    {u"<CR>", 0x0D},  {u"<SPC>", 0x20}, {u"<ETX>", 0x03}, {u"<STX>", 0x02}, {u"<LF>", 0x0A},
    {u"<SOH>", 0x01}, {u"<EOT>", 0x04}, {u"<ENQ>", 0x05}, {u"<ACK>", 0x06}, {u"<BEL>", 0x07},
    {u"<BS>", 0x08},  {u"<HT>", 0x09},  {u"<VT>", 0x0B},  {u"<FF>", 0x0C},  {u"<SO>", 0x0E},
    {u"<SI>", 0x0F},  {u"<DLE>", 0x10}, {u"<DC1>", 0x11}, {u"<DC2>", 0x12}, {u"<DC3>", 0x13},
    {u"<DC4>", 0x14}, {u"<NAK>", 0x15}, {u"<SYN>", 0x16}, {u"<ETB>", 0x17}, {u"<CAN>", 0x18},
    {u"<EM>", 0x19},  {u"<SUB>", 0x1A}, {u"<ESC>", 0x1B}, {u"<FS>", 0x1C},  {u"<GS>", 0x1D},
    {u"<RS>", 0x1E},  {u"<US>", 0x1F},
}};

// The name of each character 0x00 to 0x20; null where the character has none.
constexpr std::array<const char16_t*, 0x21> NamesByCode() {
    std::array<const char16_t*, 0x21> names{};
    for (const ControlName& entry : kControlNames)
        names[entry.code] = entry.name;
    return names;
}
constexpr std::array<const char16_t*, 0x21> kNamesByCode = NamesByCode();

constexpr qsizetype NameLength(const char16_t* name) {
    qsizetype length = 0;
    while (name[length] != 0)
        ++length;
    return length;
}

// The character of the name that starts at text[pos] (which is '<'), with the name's length.
bool NameAt(const QString& text, qsizetype pos, char16_t& code, qsizetype& length) {
    const QStringView rest = QStringView(text).mid(pos);
    for (const ControlName& entry : kControlNames) {
        const QStringView name(entry.name, NameLength(entry.name));
        if (rest.startsWith(name)) {
            code = entry.code;
            length = name.size();
            return true;
        }
    }
    return false;
}

char16_t UpperAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c;
}

bool PatternCharAccepts(char16_t pattern, char16_t received) {
    if (pattern == u'?')
        return true;
    if (pattern == u'#')
        return received >= u'0' && received <= u'9';
    return UpperAscii(pattern) == UpperAscii(received);
}

} // namespace

QString ControlNamesToChars(const QString& text) {
    if (!text.contains(QLatin1Char('<')))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype pos = 0; pos < text.size();) {
        char16_t code = 0;
        qsizetype length = 0;
        if (text[pos] == QLatin1Char('<') && NameAt(text, pos, code, length)) {
            result += QChar(code);
            pos += length;
        } else {
            result += text[pos];
            ++pos;
        }
    }
    return result;
}

QString ControlCharsToNames(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < kNamesByCode.size() && kNamesByCode[unit] != nullptr)
            result += QStringView(kNamesByCode[unit], NameLength(kNamesByCode[unit]));
        else
            result += c;
    }
    return result;
}

int MatchReplyEnd(const QString& reply, const QString& patternList) {
    const qsizetype listLength = patternList.size();
    qsizetype start = 0;
    while (start < listLength) {
        // The character at start always belongs to the pattern, even a ';'.
        qsizetype end = patternList.indexOf(QLatin1Char(';'), start + 1);
        if (end < 0)
            end = listLength;
        const QString pattern = ControlNamesToChars(patternList.mid(start, end - start));
        const qsizetype patternLength = pattern.size();
        if (patternLength <= reply.size()) {
            const qsizetype offset = reply.size() - patternLength;
            bool matches = true;
            for (qsizetype i = patternLength - 1; i >= 0 && matches; --i)
                matches = PatternCharAccepts(pattern[i].unicode(), reply[offset + i].unicode());
            if (matches)
                return static_cast<int>(patternLength);
        }
        start = end + 1;
    }
    return kNoReplyEnd;
}
