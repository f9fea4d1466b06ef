// Random receiver replies through the time-code parser and the time-stamp translation: nothing
// reads out of bounds, and every accepted time is a real date.
#include "timeservice/NtpTime.h"
#include "timeservice/TimeCode.h"

#include <gtest/gtest.h>
#include <random>

TEST(FuzzTimeCodes, RandomRepliesParseSafely) {
    std::mt19937 random(20240229);
    const QString alphabet = QStringLiteral("0123456789ABCDEFHT#:,;+- \r\nDATEUTC\xFF");
    for (int i = 0; i < 20000; ++i) {
        QString text;
        const int length = static_cast<int>(random() % 40);
        // Often begin like a real code, so the field readers are reached.
        static const char* const starts[] = {"", "DATE:", "UTC: ", "T1#H", "T2", "+1,+30T2", "2022-03-03 "};
        text += QString::fromLatin1(starts[random() % 7]);
        for (int k = 0; k < length; ++k)
            text += alphabet[static_cast<qsizetype>(random() % alphabet.size())];
        const int family = static_cast<int>(random() % 6);
        const TimeCodeResult result =
            ParseTimeCode(family, text, {static_cast<int>(random() % 2001) - 1000, 18});
        if (result.outcome == TimeCodeOutcome::Ok) {
            ASSERT_TRUE(IsValidSystemTime(result.time)) << qPrintable(text);
        }
        DeHexTimeStamps(text, family == 2);
    }
}
