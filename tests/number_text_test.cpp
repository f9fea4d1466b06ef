#include "receiver/NumberText.h"

#include <gtest/gtest.h>

TEST(ValidateNumber, AcceptsCharacterClassesOnlyAndTrims) {
    const struct {
        const char* input;
        bool ok;
        const char* after;
    } cases[] = {
        {"  -12.5E+3 \r\n", true, "-12.5E+3"},
        {"1-2", true, "1-2"},
        {"+", true, "+"},
        {"1..5", true, "1..5"},
        {".5", false, ""},
        {"E3", false, ""},
        {" ", false, ""},
        {"12 volts", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        QString text = QString::fromLatin1(c.input);
        EXPECT_EQ(ValidateNumber(text), c.ok) << c.input;
        EXPECT_EQ(text, QString::fromLatin1(c.after)) << c.input;
    }
}

TEST(ReadNumber, ReadsTheLeadingDecimalNumberOnly) {
    EXPECT_DOUBLE_EQ(ReadNumber(u"  37.5xyz"), 37.5);
    EXPECT_DOUBLE_EQ(ReadNumber(u"+1.5e2"), 150.0);
    EXPECT_DOUBLE_EQ(ReadNumber(u"-2e"), -2.0); // an exponent without digits is not part of it
    EXPECT_DOUBLE_EQ(ReadNumber(u"12:34"), 12.0);
    EXPECT_DOUBLE_EQ(ReadNumber(u""), 0.0);
    EXPECT_DOUBLE_EQ(ReadNumber(u"-"), 0.0);
    // Forms a C library would also accept must not bring in infinities or hexadecimal values.
    EXPECT_DOUBLE_EQ(ReadNumber(u"inf"), 0.0);
    EXPECT_DOUBLE_EQ(ReadNumber(u"nan"), 0.0);
    EXPECT_DOUBLE_EQ(ReadNumber(u"0x1p4"), 0.0);
    EXPECT_DOUBLE_EQ(ReadNumber(u"1e999"), 0.0);
}

TEST(ReadCheckedUnsigned, SaturatesInsteadOfWrapping) {
    EXPECT_EQ(ReadCheckedUnsigned(u" 42 "), 42u);
    EXPECT_EQ(ReadCheckedUnsigned(u"12.7"), 12u);
    EXPECT_EQ(ReadCheckedUnsigned(u"abc"), std::nullopt);
    EXPECT_EQ(ReadCheckedUnsigned(u"99999999999"), 0xFFFFFFFFu);
    EXPECT_EQ(ReadCheckedUnsigned(u"-5"), 0xFFFFFFFFu);
    EXPECT_EQ(Saturate8(300), 255);
    EXPECT_EQ(Saturate16(65537), 65535);
}
