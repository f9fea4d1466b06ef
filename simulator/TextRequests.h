#pragma once
// Helpers shared by the text families: request lines, echoes, and SCPI-style command headers.
#include <QByteArray>
#include <optional>
#include <vector>

namespace sim {

// The longest request line a text receiver keeps; longer input is cut into lines of this size.
inline constexpr int kMaxRequestLine = 256;

// Takes one line ending in CR, CR LF or LF off the front of `pending`, terminator included. A bare
// LF (the tail of a CR LF split across two reads) is dropped, not returned as an empty line.
std::optional<QByteArray> TakeRequestLine(QByteArray& pending, int maxLength = kMaxRequestLine);

// The line without its CR and LF.
QByteArray WithoutTerminator(const QByteArray& line);

// What a receiver that echoes sends back for a request line: the line as received, ending in
// CR LF.
QByteArray EchoOf(const QByteArray& request);

// One command of a request: its header upper-cased without the leading ':' (a query keeps its
// '?'), and the argument text after the first blank, trimmed.
struct ScpiCommand {
    QByteArray header;
    QByteArray argument;
    bool isQuery() const { return header.endsWith('?'); }
};

// Splits a request line into its ';'-separated commands; empty commands are left out.
std::vector<ScpiCommand> SplitCommands(const QByteArray& line);

// Does `header` name the command written as `pattern`? The pattern's nodes are separated by ':';
// within a node the upper-case part is the short form and the whole node the long form, and an
// input node matches when it is at least the short form and at most the long form
// ("SYSTem:STATus?" matches "SYST:STAT?", "SYSTEM:STATUS?" and "SYSTE:STATU?"). A node may list
// alternatives separated by '|'.
bool HeaderMatches(const QByteArray& header, const char* pattern);

} // namespace sim
