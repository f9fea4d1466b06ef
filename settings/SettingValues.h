#pragma once
// Conversions between the view's setting types and the values a settings store holds. The native
// store gives numbers back as integers (registry) or as text (configuration files); each reader
// accepts both and returns nothing for a value it cannot take, so that the caller keeps its
// default. Nothing here depends on the process locale.
#include <QString>
#include <QStringView>
#include <QVariant>
#include <cstdint>
#include <optional>

// A whole decimal number, stored as an integer or as text ("-12", "+7"; surrounding blanks allowed).
std::optional<std::int64_t> StoredInteger(const QVariant& stored);

// A 32-bit integer setting. Old versions store values above 2^31 - 1 as negative numbers, so both
// -2^31 .. -1 and 2^31 .. 2^32 - 1 are taken, as the same 32-bit pattern.
std::optional<std::int32_t> StoredInt32(const QVariant& stored);

// A double setting, stored as text: the leading number of the text in the C notation; text without
// a leading number gives 0.0. Infinities, NaN and numbers out of the double range give nothing.
std::optional<double> StoredDouble(const QVariant& stored);

// The leading number of a text, as above.
std::optional<double> LeadingDouble(QStringView text);

// A string setting; values of another kind give nothing.
std::optional<QString> StoredString(const QVariant& stored);

// A double as stored: the shortest text that reads back as the same value ("0.025", "1023",
// "1e-07"), which older versions also read.
QString DoubleSettingText(double value);
