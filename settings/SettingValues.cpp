#include "settings/SettingValues.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {
// The ASCII bytes of a text, or nothing when it holds another character (which no number has).
std::optional<QByteArray> NarrowText(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() > 0x7F)
            return std::nullopt;
        bytes.append(static_cast<char>(c.unicode()));
    }
    return bytes;
}

bool IsIntegerKind(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}
} // namespace

std::optional<std::int64_t> StoredInteger(const QVariant& stored) {
    if (IsIntegerKind(stored)) {
        if (stored.metaType().id() == QMetaType::ULongLong) {
            const qulonglong value = stored.toULongLong();
            if (value > static_cast<qulonglong>(std::numeric_limits<std::int64_t>::max()))
                return std::nullopt;
            return static_cast<std::int64_t>(value);
        }
        return stored.toLongLong();
    }
    if (stored.metaType().id() != QMetaType::QString)
        return std::nullopt;
    const std::optional<QByteArray> text = NarrowText(QStringView(stored.toString()).trimmed());
    if (!text || text->isEmpty())
        return std::nullopt;
    const char* first = text->constData();
    const char* const last = first + text->size();
    if (*first == '+' && last - first > 1 && first[1] != '-')
        ++first;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> StoredInt32(const QVariant& stored) {
    const std::optional<std::int64_t> value = StoredInteger(stored);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > static_cast<std::int64_t>(std::numeric_limits<std::uint32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
}

std::optional<double> LeadingDouble(QStringView text) {
    // Like strtod in the C locale: leading white space and a '+' are skipped; the longest number
    // at the start is taken.
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size() && text.at(i).unicode() <= 0x7F; ++i)
        bytes.append(static_cast<char>(text.at(i).unicode()));
    qsizetype start = 0;
    const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (start < bytes.size() && isSpace(bytes.at(start)))
        ++start;
    if (start < bytes.size() && bytes.at(start) == '+') {
        ++start;
        if (start < bytes.size() && (bytes.at(start) == '+' || bytes.at(start) == '-'))
            return 0.0;
    }
    bytes.remove(0, start);
    double value = 0.0;
    const auto [end, error] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value,
                                              std::chars_format::general);
    if (error == std::errc::invalid_argument)
        return 0.0;
    if (error != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> StoredDouble(const QVariant& stored) {
    if (stored.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return LeadingDouble(stored.toString());
}

std::optional<QString> StoredString(const QVariant& stored) {
    if (stored.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return stored.toString();
}

QString DoubleSettingText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}
