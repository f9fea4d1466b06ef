#include "app/Globals.h"
#include "support/SystemTimes.h"
#include "timeservice/NtpTime.h"
#include "timeservice/TimeCode.h"

#include <clocale>
#include <gtest/gtest.h>

namespace {

TimeCodeResult Parse(int family, const char* code, int fineMs = 0, int leap = 0) {
    return ParseTimeCode(family, QString::fromLatin1(code), {fineMs, leap});
}

void ExpectTime(const TimeCodeResult& result, const SystemTime& expected) {
    ASSERT_EQ(result.outcome, TimeCodeOutcome::Ok) << qPrintable(TimeCodeProblem(result));
    EXPECT_EQ(result.time, expected) << qPrintable(FormatShownTime(result.time)) << "."
                                     << result.time.wMilliseconds;
}

} // namespace

TEST(NtpTime, CalendarConversionMatchesTheClockAcrossCenturiesAndLeapDays) {
    EXPECT_EQ(SystemTimeToNtp(Utc(1900, 1, 1, 0, 0, 0)), 0u);
    EXPECT_EQ(SystemTimeToNtp(Utc(1970, 1, 1, 0, 0, 0)), MakeNtp(2'208'988'800u, 0));
    EXPECT_EQ(NtpFraction(SystemTimeToNtp(Utc(1970, 1, 1, 0, 0, 0, 500))), 2'147'483'648u);
    // Every day from 1970 to 2100 (2000 a leap year, 2100 not), at odd hours and milliseconds: the
    // calendar formula and the clock-reading conversion agree to the bit.
    for (std::int64_t day = 0; day < 47'500; day += 7) {
        const std::int64_t ms = day * 86'400'000 + (day % 24) * 3'600'000 + 59'000 + day % 1000;
        const SystemTime time = UnixMsToSystemTime(ms);
        ASSERT_EQ(SystemTimeToUnixMs(time), ms);
        const timespec reading{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000};
        ASSERT_EQ(SystemTimeToNtp(time), TimespecToNtp(reading)) << day;
    }
    EXPECT_EQ(UnixMsToSystemTime(SystemTimeToUnixMs(Utc(2000, 2, 29, 23, 59, 59, 999))),
              Utc(2000, 2, 29, 23, 59, 59, 999));
}

TEST(NtpTime, OnlyRealDatesAreValid) {
    EXPECT_TRUE(IsValidSystemTime(Utc(2024, 2, 29, 23, 59, 59, 999)));
    for (const SystemTime& bad :
         {Utc(2023, 2, 29, 0, 0, 0), Utc(2022, 4, 31, 0, 0, 0), Utc(2022, 0, 1, 0, 0, 0),
          Utc(2022, 13, 1, 0, 0, 0), Utc(2022, 1, 0, 0, 0, 0), Utc(2022, 1, 1, 24, 0, 0),
          Utc(2022, 1, 1, 0, 60, 0), Utc(2022, 1, 1, 0, 0, 60), Utc(2022, 1, 1, 0, 0, 0, 1000),
          Utc(1600, 12, 31, 0, 0, 0), Utc(0, 1, 1, 0, 0, 0)})
        EXPECT_FALSE(IsValidSystemTime(bad)) << qPrintable(FormatShownTime(bad));
}

TEST(TimeCode, UccmSubtractsLeapSecondsAndAddsTheFineCorrection) {
    ExpectTime(Parse(RECEIVER_UCCM, "2022-03-03 12:34:56", -150, 18), Utc(2022, 3, 3, 12, 34, 37, 850));
    EXPECT_EQ(FormatShownTime(Parse(RECEIVER_UCCM, "2022-03-03 12:34:56", -150, 18).time),
              QStringLiteral("03/03/2022 12:34:37"));
    // Corrections carry across the year's end; separators may be anything.
    ExpectTime(Parse(RECEIVER_UCCM, "2023/01/01T00:00:05", -150, 18), Utc(2022, 12, 31, 23, 59, 46, 850));
    EXPECT_EQ(Parse(RECEIVER_UCCM, "2022-03-03 12:34:").outcome, TimeCodeOutcome::Truncated);
    EXPECT_EQ(TimeCodeProblem(Parse(RECEIVER_UCCM, "2022-03-03")),
              QStringLiteral("UCCM time data truncated"));
}

TEST(TimeCode, DatumReadsFixedPlacesWithMilliseconds) {
    ExpectTime(Parse(RECEIVER_DATUM, "UTC: 22 03 03 12 34 56 789", 90), Utc(2022, 3, 3, 12, 34, 56, 879));
    // 21 characters is enough; the milliseconds past the end read as 0.
    ExpectTime(Parse(RECEIVER_DATUM, "UTC: 22 03 03 12 34 5"), Utc(2022, 3, 3, 12, 34, 5));
    EXPECT_EQ(TimeCodeProblem(Parse(RECEIVER_DATUM, "UTC: 22 03 03 12 34 ")),
              QStringLiteral("Datum time code string truncated"));
    EXPECT_EQ(Parse(RECEIVER_DATUM, "LTM: 22 03 03 12 34 56 789").outcome, TimeCodeOutcome::Ignored);
}

TEST(TimeCode, JacksonFollowsItsSeparators) {
    ExpectTime(Parse(RECEIVER_JACKSON, "DATE:2022,03,03 TIME:12:34:56", 90), Utc(2022, 3, 3, 12, 34, 56, 90));
    // A missing separator reads the rest of the fields as 0: hour, minute and second 0 are a real time.
    ExpectTime(Parse(RECEIVER_JACKSON, "DATE:2022,03,03"), Utc(2022, 3, 3, 0, 0, 0));
    EXPECT_EQ(TimeCodeProblem(Parse(RECEIVER_JACKSON, "DATE:2022,3")),
              QStringLiteral("Jackson time code string truncated"));
    EXPECT_EQ(Parse(RECEIVER_JACKSON, "TIME:2022,03,03 12:34:56").outcome, TimeCodeOutcome::Ignored);
}

TEST(TimeCode, F2TakesTheZoneAnswerBeforeIt) {
    ExpectTime(Parse(RECEIVER_HP, "+1,+30T220220303140000", 90), Utc(2022, 3, 3, 12, 30, 0, 90));
    ExpectTime(Parse(RECEIVER_HP, "-5,+00;T220220303140000"), Utc(2022, 3, 3, 19, 0, 0));
    // Without a prefix (or with one too short for a zone) the zone terms are 0.
    ExpectTime(Parse(RECEIVER_HP, "T220220303140000", 90), Utc(2022, 3, 3, 14, 0, 0, 90));
    ExpectTime(Parse(RECEIVER_HP, "+1,3T220220303140000"), Utc(2022, 3, 3, 14, 0, 0));
    EXPECT_EQ(TimeCodeProblem(Parse(RECEIVER_HP, "+1,+30T22022030314000")),
              QStringLiteral("F2 Time code data truncated"));
    EXPECT_EQ(Parse(RECEIVER_HP, "+1,+30X220220303140000").outcome, TimeCodeOutcome::Ignored);
}

TEST(TimeCode, F1ReadsGpsSecondsHexadecimalOrDecimalForProteus) {
    ExpectTime(Parse(RECEIVER_HP, "T1#H12D53D80", 90), Utc(1990, 1, 10, 0, 0, 0, 90));
    ExpectTime(Parse(RECEIVER_HP, "+0,+00T1#H12D53D80"), Utc(1990, 1, 10, 0, 0, 0));
    EXPECT_EQ(TimeCodeProblem(Parse(RECEIVER_HP, "T1#H12D53D7F")),
              QStringLiteral("F1 Time code string malformed"));
    EXPECT_EQ(TimeCodeProblem(Parse(RECEIVER_HP, "T1#H12D53D8")),
              QStringLiteral("F1 Time code string truncated"));
    ExpectTime(Parse(RECEIVER_PROTEUS, "T1#H1337806418\r\n"), Utc(2022, 5, 28, 20, 53, 38));
    EXPECT_EQ(Parse(RECEIVER_PROTEUS, "T1#H-315964800").outcome, TimeCodeOutcome::Malformed);
}

TEST(TimeCode, OutOfRangeFieldsAreRefusedWithTheFormsFailure) {
    for (const char* code : {"2022-13-03 12:34:56", "2022-04-31 12:34:56", "2022-03-03 24:00:00",
                             "2022-00-03 12:34:56", "2022-03-00 12:34:56", "2023-02-29 12:34:56"}) {
        const TimeCodeResult result = Parse(RECEIVER_UCCM, code, 90, 18);
        EXPECT_EQ(result.outcome, TimeCodeOutcome::Invalid) << code;
        EXPECT_EQ(TimeCodeProblem(result), QStringLiteral("Failed to set system time from UCCM"));
    }
    EXPECT_EQ(TimeCodeProblem(Parse(RECEIVER_DATUM, "UTC: 22 02 30 12 34 56")),
              QStringLiteral("Failed to set system time from Datum"));
    EXPECT_EQ(TimeCodeProblem(Parse(RECEIVER_HP, "T220221303140000")),
              QStringLiteral("Failed to set system time from F2"));
    EXPECT_EQ(TimeCodeProblem(Parse(RECEIVER_JACKSON, "DATE:2022,-3,03 TIME:12:34:56")),
              QStringLiteral("Failed to set system time from Jackson"));
    EXPECT_EQ(Parse(7, "2022-03-03 12:34:56").outcome, TimeCodeOutcome::Ignored);
}

TEST(TimeCode, GpsSecondsHaveAValidWindow) {
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("12D53D80"), false), 631'929'600);
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("12d53d80"), false), 631'929'600);
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("12D53D7F"), false), 0);
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("6794D240"), false), 2'053'771'200); // 2035-01-30 12:00:00
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("6794D241"), false), 0);
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("112D53D80"), false), 0);
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("FFFFFFFFFFFFFFFFFFFF"), false), 0);
    EXPECT_EQ(HexSecondsToDate(QStringLiteral(" 12D53D8"), false), 0); // no white space before hex digits
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("12D53D80:"), false), 631'929'600);
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("315964800"), true), 631'929'600);
    EXPECT_EQ(HexSecondsToDate(QStringLiteral("12D53D80"), true), 0);
}

TEST(TimeCode, DeHexRewritesValidStampsOnly) {
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(DeHexTimeStamps(QStringLiteral("log:H12D53D80:event"), false),
              QStringLiteral("log:10/01/90 00:00:00:event"));
    EXPECT_EQ(DeHexTimeStamps(QStringLiteral("H12D53D80 start"), false),
              QStringLiteral("<10/01/90 00:00:00> start"));
    EXPECT_EQ(DeHexTimeStamps(QStringLiteral("a HZZZZZZZZ b"), false), QStringLiteral("a HZZZZZZZZ b"));
    EXPECT_EQ(DeHexTimeStamps(QStringLiteral("HOLD H12D53D80\nH6794D240:"), false),
              QStringLiteral("HOLD <10/01/90 00:00:00>\n<30/01/35 12:00:00>:"));
    EXPECT_EQ(DeHexTimeStamps(QStringLiteral("end H12D53D"), false), QStringLiteral("end H12D53D"));
}
