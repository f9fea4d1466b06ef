#include "publishing/DataLogFormat.h"

#include <ctime>

namespace {

// The slack beyond the limit before the log is cut, and how far past the limit's boundary the
// search for a line end begins.
constexpr std::int64_t kTrimSlackBytes = 512;
constexpr std::int64_t kTrimSearchAhead = 60;

void AppendNarrowed(QByteArray& out, const QString& text) {
    for (QChar c : text)
        out.append(static_cast<char>(c.unicode() & 0xFF));
}

} // namespace

QString FormatUtcTime(std::int64_t utcSeconds, const char* format) {
    const std::time_t instant = static_cast<std::time_t>(utcSeconds);
    std::tm utc{};
    gmtime_r(&instant, &utc);
    char text[128];
    const std::size_t n = std::strftime(text, sizeof text, format, &utc);
    return QString::fromLatin1(text, static_cast<qsizetype>(n));
}

QByteArray FormatLogLine(std::int64_t utcSeconds, const std::array<QString, kLogChannels>& values,
                         bool stamped) {
    QByteArray line = QByteArray::number(static_cast<qlonglong>(utcSeconds));
    line.append('\t');
    for (const QString& value : values) {
        AppendNarrowed(line, value);
        line.append('\t');
    }
    if (stamped)
        line.append("\t;" + FormatUtcTime(utcSeconds, "%d/%m/%y %H:%M:%S").toLatin1());
    line.append("\r\n");
    return line;
}

bool LogNeedsTrim(std::int64_t length, int maxSizeKb) {
    return maxSizeKb > 0 && length > static_cast<std::int64_t>(maxSizeKb) * 1024 + kTrimSlackBytes;
}

std::optional<std::int64_t> LogTrimOffset(QByteArrayView content, int maxSizeKb) {
    const std::int64_t length = content.size();
    if (!LogNeedsTrim(length, maxSizeKb))
        return std::nullopt;
    const std::int64_t limit = static_cast<std::int64_t>(maxSizeKb) * 1024;
    for (std::int64_t i = std::min(length - limit + kTrimSearchAhead, length - 1); i >= 1; --i)
        if (content[i] == '\n')
            return i + 1;
    return std::nullopt;
}
