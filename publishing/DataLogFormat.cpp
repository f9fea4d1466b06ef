#include "publishing/DataLogFormat.h"

#include <ctime>

namespace {

// The slack beyond the limit before the log is cut, and how far past the limit's boundary the
// search for a line end begins (so at least the limit less 61 bytes stays).
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

platform::TrimRule LogTrimRule(int maxSizeKb) {
    if (maxSizeKb <= 0)
        return {};
    const std::int64_t limit = static_cast<std::int64_t>(maxSizeKb) * 1024;
    if (limit > platform::kLargeLimitBytes)
        return {limit + kTrimSlackBytes, platform::KeptUnderLargeLimit(limit), platform::KeptTail::AtMost};
    return {limit + kTrimSlackBytes, limit - kTrimSearchAhead - 1, platform::KeptTail::AtLeast};
}
