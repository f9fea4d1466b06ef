#include "app/DiagnosticText.h"

#include "app/Globals.h"

#include <QFile>
#include <algorithm>

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
// Moves the file's last whole lines within `kept` bytes to its start, a piece at a time, and cuts
// it there. A file without a line end in that tail is emptied.
bool KeepLastLines(QFile& file, qint64 kept) {
    constexpr qint64 kPiece = 1024 * 1024;
    const qint64 size = file.size();
    qint64 from = std::max<qint64>(0, size - kept);
    if (from > 0) {
        // The kept part starts after the first line end at or after the cut.
        qint64 lineStart = size;
        for (qint64 at = from - 1; at < size && lineStart == size; at += kPiece) {
            if (!file.seek(at))
                return false;
            const QByteArray piece = file.read(kPiece);
            if (piece.isEmpty())
                break;
            if (const qsizetype end = piece.indexOf('\n'); end >= 0)
                lineStart = at + end + 1;
        }
        from = lineStart;
    }
    qint64 written = 0;
    for (qint64 at = from; at < size; at += kPiece) {
        if (!file.seek(at))
            return false;
        const QByteArray piece = file.read(std::min(kPiece, size - at));
        if (!file.seek(written) || file.write(piece) != piece.size())
            return false;
        written += piece.size();
    }
    return file.resize(written);
}
} // namespace

bool AppendNarrowed(const QString& path, const QString& text, const DiagnosticFileLimits& limits,
                    QString* reason) {
    if (path.isEmpty())
        return false;
    QFile file(path);
    const QByteArray bytes = NarrowToBytes(text);
    const bool written =
        file.open(QIODevice::ReadWrite) &&
        (file.size() + bytes.size() <= limits.maxBytes ||
         KeepLastLines(file,
                       std::max<qint64>(0, std::min(limits.keptBytes, limits.maxBytes - bytes.size())))) &&
        file.seek(file.size()) && file.write(bytes) == bytes.size() && file.flush();
    if (!written && reason)
        *reason = file.errorString();
    return written;
}

QString WindowTitle(const QString& executableName, const QString& portName) {
    return kProductName + QStringLiteral(" [") + executableName + QStringLiteral("] ") + portName;
}
