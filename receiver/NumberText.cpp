#include "receiver/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

bool IsAsciiSpace(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r');
}

namespace {

// The whole text is one finite number for the C library's reader, which takes no leading '+'.
bool ParsesWhole(const QString& text) {
    const std::string bytes = text.toStdString();
    const char* begin = bytes.data();
    const char* end = begin + bytes.size();
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && (*begin == '+' || *begin == '-'))
            return false;
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end;
}

} // namespace

bool ValidateNumber(QString& text) {
    qsizetype end = text.size();
    while (end > 0 && IsAsciiSpace(text[end - 1]))
        --end;
    qsizetype begin = 0;
    while (begin < end && IsAsciiSpace(text[begin]))
        ++begin;
    text = text.mid(begin, end - begin);
    if (text.isEmpty())
        return false;
    static const QString firstChars = QStringLiteral("+-0123456789");
    static const QString laterChars = QStringLiteral("+-Ee0123456789.");
    bool ok = firstChars.contains(text[0]);
    for (qsizetype i = 1; ok && i < text.size(); ++i)
        ok = laterChars.contains(text[i]);
    ok = ok && ParsesWhole(text);
    if (!ok)
        text.clear();
    return ok;
}

namespace {

bool IsDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

} // namespace

double ReadNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && IsAsciiSpace(text[i]))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            number += '-';
        ++i;
    }
    qsizetype digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        number += static_cast<char>(text[i++].unicode());
        ++digits;
    }
    if (i < text.size() && text[i] == u'.') {
        number += '.';
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            number += static_cast<char>(text[i++].unicode());
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    // An exponent counts only when at least one digit follows its letter and sign.
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            exponent += static_cast<char>(text[j++].unicode());
        const qsizetype firstDigit = j;
        while (j < text.size() && IsDigit(text[j]))
            exponent += static_cast<char>(text[j++].unicode());
        if (j > firstDigit)
            number += exponent;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || !std::isfinite(value))
        return 0.0;
    return value;
}

std::optional<std::uint32_t> ReadCheckedUnsigned(QStringView field) {
    QString text = field.toString();
    if (!ValidateNumber(text))
        return std::nullopt;
    qsizetype i = 0;
    bool negative = false;
    if (text[0] == u'+' || text[0] == u'-') {
        negative = text[0] == u'-';
        ++i;
    }
    constexpr std::uint64_t largest = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        value = std::min(largest + 1, value * 10 + (text[i].unicode() - u'0'));
    if (value > largest || (negative && value != 0))
        return static_cast<std::uint32_t>(largest);
    return static_cast<std::uint32_t>(value);
}

std::uint8_t Saturate8(std::uint32_t value) {
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(value, 0xFF));
}

std::uint16_t Saturate16(std::uint32_t value) {
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(value, 0xFFFF));
}
