#pragma once
// Reading the data log: lines, tokens, numbers and tags, on the file's bytes (one character per
// byte). Pure functions.
//
// A line ends at a CR; the byte after the CR (the writer's LF) is skipped without being looked
// at, and text after the last CR and its follower is not yet a line. A line splits into tokens at
// TAB, space, comma or ";"; a ";" ends the data of the line. Token 1 is the time, tokens 2 to 9
// the values of channels 1 to 8; an empty token is an absent value.
#include "publishing/DataLogFormat.h"

#include <QString>
#include <cstdint>
#include <string_view>
#include <vector>

// The next token of `rest`, which then holds what follows the separator (nothing after a ";" or
// when no separator is left).
std::string_view NextLogToken(std::string_view& rest);

// The decimal number at the start of the token: optional sign, digits with an optional point and
// an optional exponent, read in the C locale. A token that does not begin with a number reads as
// 0; one too large for a double reads as plus or minus infinity.
double ReadLogNumber(std::string_view token);

// The time token as whole seconds, truncated toward zero. A negative time in 32-bit range is the
// low half of a time written by a 32-bit writer after 2038 and is taken modulo 2^32; anything
// else outside 0 to 2^62 reads as 0.
std::uint64_t ReadLogTime(std::string_view token);

struct LogTag {
    int flag = 0; // 0 or 1: the band (first or second) the tag is written on
    QString text;
};

// The first "<TAGx>text</TAG>" in the text: flag = parity of x when x is one decimal digit, else 0.
// False when there is no complete tag with at least one character of text.
bool ParseGraphTag(std::string_view text, LogTag& tag);

struct LogLine {
    std::uint64_t time = 0;
    std::array<double, kLogChannels> value{};
    std::uint8_t present = 0; // bit n - 1 set: channel n has a value
    bool hasTag = false;
    LogTag tag;
};

// Parses one line (without its CR). False when token 1 is empty: the line is not a record.
bool ParseLogLine(std::string_view line, LogLine& out);

// The offset just past the last complete line of `data` (its CR and the byte after it).
std::size_t CompleteLogLinesEnd(std::string_view data);

// Where a walk over the lines of some bytes stopped.
struct LogLineWalk {
    std::size_t end = 0;      // just past the last complete line (its CR and the byte after it)
    std::size_t searched = 0; // no CR lies from `end` up to here: the next search starts here
};

// Calls f(line) for each complete line of `data`, in order, with the line's text without its CR.
// The first line's end is searched for from `searchFrom`: the caller knows no CR comes before it.
template <typename F> LogLineWalk WalkLogLines(std::string_view data, std::size_t searchFrom, F&& f) {
    std::size_t start = 0;
    std::size_t from = searchFrom;
    for (;;) {
        const std::size_t cr = data.find('\r', from);
        if (cr == std::string_view::npos)
            return {start, data.size()};
        if (cr + 1 >= data.size())
            return {start, cr}; // the byte after the CR is still to come
        f(data.substr(start, cr - start));
        start = from = cr + 2;
    }
}

template <typename F> void ForEachLogLine(std::string_view data, F&& f) {
    WalkLogLines(data, 0, f);
}

// Complete lines of a log read piece by piece. What follows the last complete line is kept for
// the next piece, and the part of it already searched for a line end is not searched again: a
// long stretch without line ends (the NUL blocks a power cut leaves) costs its length once, not
// once per piece.
class LogLineBuffer {
public:
    // Room for `length` more bytes after those kept; the caller fills all of it.
    char* Extend(std::size_t length);
    // The kept bytes and the pieces added since.
    std::string_view Bytes() const { return {m_bytes.data(), m_bytes.size()}; }
    // Calls f(line) for each complete line held, in order, without its CR, and keeps the rest.
    // Returns the bytes of the lines taken.
    template <typename F> std::size_t TakeLines(F&& f) {
        const LogLineWalk walk = WalkLogLines(Bytes(), m_searchFrom, f);
        m_searched += walk.searched - m_searchFrom;
        Drop(walk.end);
        m_searchFrom = walk.searched - walk.end;
        return walk.end;
    }
    // Bytes searched for line ends since the buffer was made.
    std::size_t BytesSearched() const { return m_searched; }

private:
    void Drop(std::size_t count);

    std::vector<char> m_bytes;
    std::size_t m_searchFrom = 0; // no CR lies among the kept bytes before this
    std::size_t m_searched = 0;
};
