#include "app/Globals.h"
#include "support/SystemTimes.h"
#include "timeservice/GpsRollover.h"
#include "timeservice/NtpTime.h"
#include "timeservice/TimeCode.h"

#include <clocale>
#include <gtest/gtest.h>
#include <vector>

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
        {RECEIVER_UCCM, "2027-03-03 12:34:56", -150, 18, Utc(2027, 3, 3, 12, 34, 37, 850), ""},
        {RECEIVER_UCCM, "2028/01/01T00:00:05", -150, 18, Utc(2027, 12, 31, 23, 59, 46, 850), ""},
        {RECEIVER_UCCM, "2027-03-03 12:34:", 0, 0, {}, "UCCM time data truncated"},
        {RECEIVER_DATUM, "UTC: 27 03 03 12 34 56 789", 90, 0, Utc(2027, 3, 3, 12, 34, 56, 879), ""},
        {RECEIVER_DATUM, "UTC: 27 03 03 12 34 5", 0, 0, Utc(2027, 3, 3, 12, 34, 5), ""},
        {RECEIVER_DATUM, "UTC: 27 03 03 12 34 ", 0, 0, {}, "Datum time code string truncated"},
        {RECEIVER_JACKSON, "DATE:2027,03,03 TIME:12:34:56", 90, 0, Utc(2027, 3, 3, 12, 34, 56, 90), ""},
        {RECEIVER_JACKSON, "DATE:2027,03,03", 0, 0, Utc(2027, 3, 3, 0, 0, 0), ""},
        {RECEIVER_JACKSON, "DATE:2027,3", 0, 0, {}, "Jackson time code string truncated"},
        {RECEIVER_HP, "+1,+30T220270303140000", 90, 0, Utc(2027, 3, 3, 12, 30, 0, 90), ""},
        {RECEIVER_HP, "-5,+00;T220270303140000", 0, 0, Utc(2027, 3, 3, 19, 0, 0), ""},
        {RECEIVER_HP, "+1,3T220270303140000", 0, 0, Utc(2027, 3, 3, 14, 0, 0), ""}, // no zone
        {RECEIVER_HP, "+1,+30T22027030314000", 0, 0, {}, "F2 Time code data truncated"},
        {RECEIVER_HP, "T1#H5924A152", 90, 0, Utc(2027, 5, 28, 20, 53, 38, 90), ""},
        {RECEIVER_HP, "T1#H6794D240", 0, 0, Utc(2035, 1, 30, 12, 0, 0), ""},
        {RECEIVER_HP, "T1#H6794D241", 0, 0, {}, "F1 Time code string malformed"},
        {RECEIVER_HP, "T1#H12D53D8", 0, 0, {}, "F1 Time code string truncated"},
        {RECEIVER_PROTEUS, "T1#H1495572818\r\n", 0, 0, Utc(2027, 5, 28, 20, 53, 38), ""},
        {RECEIVER_PROTEUS, "T1#H-315964800", 0, 0, {}, "F1 Time code string malformed"},
        {RECEIVER_UCCM, "2027-13-03 12:34:56", 0, 0, {}, "Failed to set system time from UCCM"},
        {RECEIVER_UCCM, "2027-02-29 12:34:56", 0, 0, {}, "Failed to set system time from UCCM"},
        {RECEIVER_DATUM, "UTC: 27 04 31 12 34 56", 0, 0, {}, "Failed to set system time from Datum"},
        {RECEIVER_HP, "T220270003140000", 0, 0, {}, "Failed to set system time from F2"},
        {RECEIVER_JACKSON,
         "DATE:2027,-3,03 TIME:12:34:56",
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
    EXPECT_EQ(FormatShownTime(Utc(2027, 3, 3, 12, 34, 37, 850)), QStringLiteral("03/03/2027 12:34:37"));
    // Codes that are not of the family are ignored without a message.
    for (const auto& [family, code] :
         {std::pair<int, const char*>{RECEIVER_DATUM, "LTM: 22 03 03 12 34 56 789"},
          {RECEIVER_JACKSON, "TIME:2022,03,03 12:34:56"},
          {RECEIVER_HP, "+1,+30X220220303140000"},
          {7, "2022-03-03 12:34:56"}})
        EXPECT_EQ(ParseTimeCode(family, QString::fromLatin1(code), {}).outcome, TimeCodeOutcome::Ignored);
}

