#pragma once
// The text of diagnostic lines and the narrow-byte file appender behind them.
#include <QByteArray>
#include <QString>
#include <ctime>

// A broken-down time in a strftime format (at most 63 characters).
QString FormatTime(const char* format, const std::tm& time);

// "%H:%M:%S %d/%m/%y " + text + CR LF.
QString DebugLine(const std::tm& localTime, const QString& text);

// " %H:%M:%S %d/%m/%y UTC " + text, with CR LF appended unless the line's first CR LF is its end.
QString UserLine(const std::tm& utcTime, const QString& text);

// Each UTF-16 unit narrowed to its low byte.
QByteArray NarrowToBytes(const QString& text);

// Appends the narrowed text to a file, creating it when missing; a file that cannot be opened
// loses the text silently. Returns whether the text was written.
bool AppendNarrowed(const QString& path, const QString& text);

// "Orvane [<executable>] <port>".
QString WindowTitle(const QString& executableName, const QString& portName);
