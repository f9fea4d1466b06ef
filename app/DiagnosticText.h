#pragma once
// The text of diagnostic lines and the narrow-byte file appender behind them.
#include "platform/TrimRule.h"

#include <QByteArray>
#include <QString>
#include <ctime>

namespace platform {
struct TrimSyncs;
}

// A broken-down time in a strftime format (at most 63 characters).
QString FormatTime(const char* format, const std::tm& time);

// "%H:%M:%S %d/%m/%y " + text + CR LF.
QString DebugLine(const std::tm& localTime, const QString& text);

// " %H:%M:%S %d/%m/%y UTC " + text, with CR LF appended unless the line's first CR LF is its end.
QString UserLine(const std::tm& utcTime, const QString& text);

// What goes before a line of the program's own so that it starts a line of its own after the text
// `before` (the user window's or its file's; only its end counts): nothing at the start or after a
// line end, LF after a lone CR, else CR LF. The receiver's prompts and partial replies end mid-line.
QString LineBreakBeforeOwnLine(QStringView before);

// Each UTF-16 unit narrowed to its low byte.
QByteArray NarrowToBytes(const QString& text);

// The user-window and debug files are kept under a size: when a text would take one past
// `maxBytes`, its oldest lines go first, leaving its newest whole lines within `keptBytes`.
struct DiagnosticFileLimits {
    qint64 maxBytes = 64 * 1024 * 1024;
    qint64 keptBytes = 32 * 1024 * 1024;
};

// The trim rule of a file of these limits before `appendedBytes` are appended to it.
platform::TrimRule DiagnosticTrimRule(const DiagnosticFileLimits& limits, qint64 appendedBytes);

// Where an appended text starts: right after what the file holds (traffic, replies), or on a line
// of its own (the program's own lines).
enum class TextStart { AsItComes, OnALineOfItsOwn };

// Appends the narrowed text to a file, creating it when missing and trimming it to its limits
// first, as platform::AppendCapped does. The text is appended whole or not at all; a trim that
// cannot be made at all leaves the file past its limit and the text is appended to it. Returns
// whether the text was written; when it was not, `reason` (if given) gets the system's reason.
// `trimFailure` (if given) says why a due trim could not be made, empty otherwise; `trimSyncs` (if
// given) whether a trim was made, and whether its syncs failed.
bool AppendNarrowed(const QString& path, const QString& text, const DiagnosticFileLimits& limits = {},
                    QString* reason = nullptr, QString* trimFailure = nullptr,
                    TextStart start = TextStart::AsItComes, platform::TrimSyncs* trimSyncs = nullptr);

// "Orvane [<executable>] <port>".
QString WindowTitle(const QString& executableName, const QString& portName);
