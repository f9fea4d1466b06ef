#pragma once
// Readable GoogleTest output for Qt strings: quoted, with CR, LF and tab shown as escapes.
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    QString shown = text;
    shown.replace(u'\r', QStringLiteral("\\r"))
        .replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\t', QStringLiteral("\\t"));
    *os << '"' << shown.toStdString() << '"';
}
