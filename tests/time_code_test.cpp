#include "app/Globals.h"
#include "support/SystemTimes.h"
#include "timeservice/NtpTime.h"
#include "timeservice/TimeCode.h"

#include <clocale>
#include <gtest/gtest.h>

TEST(NtpTime, CalendarConversionMatchesTheClockAcrossCenturiesAndLeapDays) {
    EXPECT_EQ(SystemTimeToNtp(Utc(1900, 1, 1, 0, 0, 0)), 0u);
    EXPECT_EQ(SystemTimeToNtp(Utc(1970, 1, 1, 0, 0, 0, 500)), MakeNtp(2'208'988'800u, 2'147'483'648u));
    // Every week from 1970 to 2100 (2000 a leap year, 2100 not), at odd hours and milliseconds: the
    // calendar formula and the clock-reading conversion agree to the bit.
    for (std::int64_t day = 0; day < 47'500; day += 7) {
        const std::int64_t ms = day * 86'400'000 + (day % 24) * 3'600'000 + 59'000 + day % 1000;
        const SystemTime time = UnixMsToSystemTime(ms);
        ASSERT_EQ(SystemTimeToUnixMs(time), ms);
        const timespec reading{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000};
        ASSERT_EQ(SystemTimeToNtp(time), TimespecToNtp(reading)) << day;
    }
}

// Each form with its corrections, short codes, and fields out of range (which the clock must
// never be set from).
TEST(TimeCode, FormsCorrectionsAndFailures) {
    struct Case {
        int family;
        const char* code;
        int fineMs;
        int leap;
        SystemTime expected; // when `problem` is empty
        const char* problem;
    };
    const Case cases[] = {
        {RECEIVER_UCCM, "2022-03-03 12:34:56", -150, 18, Utc(2022, 3, 3, 12, 34, 37, 850), ""},
        {RECEIVER_UCCM, "2023/01/01T00:00:05", -150, 18, Utc(2022, 12, 31, 23, 59, 46, 850), ""},
        {RECEIVER_UCCM, "2022-03-03 12:34:", 0, 0, {}, "UCCM time data truncated"},
        {RECEIVER_DATUM, "UTC: 22 03 03 12 34 56 789", 90, 0, Utc(2022, 3, 3, 12, 34, 56, 879), ""},
        {RECEIVER_DATUM, "UTC: 22 03 03 12 34 5", 0, 0, Utc(2022, 3, 3, 12, 34, 5), ""},
        {RECEIVER_DATUM, "UTC: 22 03 03 12 34 ", 0, 0, {}, "Datum time code string truncated"},
        {RECEIVER_JACKSON, "DATE:2022,03,03 TIME:12:34:56", 90, 0, Utc(2022, 3, 3, 12, 34, 56, 90), ""},
        {RECEIVER_JACKSON, "DATE:2022,03,03", 0, 0, Utc(2022, 3, 3, 0, 0, 0), ""},
        {RECEIVER_JACKSON, "DATE:2022,3", 0, 0, {}, "Jackson time code string truncated"},
        {RECEIVER_HP, "+1,+30T220220303140000", 90, 0, Utc(2022, 3, 3, 12, 30, 0, 90), ""},
        {RECEIVER_HP, "-5,+00;T220220303140000", 0, 0, Utc(2022, 3, 3, 19, 0, 0), ""},
        {RECEIVER_HP, "+1,3T220220303140000", 0, 0, Utc(2022, 3, 3, 14, 0, 0), ""}, // no zone
        {RECEIVER_HP, "+1,+30T22022030314000", 0, 0, {}, "F2 Time code data truncated"},
        {RECEIVER_HP, "T1#H12D53D80", 90, 0, Utc(1990, 1, 10, 0, 0, 0, 90), ""},
        {RECEIVER_HP, "T1#H12D53D7F", 0, 0, {}, "F1 Time code string malformed"},
        {RECEIVER_HP, "T1#H12D53D8", 0, 0, {}, "F1 Time code string truncated"},
        {RECEIVER_PROTEUS, "T1#H1337806418\r\n", 0, 0, Utc(2022, 5, 28, 20, 53, 38), ""},
        {RECEIVER_PROTEUS, "T1#H-315964800", 0, 0, {}, "F1 Time code string malformed"},
        {RECEIVER_UCCM, "2022-13-03 12:34:56", 0, 0, {}, "Failed to set system time from UCCM"},
        {RECEIVER_UCCM, "2023-02-29 12:34:56", 0, 0, {}, "Failed to set system time from UCCM"},
        {RECEIVER_UCCM, "2022-03-03 24:00:00", 0, 0, {}, "Failed to set system time from UCCM"},
        {RECEIVER_DATUM, "UTC: 22 04 31 12 34 56", 0, 0, {}, "Failed to set system time from Datum"},
        {RECEIVER_HP, "T220220003140000", 0, 0, {}, "Failed to set system time from F2"},
        {RECEIVER_JACKSON,
         "DATE:2022,-3,03 TIME:12:34:56",
         0,
         0,
         {},
         "Failed to set system time from Jackson"},
    };
    for (const Case& c : cases) {
        const TimeCodeResult result =
            ParseTimeCode(c.family, QString::fromLatin1(c.code), {c.fineMs, c.leap});
        EXPECT_EQ(TimeCodeProblem(result), QString::fromLatin1(c.problem)) << c.code;
        if (*c.problem == 0) {
            EXPECT_EQ(result.time, c.expected)
                << c.code << " gave " << qPrintable(FormatShownTime(result.time));
        }
    }
    EXPECT_EQ(FormatShownTime(Utc(2022, 3, 3, 12, 34, 37, 850)), QStringLiteral("03/03/2022 12:34:37"));
    // Codes that are not of the family are ignored without a message.
    for (const auto& [family, code] :
         {std::pair<int, const char*>{RECEIVER_DATUM, "LTM: 22 03 03 12 34 56 789"},
          {RECEIVER_JACKSON, "TIME:2022,03,03 12:34:56"},
          {RECEIVER_HP, "+1,+30X220220303140000"},
          {7, "2022-03-03 12:34:56"}})
        EXPECT_EQ(ParseTimeCode(family, QString::fromLatin1(code), {}).outcome, TimeCodeOutcome::Ignored);
}

TEST(TimeCode, GpsSecondsHaveAValidWindow) {
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("12d53d80:"), false), 631'929'600);  // 1990-01-10
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("6794D240"), false), 2'053'771'200); // 2035-01-30 12:00
    for (const char* invalid : {"12D53D7F", "6794D241", "112D53D80", "FFFFFFFFFFFFFFFFFFFF", " 12D53D8"})
        EXPECT_EQ(HexSecondsToDate(QString::fromLatin1(invalid), false), 0) << invalid;
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("315964800"), true), 631'929'600);
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("12D53D80"), true), 0);
}

TEST(TimeCode, DeHexRewritesValidStampsOnly) {
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(DeHexTimeStamps(QStringLiteral("log:H12D53D80:event"), false),
              QStringLiteral("log:10/01/90 00:00:00:event"));
    EXPECT_EQ(DeHexTimeStamps(QStringLiteral("HOLD H12D53D80\nH6794D240:"), false),
              QStringLiteral("HOLD <10/01/90 00:00:00>\n<30/01/35 12:00:00>:"));
    for (const char* unchanged : {"a HZZZZZZZZ b", "end H12D53D"})
        EXPECT_EQ(DeHexTimeStamps(QString::fromLatin1(unchanged), false), QString::fromLatin1(unchanged));
}