namespace {

// A time code of each form for a UTC time (the UCCM's on the GPS scale, `leap` seconds ahead).
struct FormCode {
    int family;
    QString code;
};
std::vector<FormCode> CodesOfEveryForm(const SystemTime& t, int leap) {
    const SystemTime gps = UnixMsToSystemTime(SystemTimeToUnixMs(t) + leap * 1000);
    const std::int64_t gpsSeconds = SystemTimeToUnixMs(t) / 1000 - 315'964'800;
    return {
        {RECEIVER_JACKSON, QString::asprintf("DATE:%04u,%02u,%02u\r\nTIME:%02u:%02u:%02u\r\nLEAP:18", t.wYear,
                                             t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond)},
        {RECEIVER_DATUM, QString::asprintf("UTC: %02u/%02u/%02u %02u:%02u:%02u.%03u", t.wYear % 100, t.wMonth,
                                           t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds)},
        {RECEIVER_UCCM, QString::asprintf("%04u-%02u-%02u %02u:%02u:%02u", gps.wYear, gps.wMonth, gps.wDay,
                                          gps.wHour, gps.wMinute, gps.wSecond)},
        {RECEIVER_HP, QString::asprintf("T1#H%08llX0", static_cast<long long>(gpsSeconds))},
        {RECEIVER_PROTEUS, QString::asprintf("T1#H%lld\r\n", static_cast<long long>(gpsSeconds))},
        {RECEIVER_HP, QString::asprintf("+0,+00T2%04u%02u%02u%02u%02u%02u00", t.wYear, t.wMonth, t.wDay,
                                        t.wHour, t.wMinute, t.wSecond)},
    };
}

} // namespace

// Receivers that count the GPS week in ten bits report dates 1024 or 2048 weeks back: each form
// is moved forward by whole periods of 1024 weeks to the release date or later, before the
// corrections; a date at the release date is taken as it is.
TEST(TimeCode, WeekRolloverOfEveryForm) {
    constexpr std::int64_t kWeekMs = 7 * 86'400'000LL;
    // Late enough that 2048 weeks back is still in this century, which the Datum's two-digit
    // year needs, and early enough for the window of F1 seconds once 1024 weeks are added.
    const std::int64_t trueMs = SystemTimeToUnixMs(Utc(2040, 2, 29, 12, 34, 56));
    for (const std::int64_t weeksBack : {1024, 2048}) {
        for (const FormCode& c : CodesOfEveryForm(UnixMsToSystemTime(trueMs - weeksBack * kWeekMs), 18)) {
            const TimeCodeResult result = ParseTimeCode(c.family, c.code, {90, 18});
            ASSERT_EQ(result.outcome, TimeCodeOutcome::Ok) << qPrintable(c.code);
            EXPECT_EQ(result.time, UnixMsToSystemTime(trueMs + 90)) << qPrintable(c.code);
            EXPECT_EQ(result.rolloverWeeks, weeksBack) << qPrintable(c.code);
            EXPECT_EQ(RolloverMessage(result),
                      QStringLiteral("GPS week rollover: the receiver's date %1 is before the release date "
                                     "06/12/2026; %2 weeks added")
                          .arg(FormatShownTime(result.received).left(10))
                          .arg(weeksBack));
        }
    }
    // At the release date the code is taken as it is, even where the corrections then take the
    // time back into the day before; a second earlier is a rollover.
    const std::int64_t releaseMs = ReleaseDateUnixMs();
    for (const FormCode& c : CodesOfEveryForm(UnixMsToSystemTime(releaseMs), 0)) {
        const TimeCodeResult result = ParseTimeCode(c.family, c.code, {-150, 0});
        EXPECT_EQ(result.time, UnixMsToSystemTime(releaseMs - 150)) << qPrintable(c.code);
        EXPECT_EQ(result.rolloverWeeks, 0) << qPrintable(c.code);
        EXPECT_TRUE(RolloverMessage(result).isEmpty());
    }
    for (const FormCode& c : CodesOfEveryForm(UnixMsToSystemTime(releaseMs - 1000), 0)) {
        const TimeCodeResult result = ParseTimeCode(c.family, c.code, {0, 0});
        EXPECT_EQ(result.time, UnixMsToSystemTime(releaseMs - 1000 + 1024 * kWeekMs)) << qPrintable(c.code);
    }
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
