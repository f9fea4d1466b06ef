#include "receiver/ReplyValues.h"

#include "app/Globals.h"
#include "receiver/NumberText.h"
#include "receiver/ReplyText.h"

QString DatumEfcValue(const QString& answer) {
    QString value = answer.mid(5);
    const qsizetype space = value.indexOf(QLatin1Char(' '));
    if (space > 0)
        value.truncate(space);
    return TrimWhite(value);
}

QString TimeIntervalValue(int family, const QString& answer) {
    const QString upper = answer.toUpper();
    if (family != RECEIVER_DATUM)
        return upper;
    const qsizetype rpd = upper.indexOf(QStringLiteral("RPD: "));
    const qsizetype phase = upper.indexOf(QStringLiteral("PHASE"));
    if (rpd < 0 || phase < 0)
        return upper;
    // Three spaces in turn from "RPD: " on; a search that fails starts the next one at 0.
    qsizetype space = rpd;
    for (int i = 0; i < 3; ++i) {
        space = upper.indexOf(QLatin1Char(' '), i == 0 ? rpd : space + 1);
    }
    if (space < 0 || space > phase)
        return {}; // no number there: fails validation
    return TrimWhite(upper.mid(space, phase - space));
}

QString LastCommaValue(const QString& answer) {
    const qsizetype comma = answer.lastIndexOf(QLatin1Char(','));
    return comma < 0 ? answer : answer.left(comma);
}

QString UccmTemperatureValue(const QString& answer, const QString& previous) {
    static const QString marker = QStringLiteral("temp cor  = ");
    const qsizetype at = answer.indexOf(marker);
    if (at >= 0)
        return answer.mid(at + marker.size());
    const qsizetype space = answer.lastIndexOf(QLatin1Char(' '));
    if (space < 0 || space == answer.size() - 1)
        return previous;
    QString word = answer.mid(space + 1).toUpper();
    if (ValidateNumber(word))
        return word;
    return previous;
}

QString PeakTroughLevel(const std::array<CSatInfo, kSatelliteSlots>& sats, bool peak) {
    double level = peak ? -1.0 : 256.0;
    for (const CSatInfo& sat : sats) {
        if (!sat.InUse())
            continue;
        const double satLevel = sat.SignalLevel();
        if (satLevel <= 0.0)
            continue;
        level = peak ? std::max(level, satLevel) : std::min(level, satLevel);
    }
    if (level > 0.0 && level < 256.0)
        return QString::asprintf("%g", level);
    return {};
}

int LeapSecondsFromAnswer(const QString& answer, const QString& command, int digits) {
    if (answer.size() <= 8)
        return 0;
    QString rest = answer;
    if (!command.isEmpty() && answer.contains(command))
        rest = answer.mid(command.size());
    rest.truncate(digits);
    // As strtoul reads it: leading white space, an optional '+', then digits.
    qsizetype i = 0;
    while (i < rest.size() &&
           (rest[i] == QLatin1Char(' ') || (rest[i] >= QLatin1Char('\t') && rest[i] <= QLatin1Char('\r'))))
        ++i;
    if (i < rest.size() && rest[i] == QLatin1Char('+'))
        ++i;
    int value = 0;
    for (; i < rest.size() && rest[i].isDigit() && rest[i].unicode() < 0x80; ++i)
        value = value * 10 + (rest[i].unicode() - u'0');
    return value;
}

std::optional<int> UccmLeapSecondsFromMessages(const QString& messages) {
    // A line counts only when it starts after a line end: the first line may have begun before
    // the collection did.
    qsizetype start = messages.indexOf(QLatin1Char('\n'));
    while (start >= 0) {
        ++start;
        const qsizetype end = messages.indexOf(QStringLiteral("\r\n"), start);
        if (end < 0)
            return std::nullopt;
        if (end - start >= 98) {
            bool ok = false;
            const int value = messages.mid(start + 96, 2).toInt(&ok, 16);
            return ok && value >= 1 && value <= 99 ? value : 0;
        }
        start = end + 1;
    }
    return std::nullopt;
}
