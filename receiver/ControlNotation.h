#pragma once
// The control-character notation of commands, prompts and traffic traces: control characters are
// written as upper-case names in angle brackets ("<CR>", "<SPC>", "<LF>", ...), and end-of-reply
// patterns are ';'-separated lists in that notation.
#include <QString>

// Replaces every control-character name (case-sensitive, e.g. "<CR>") by the character it stands
// for. Everything else, including unknown or lower-case names, stays as it is.
QString ControlNamesToChars(const QString& text);

// Replaces every control character 0x01 to 0x1F and the space by its name. NUL, DEL and every
// character above 0x7F stay as they are.
QString ControlCharsToNames(const QString& text);

// The result of MatchReplyEnd when no pattern matches the end of the reply.
constexpr int kNoReplyEnd = -1;

// Decides whether the reply ends with one of the patterns of a ';'-separated pattern list (each in
// the notation above). Patterns are tried in list order and compared with the tail of the reply:
// "?" matches any character, "#" a decimal digit, letters match without regard to case. Returns the
// decoded length of the first pattern that matches (at least 1), or kNoReplyEnd.
// A ';' at the very start of a pattern belongs to that pattern, so ";X" is one two-character
// pattern and a list can never hold an empty pattern.
int MatchReplyEnd(const QString& reply, const QString& patternList);
