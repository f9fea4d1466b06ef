#include "timeservice/TimeCode.h"

#include "app/Globals.h"
#include "timeservice/GpsRollover.h"

#include <array>
#include <limits>

namespace {

constexpr std::uint64_t kGpsEpochUnixSeconds = 315'964'800; // 1980-01-06 00:00:00 UTC
constexpr std::uint64_t kFirstValidGpsSeconds = 315'964'800;
constexpr std::uint64_t kLastValidGpsSeconds = 1'737'806'400;

bool IsSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

int DigitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    int value = base; // not a digit
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'z')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'Z')
        value = u - u'A' + 10;
    return value < base ? value : -1;
}

// Reads an unsigned number as the C library does: leading white space, an optional sign (a minus
// negates modulo 2^64), then digits; saturates on overflow; 0 when no digit follows.
std::uint64_t ReadUnsigned64(QStringView text, int base, bool allowSign = true) {
    qsizetype i = 0;
    if (allowSign)
        while (i < text.size() && IsSpace(text[i]))
            ++i;
    bool negative = false;
    if (allowSign && i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0)
            break;
        if (value > (std::numeric_limits<std::uint64_t>::max() - static_cast<unsigned>(digit)) / base)
            overflow = true;
        value = value * base + static_cast<unsigned>(digit);
    }
    if (overflow)
        return std::numeric_limits<std::uint64_t>::max();
    return negative ? 0 - value : value;
}

// A numeric field: `length` characters from `from` (fewer at the end, none past it) read as an
// unsigned 32-bit decimal number; an empty or non-numeric field is 0.
std::uint32_t Field(const QString& text, qsizetype from, qsizetype length) {
    if (from >= text.size())
        return 0;
    const std::uint64_t value = ReadUnsigned64(QStringView(text).mid(from, length), 10);
    return value > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                             : static_cast<std::uint32_t>(value);
}

