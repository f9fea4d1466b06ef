#include "app/DiagnosticText.h"

#include "app/Globals.h"
#include "platform/FileAccess.h"
#include "platform/FileWriting.h"

#include <QFile>
#include <algorithm>
#include <optional>

QString FormatTime(const char* format, const std::tm& time) {
    char buffer[64];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &time);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(length));
}

QString DebugLine(const std::tm& localTime, const QString& text) {
    return FormatTime("%H:%M:%S %d/%m/%y ", localTime) + text + QStringLiteral("\r\n");
}

QString UserLine(const std::tm& utcTime, const QString& text) {
    QString line = FormatTime(" %H:%M:%S %d/%m/%y UTC ", utcTime) + text;
    if (line.indexOf(QStringLiteral("\r\n")) != line.size() - 2)
        line += QStringLiteral("\r\n");
    return line;
}

QByteArray NarrowToBytes(const QString& text) {
    QByteArray bytes(text.size(), '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes[i] = static_cast<char>(text.at(i).unicode() & 0xFF);
    return bytes;
}

namespace {
// Where the file's last whole lines within `kept` bytes start: after the first line end at or
// after the cut. The file's length when no line end lies in that tail (nothing is kept then).
std::optional<qint64> KeptLinesStart(QFile& file, qint64 kept) {
    constexpr qint64 kPiece = 1024 * 1024;
    const qint64 size = file.size();
    const qint64 from = std::max<qint64>(0, size - kept);
    if (from == 0)
        return 0;
    for (qint64 at = from - 1; at < size; at += kPiece) {
        if (!file.seek(at))
            return std::nullopt;
        const QByteArray piece = file.read(kPiece);
        if (piece.isEmpty())
            break;
        if (const qsizetype end = piece.indexOf('\n'); end >= 0)
            return at + end + 1;
    }
    return size;
}
} // namespace

bool AppendNarrowed(const QString& path, const QString& text, const DiagnosticFileLimits& limits,
                    QString* reason) {
    if (path.isEmpty())
        return false;
    QFile file;
    if (!platform::OpenRegularFile(file, path, QIODevice::ReadWrite, reason))
        return false;
    const QByteArray bytes = NarrowToBytes(text);
    if (file.size() + bytes.size() <= limits.maxBytes)
        return platform::AppendWhole(file, bytes, reason);
    // The newest lines go to a temporary file that replaces the old one, so a crash or a full
    // disk part-way leaves the old file whole.
    const qint64 kept = std::max<qint64>(0, std::min(limits.keptBytes, limits.maxBytes - bytes.size()));
    const std::optional<qint64> start = KeptLinesStart(file, kept);
    if (!start) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    return platform::ReplaceWithTail(file, path, *start, bytes, reason);
}

QString WindowTitle(const QString& executableName, const QString& portName) {
    return kProductName + QStringLiteral(" [") + executableName + QStringLiteral("] ") + portName;
}
