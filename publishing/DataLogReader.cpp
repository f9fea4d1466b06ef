#include "publishing/DataLogReader.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsSeparator(char c) {
    return c == '\t' || c == ' ' || c == ',' || c == ';';
}

// Powers of ten that doubles hold exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

} // namespace

std::string_view NextLogToken(std::string_view& rest) {
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (IsSeparator(rest[i])) {
            const std::string_view token = rest.substr(0, i);
            rest = rest[i] == ';' ? std::string_view() : rest.substr(i + 1);
            return token;
        }
    }
    const std::string_view token = rest;
    rest = {};
    return token;
}

double ReadLogNumber(std::string_view token) {
    std::size_t i = 0;
    const std::size_t n = token.size();
    bool negative = false;
    if (i < n && (token[i] == '+' || token[i] == '-'))
        negative = token[i++] == '-';
    const std::size_t numberStart = i;
    // Mantissa digits, counted while they fit exactly in 64 bits.
    std::uint64_t mantissa = 0;
    int significant = 0;
    int exponent = 0;
    bool digits = false;
    bool exact = true;
    for (; i < n && IsDigit(token[i]); ++i) {
        digits = true;
        if (mantissa == 0 && token[i] == '0')
            continue;
        if (significant < 19) {
            mantissa = mantissa * 10 + static_cast<unsigned>(token[i] - '0');
            ++significant;
        } else {
            exact = false;
        }
    }
    if (i < n && token[i] == '.') {
        ++i;
        for (; i < n && IsDigit(token[i]); ++i) {
            digits = true;
            if (mantissa == 0 && token[i] == '0') {
                --exponent;
                continue;
            }
            if (significant < 19) {
                mantissa = mantissa * 10 + static_cast<unsigned>(token[i] - '0');
                ++significant;
                --exponent;
            } else {
                exact = false;
            }
        }
    }
    if (!digits)
        return 0.0;
    std::size_t end = i;
    if (i < n && (token[i] == 'e' || token[i] == 'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < n && (token[j] == '+' || token[j] == '-'))
            expNegative = token[j++] == '-';
        if (j < n && IsDigit(token[j])) {
            int e = 0;
            for (; j < n && IsDigit(token[j]); ++j)
                e = std::min(e * 10 + (token[j] - '0'), 100000);
            exponent += expNegative ? -e : e;
            end = j;
        }
    }
    double value = 0.0;
    // The exact fast path: a mantissa below 2^53 scaled by an exact power of ten is one correctly
    // rounded operation, so it gives the same double as a full conversion.
    if (exact && mantissa < (std::uint64_t{1} << 53) && exponent >= -22 && exponent <= 22) {
        value = static_cast<double>(mantissa);
        value = exponent < 0 ? value / kExactPowers[-exponent] : value * kExactPowers[exponent];
    } else if (mantissa == 0) {
        value = 0.0;
    } else {
        const auto result = std::from_chars(token.data() + numberStart, token.data() + end, value,
                                            std::chars_format::general);
        if (result.ec == std::errc::result_out_of_range) {
            // Too large reads as infinity, too small as 0, as strtod does.
            int decimalExponent = exponent + significant;
            value = decimalExponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        }
    }
    return negative ? -value : value;
}

std::uint64_t ReadLogTime(std::string_view token) {
    const double seconds = std::trunc(ReadLogNumber(token));
    constexpr double kLargest = 4611686018427387904.0; // 2^62
    constexpr double kWrap = 4294967296.0;             // 2^32
    if (seconds >= 0 && seconds <= kLargest)
        return static_cast<std::uint64_t>(seconds);
    if (seconds < 0 && seconds >= -kWrap / 2)
        return static_cast<std::uint64_t>(seconds + kWrap);
    return 0;
}

bool ParseGraphTag(std::string_view text, LogTag& tag) {
    const std::size_t open = text.find("<TAG");
    if (open == std::string_view::npos)
        return false;
    const std::size_t first = open + 4;
    if (first >= text.size())
        return false;
    const std::size_t close = text.find('>', first);
    if (close == std::string_view::npos)
        return false;
    const std::size_t end = text.find("</TAG>", close + 1);
    if (end == std::string_view::npos || end == close + 1)
        return false;
    const bool oneDigit = close == first + 1 && IsDigit(text[first]);
    tag.flag = oneDigit ? (text[first] - '0') % 2 : 0;
    tag.text = QString::fromLatin1(text.data() + close + 1, static_cast<qsizetype>(end - close - 1));
    return true;
}

bool ParseLogLine(std::string_view line, LogLine& out) {
    std::string_view rest = line;
    const std::string_view timeToken = NextLogToken(rest);
    if (timeToken.empty())
        return false;
    out.time = ReadLogTime(timeToken);
    // Tags are searched in the whole text after the time, the stamp after ";" included.
    const std::string_view afterTime = line.substr(std::min(line.size(), timeToken.size() + 1));
    out.hasTag = afterTime.find("<TAG") != std::string_view::npos && ParseGraphTag(afterTime, out.tag);
    out.present = 0;
    for (int channel = 0; channel < kLogChannels; ++channel) {
        if (rest.empty()) {
            out.value[channel] = 0.0;
            continue;
        }
        const std::string_view token = NextLogToken(rest);
        if (token.empty()) {
            out.value[channel] = 0.0;
            continue;
        }
        out.value[channel] = ReadLogNumber(token);
        out.present |= static_cast<std::uint8_t>(1u << channel);
    }
    return true;
}

std::size_t CompleteLogLinesEnd(std::string_view data) {
    return WalkLogLines(data, 0, [](std::string_view) {}).end;
}

char* LogLineBuffer::Extend(std::size_t length) {
    const std::size_t kept = m_bytes.size();
    m_bytes.resize(kept + length);
    return m_bytes.data() + kept;
}

void LogLineBuffer::Drop(std::size_t count) {
    // Nothing moves while no line ends: kept bytes move once, when the lines before them go.
    if (count > 0)
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(count));
}