// A signed decimal number up to its first foreign character (0 when there is none).
long ReadSigned(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    long value = 0;
    for (; i < text.size() && DigitValue(text[i], 10) >= 0; ++i)
        value = std::min<long>(value * 10 + DigitValue(text[i], 10), 1'000'000'000L);
    return negative ? -value : value;
}

SystemTime JacksonFields(const QString& code) {
    // Each separator is searched from just after the previous one; a missing one is the end.
    qsizetype separator = 0;
    auto next = [&](QChar which, qsizetype from) {
        separator = code.indexOf(which, from);
        if (separator < 0)
            separator = code.size();
        return separator + 1;
    };
    SystemTime time;
    time.wYear = Field(code, next(u':', 1), 4);
    time.wMonth = Field(code, next(u',', separator + 1), 2);
    time.wDay = Field(code, next(u',', separator + 1), 2);
    time.wHour = Field(code, next(u':', separator + 1), 2);
    time.wMinute = Field(code, next(u':', separator + 1), 2);
    time.wSecond = Field(code, next(u':', separator + 1), 2);
    return time;
}

SystemTime FixedFields(const QString& code, std::array<int, 6> at, int yearLength) {
    SystemTime time;
    time.wYear = Field(code, at[0], yearLength);
    time.wMonth = Field(code, at[1], 2);
    time.wDay = Field(code, at[2], 2);
    time.wHour = Field(code, at[3], 2);
    time.wMinute = Field(code, at[4], 2);
    time.wSecond = Field(code, at[5], 2);
    return time;
}

TimeCodeResult Failure(TimeCodeForm form, TimeCodeOutcome outcome) {
    TimeCodeResult result;
    result.form = form;
    result.outcome = outcome;
    return result;
}

// Moves a rolled-over receiver date forward, then applies the corrections.
TimeCodeResult Finish(TimeCodeForm form, const SystemTime& parsed, std::int64_t shiftMs) {
    TimeCodeResult result{form, TimeCodeOutcome::Invalid, parsed, parsed};
    if (!IsValidSystemTime(parsed))
        return result;
    const std::int64_t rollovers = GpsRolloversToRelease(SystemTimeToUnixMs(parsed));
    result.rolloverWeeks = rollovers * kGpsRolloverWeeks;
    if (const auto corrected = ShiftSystemTime(parsed, shiftMs + rollovers * kGpsRolloverMs)) {
        result.outcome = TimeCodeOutcome::Ok;
        result.time = *corrected;
    }
    return result;
}

// The GPS seconds of an F1 code: hexadecimal (read as if "0X" stood before it: no white space
// or sign), decimal for the Proteus family.
std::uint64_t ReadGpsSeconds(const QString& digits, bool proteus) {
    return proteus ? ReadUnsigned64(digits, 10) : ReadUnsigned64(digits, 16, false);
}

TimeCodeResult HpOrProteusCode(int receiverType, const QString& text,
                               const TimeCodeCorrections& corrections) {
    // A time-zone answer may stand before the code: "hours,minutes" then the 'T' of the code.
    QString code = text;
    long zoneHours = 0;
    long zoneMinutes = 0;
    const qsizetype t = text.indexOf(u'T');
    if (t >= 4 && t <= 8) {
        const QStringView prefix = QStringView(text).left(t);
        const qsizetype comma = prefix.indexOf(u',');
        if (comma >= 2 && prefix.size() - comma - 1 >= 2) {
            zoneHours = ReadSigned(prefix.left(comma));
            zoneMinutes = ReadSigned(prefix.mid(comma + 1));
        }
        code = text.mid(t);
    }
    const std::int64_t fineMs = corrections.fineMs;
    if (code.startsWith(QLatin1String("T1#H"))) {
        if (code.size() < 12)
            return Failure(TimeCodeForm::F1, TimeCodeOutcome::Truncated);
        const bool proteus = receiverType == RECEIVER_PROTEUS;
        // Seconds past the end of the valid window are garbage; seconds before its start are a
        // date before the release, which Finish takes as a week rollover like any other.
        const std::uint64_t seconds = ReadGpsSeconds(proteus ? code.mid(4) : code.mid(4, 8), proteus);
        if (seconds > kLastValidGpsSeconds)
            return Failure(TimeCodeForm::F1, TimeCodeOutcome::Malformed);
        const auto unixSeconds = static_cast<std::int64_t>(seconds + kGpsEpochUnixSeconds);
        return Finish(TimeCodeForm::F1, UnixMsToSystemTime(unixSeconds * 1000), fineMs);
    }
    if (code.startsWith(QLatin1String("T2"))) {
        if (code.size() < 16)
            return Failure(TimeCodeForm::F2, TimeCodeOutcome::Truncated);
        const std::int64_t zoneMs = (static_cast<std::int64_t>(zoneHours) * 60 + zoneMinutes) * 60'000;
        return Finish(TimeCodeForm::F2, FixedFields(code, {2, 6, 8, 10, 12, 14}, 4), fineMs - zoneMs);
    }
    return {};
}

} // namespace

TimeCodeResult ParseTimeCode(int receiverType, const QString& code, const TimeCodeCorrections& corrections) {
    const std::int64_t fineMs = corrections.fineMs;
    switch (receiverType) {
    case RECEIVER_JACKSON:
        if (!code.startsWith(QLatin1String("DATE")))
            return {};
        if (code.size() < 12)
            return Failure(TimeCodeForm::Jackson, TimeCodeOutcome::Truncated);
        return Finish(TimeCodeForm::Jackson, JacksonFields(code), fineMs);
    case RECEIVER_DATUM: {
        if (!code.startsWith(QLatin1String("UTC: ")))
            return {};
        if (code.size() < 21)
            return Failure(TimeCodeForm::Datum, TimeCodeOutcome::Truncated);
        SystemTime time = FixedFields(code, {5, 8, 11, 14, 17, 20}, 2);
        time.wYear += 2000;
        time.wMilliseconds = Field(code, 23, 3);
        return Finish(TimeCodeForm::Datum, time, fineMs);
    }
    case RECEIVER_UCCM:
        if (code.size() < 18)
            return Failure(TimeCodeForm::Uccm, TimeCodeOutcome::Truncated);
        return Finish(TimeCodeForm::Uccm, FixedFields(code, {0, 5, 8, 11, 14, 17}, 4),
                      fineMs - static_cast<std::int64_t>(corrections.leapSeconds) * 1000);
    case RECEIVER_HP:
    case RECEIVER_PROTEUS:
        return HpOrProteusCode(receiverType, code, corrections);
    default:
        return {};
    }
}

