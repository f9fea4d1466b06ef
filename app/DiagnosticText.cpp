#include "app/DiagnosticText.h"

#include "app/Globals.h"
#include "platform/CappedFile.h"
#include "platform/DescriptorIo.h"
#include "platform/FileAccess.h"

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

QString LineBreakBeforeOwnLine(QStringView before) {
    if (before.isEmpty() || before.back() == QLatin1Char('\n'))
        return {};
    return before.back() == QLatin1Char('\r') ? QStringLiteral("\n") : QStringLiteral("\r\n");
}

QByteArray NarrowToBytes(const QString& text) {
    QByteArray bytes(text.size(), '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes[i] = static_cast<char>(text.at(i).unicode() & 0xFF);
    return bytes;
}

platform::TrimRule DiagnosticTrimRule(const DiagnosticFileLimits& limits, qint64 appendedBytes) {
    // Trimmed when the text would take the file past its maximum.
    return {limits.maxBytes - appendedBytes,
            std::max<qint64>(0, std::min(limits.keptBytes, limits.maxBytes - appendedBytes)),
            platform::KeptTail::AtMost};
}

bool AppendNarrowed(const QString& path, const QString& text, const DiagnosticFileLimits& limits,
                    QString* reason, QString* trimFailure, TextStart start, platform::TrimSyncs* trimSyncs) {
    if (path.isEmpty())
        return false;
    QFile file;
    if (!platform::OpenRegularFile(file, path, QIODevice::ReadWrite, reason))
        return false;
    QByteArray lastByte;
    if (start == TextStart::OnALineOfItsOwn && file.size() > 0)
        platform::ReadFullyAt(file.handle(), file.size() - 1, 1, lastByte); // unreadable: as it comes
    const QByteArray bytes = NarrowToBytes(LineBreakBeforeOwnLine(QString::fromLatin1(lastByte)) + text);
    return platform::AppendCapped(file, path, bytes, DiagnosticTrimRule(limits, bytes.size()))
        .Give(reason, trimFailure, trimSyncs);
}

QString WindowTitle(const QString& executableName, const QString& portName) {
    return kProductName + QStringLiteral(" [") + executableName + QStringLiteral("] ") + portName;
}
