#pragma once
// Number texts in receiver answers: the character-class test that a field is a number, and
// locale-free readers that stay inside the text they are given.
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

// White space as the C locale classifies it: space, tab, line feed, vertical tab, form feed, CR.
bool IsAsciiSpace(QChar c);

// Trims white space from both ends of the text (in place). The text is a number when it is then
// not empty, its first character is one of "+-0123456789", every further one of
// "+-Ee0123456789.", and the whole text reads as one finite decimal number in the C locale (so
// "+", "-", "1-2" and "1..5" are not numbers); otherwise it is emptied and the result is false.
bool ValidateNumber(QString& text);

// Reads the decimal floating-point number at the start of the text, after leading white space,
// as far as the text can continue it: an optional sign, digits with an optional point and an
// optional exponent. Gives 0 when there is no number or its value is out of range. Only the
// decimal form is read (no "inf", "nan" or hexadecimal), so the result is always finite.
double ReadNumber(QStringView text);

// A field that must be an unsigned decimal number: trimmed and passed through ValidateNumber, then
// its leading digits are read (after an optional sign; a negative value or one too large for 32
// bits gives the largest value). Empty when the field is not a number.
std::optional<std::uint32_t> ReadCheckedUnsigned(QStringView field);

// The value limited to what a field of the given width can hold, so that an out-of-range number
// stays out of range instead of wrapping into a small one.
std::uint8_t Saturate8(std::uint32_t value);
std::uint16_t Saturate16(std::uint32_t value);