bool TimeCodeNamesComingSecond(int receiverType) {
    return receiverType != RECEIVER_DATUM && receiverType != RECEIVER_PROTEUS;
}

QString RolloverMessage(const TimeCodeResult& result) {
    if (result.rolloverWeeks == 0)
        return {};
    const SystemTime release = UnixMsToSystemTime(ReleaseDateUnixMs());
    return QStringLiteral(
               "GPS week rollover: the receiver's date %1 is before the release date %2; %3 weeks added")
        .arg(FormatShownTime(result.received).left(10), FormatShownTime(release).left(10))
        .arg(result.rolloverWeeks);
}

QString FailedToSetMessage(TimeCodeForm form) {
    switch (form) {
    case TimeCodeForm::Jackson:
        return QStringLiteral("Failed to set system time from Jackson");
    case TimeCodeForm::Datum:
        return QStringLiteral("Failed to set system time from Datum");
    case TimeCodeForm::Uccm:
        return QStringLiteral("Failed to set system time from UCCM");
    case TimeCodeForm::F1:
        return QStringLiteral("Failed to set system time from F1");
    case TimeCodeForm::F2:
        return QStringLiteral("Failed to set system time from F2");
    case TimeCodeForm::None:
        break;
    }
    return {};
}

QString TimeCodeProblem(const TimeCodeResult& result) {
    switch (result.outcome) {
    case TimeCodeOutcome::Truncated:
        switch (result.form) {
        case TimeCodeForm::Jackson:
            return QStringLiteral("Jackson time code string truncated");
        case TimeCodeForm::Datum:
            return QStringLiteral("Datum time code string truncated");
        case TimeCodeForm::Uccm:
            return QStringLiteral("UCCM time data truncated");
        case TimeCodeForm::F1:
            return QStringLiteral("F1 Time code string truncated");
        case TimeCodeForm::F2:
            return QStringLiteral("F2 Time code data truncated");
        case TimeCodeForm::None:
            break;
        }
        return {};
    case TimeCodeOutcome::Malformed:
        return QStringLiteral("F1 Time code string malformed");
    case TimeCodeOutcome::Invalid:
        return FailedToSetMessage(result.form);
    case TimeCodeOutcome::Ignored:
    case TimeCodeOutcome::Ok:
        break;
    }
    return {};
}

QString FormatShownTime(const SystemTime& time) {
    return QString::asprintf("%02u/%02u/%04u %02u:%02u:%02u", time.wDay, time.wMonth, time.wYear, time.wHour,
                             time.wMinute, time.wSecond);
}

std::int64_t HexSecondsToDate(const QString& digits, bool proteus) {
    const std::uint64_t value = ReadGpsSeconds(digits, proteus);
    if (value < kFirstValidGpsSeconds || value > kLastValidGpsSeconds)
        return 0;
    return static_cast<std::int64_t>(value + kGpsEpochUnixSeconds);
}

QString DeHexTimeStamps(const QString& text, bool proteus) {
    QString result = text;
    qsizetype from = 0;
    for (;;) {
        const qsizetype h = result.indexOf(u'H', from);
        if (h < 0 || result.size() - h < 8)
            break;
        const std::int64_t seconds = HexSecondsToDate(result.mid(h + 1, 8), proteus);
        if (seconds == 0) {
            from = h + 1;
            continue;
        }
        const bool betweenColons =
            h > 0 && result[h - 1] == u':' && h + 9 < result.size() && result[h + 9] == u':';
        std::tm utc{};
        const time_t when = static_cast<time_t>(seconds);
        gmtime_r(&when, &utc);
        char stamp[96] = {};
        std::strftime(stamp, sizeof stamp, betweenColons ? "%d/%m/%y %X" : "<%d/%m/%y %X>", &utc);
        result.replace(h, 9, QString::fromLocal8Bit(stamp));
        from = h + 1;
    }
    return result;
}
