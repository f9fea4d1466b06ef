#pragma once
// The data log's line format as the program writes it, and the size limit's trim point. Pure
// functions: nothing here touches the disk.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

constexpr int kLogChannels = 8;

// A UTC time of whole seconds since 1970 formatted with strftime.
QString FormatUtcTime(std::int64_t utcSeconds, const char* format);

// One record: the UTC time in whole seconds ("%lld", the full 64-bit count), TAB, then each of
// the eight values followed by TAB, then CR LF; a stamped record has TAB, ";" and the same
// instant as "%d/%m/%y %H:%M:%S" before its CR LF. Every character is narrowed to its low byte.
// The line is returned whole, however long the values make it.
QByteArray FormatLogLine(std::int64_t utcSeconds, const std::array<QString, kLogChannels>& values,
                         bool stamped);

// Whether a log of `length` bytes is over the limit of `maxSizeKb` kB (0 = none) by more than the
// 512 bytes of slack the limit allows.
bool LogNeedsTrim(std::int64_t length, int maxSizeKb);

// Where the kept tail of an over-long log begins: one past the last LF at or before index
// length - limit + 60, searching down to index 1. Empty when the log is not over the limit or no
// LF stands in that range (the log is then left as it is).
std::optional<std::int64_t> LogTrimOffset(QByteArrayView content, int maxSizeKb);
