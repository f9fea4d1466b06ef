#include "app/DiagnosticText.h"

#include "app/Globals.h"

#include <QFile>

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

bool AppendNarrowed(const QString& path, const QString& text) {
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return false;
    const QByteArray bytes = NarrowToBytes(text);
    return file.write(bytes) == bytes.size();
}

QString WindowTitle(const QString& executableName, const QString& portName) {
    return kProductName + QStringLiteral(" [") + executableName + QStringLiteral("] ") + portName;
}
