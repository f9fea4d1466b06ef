#pragma once
// The data log's line format as the program writes it, and its size limit's trim rule. Pure
// functions: nothing here touches the disk.
#include "platform/TrimRule.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

constexpr int kLogChannels = 8;

// A UTC time of whole seconds since 1970 formatted with strftime.
QString FormatUtcTime(std::int64_t utcSeconds, const char* format);

// One record: the UTC time in whole seconds ("%lld", the full 64-bit count), TAB, then each of
// the eight values followed by TAB, then CR LF; a stamped record has TAB, ";" and the same
// instant as "%d/%m/%y %H:%M:%S" before its CR LF. Every character is narrowed to its low byte.
// The line is returned whole, however long the values make it.
QByteArray FormatLogLine(std::int64_t utcSeconds, const std::array<QString, kLogChannels>& values,
                         bool stamped);

// The log's size limit of `maxSizeKb` kB (0 = none), K bytes: a log more than 512 bytes past K is
// cut back to its newest whole lines, at least K - 61 bytes of them (the line end searched for
// from index length - K + 60 down to index 1; none found, the log stays as it is). Past a limit
// of 1 MB it keeps at most K - K/64 bytes of them, so it is not rewritten every few lines (lines
// ended by a lone CR count as lines; where no line ends in those bytes, they are kept as they are).
platform::TrimRule LogTrimRule(int maxSizeKb);
