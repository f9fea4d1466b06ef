#include "receiver/StatusFormatter.h"

#include "app/Globals.h"

#include <algorithm>
#include <cmath>

TrackingCounts CountTracking(const std::array<CSatInfo, kSatelliteSlots>& sats) {
    TrackingCounts counts;
    for (const CSatInfo& sat : sats) {
        if (!sat.InUse())
            continue;
        if (sat.SignalLevel() > 0)
            ++counts.tracked;
        else
            ++counts.notTracked;
    }
    return counts;
}

QString FormatDegreesMinutesSeconds(double value, char positive, char negative) {
    double magnitude = std::isfinite(value) ? std::min(std::fabs(value), 1e9) : 0.0;
    const int degrees = static_cast<int>(magnitude);
    const double minutesFull = (magnitude - degrees) * 60.0;
    const int minutes = static_cast<int>(minutesFull);
    const double seconds = (minutesFull - minutes) * 60.0;
    return QString::asprintf("%c%3d:%02d:%6.3f", value > 0 ? positive : negative, degrees, minutes, seconds);
}

namespace {

// ---- Hewlett Packard ----

QString FormatHp(const QString& raw, const StatusScreenInputs& in) {
    QString text = raw;
    const qsizetype firstLineFeed = text.indexOf(u'\n');
    if (firstLineFeed < 0)
        return raw;
    // The receiver's first line gives way to a title of identity and error queue.
    text.remove(0, std::max<qsizetype>(0, firstLineFeed - 1));
    QString title = in.identity + u' ' + in.step3Reply;
    while (title.size() < 79)
        title = u' ' + title + u' ';
    text.prepend(title);

    const qsizetype lineStart = text.indexOf(u'\n') + 1;
    const qsizetype secondLineFeed = text.indexOf(u'\n', lineStart);
    if (secondLineFeed >= 0) {
        qsizetype lineEnd = text.indexOf(u'\r', lineStart);
        if (lineEnd < 0 || lineEnd > secondLineFeed)
            lineEnd = secondLineFeed;
        const QString line = (QStringLiteral("Life     ") + in.lifeCount).leftJustified(46, u' ') +
                             QStringLiteral("EFC     ") + in.efc;
        text.replace(lineStart, lineEnd - lineStart, line);
    }

    const qsizetype timeLine = text.indexOf(QStringLiteral("Time ____"));
    if (timeLine > 3) {
        const QString leap = QString::asprintf(" Leap seconds %d ", in.leapCorrection);
        for (qsizetype i = 0; i < leap.size() && timeLine + 10 + i < text.size(); ++i)
            text[timeLine + 10 + i] = leap[i];
    }
    return text;
}

// ---- Datum 2000 ----

// Each line of the answer starts with a five-character tag. Never more than the line's own
// characters are removed, so a short line cannot swallow a line break.
void RemoveLineTag(QString& text, qsizetype lineStart) {
    qsizetype count = 0;
    while (count < 5 && lineStart + count < text.size() && text[lineStart + count] != u'\r' &&
           text[lineStart + count] != u'\n')
        ++count;
    text.remove(lineStart, count);
}

QString DatumRightHand(int line, const StatusScreenInputs& in) {
    if (line == -1)
        return QStringLiteral("PRN El  Az  C/N");
    if (line >= 0 && line <= 5) {
        const CSatInfo& sat = in.sats[line];
        if (sat.m_byPrnLow == 0)
            return QString(15, u' ');
        return QString::asprintf("%3d %2d %3d %2d.%1d", sat.m_byPrnLow, sat.m_byElevation, sat.m_wAzimuth,
                                 sat.m_bySnrWhole, sat.m_bySnrTenths);
    }
    switch (line) {
    case 7:
        return QStringLiteral("EFC ") + in.efc;
    case 8:
        return QStringLiteral("TI  ") + in.ti;
    case 10:
        return QStringLiteral("LAT ") + FormatDegreesMinutesSeconds(in.latitude, 'N', 'S');
    case 11:
        return QStringLiteral("LON ") + FormatDegreesMinutesSeconds(in.longitude, 'E', 'W');
    case 12:
        return QString::asprintf("HGT %+.2f MSL", std::isfinite(in.height) ? in.height : 0.0);
    default:
        return {};
    }
}

QString FormatDatum(const QString& raw, const StatusScreenInputs& in) {
    QString text = raw;
    RemoveLineTag(text, 0);
    qsizetype lineFeed = text.indexOf(u'\n');
    int line = -3;
    while (lineFeed >= 0) {
        const qsizetype lineStart = lineFeed + 1;
        RemoveLineTag(text, lineStart);
        lineFeed = text.indexOf(u'\n', lineStart);
        if (lineFeed < 0)
            break;
        qsizetype lineEnd = text.indexOf(u'\r', lineStart);
        if (lineEnd < 0 || lineEnd > lineFeed)
            lineEnd = lineFeed;
        const QString insert =
            QString(std::max<qsizetype>(0, 42 - (lineEnd - lineStart)), u' ') + DatumRightHand(line, in);
        text.insert(lineEnd, insert);
        lineFeed += insert.size();
        ++line;
    }
    QString errors = in.step3Reply;
    errors.insert(std::min<qsizetype>(3, errors.size()), QString(12, u' '));
    return text + QStringLiteral("\r\n") + errors;
}

// ---- UCCM ----

QString FormatUccm(const QString& raw, const StatusScreenInputs& in) {
    // The first line goes, the next one (the screen's title) stays, the one after it goes.
    QString text = raw;
    const qsizetype firstEnd = text.indexOf(u'\n');
    if (firstEnd < 0)
        return raw;
    text.remove(0, firstEnd + 1);
    const qsizetype secondStart = text.indexOf(u'\n') + 1;
    const qsizetype secondEnd = secondStart > 0 ? text.indexOf(u'\n', secondStart) : -1;
    if (secondEnd < 0)
        return raw;
    text.remove(secondStart, secondEnd + 1 - secondStart);
    const qsizetype acquisition = text.indexOf(QStringLiteral("ACQ"), secondStart);
    if (acquisition < 0)
        return raw;
    const QString efc = QStringLiteral("EFC     ") + in.efc + QStringLiteral("     ");
    text.replace(acquisition, efc.size(), efc);
    const qsizetype rule = text.indexOf(QStringLiteral("-------------"));
    if (rule > 3) {
        text.truncate(rule - 2);
        while (text.endsWith(u' '))
            text.chop(1);
        text += QString::asprintf("   Leap seconds %d\r\n", in.leapCorrection);
    }
    return text;
}

} // namespace

StatusScreen FormatStatusScreen(const QString& raw, const StatusScreenInputs& in) {
    StatusScreen screen{raw, in.saasmGps, in.measReply};
    if (in.rawStatus || raw.isEmpty())
        return screen;
    switch (in.receiverType) {
    case RECEIVER_HP:
        screen.text = FormatHp(raw, in);
        break;
    case RECEIVER_DATUM:
        screen.text = FormatDatum(raw, in);
        break;
    case RECEIVER_JACKSON:
        return FormatJacksonStatus(raw, in);
    case RECEIVER_UCCM:
        screen.text = FormatUccm(raw, in);
        break;
    default:
        break; // the Proteus page is built complete by its decoder
    }
    return screen;
}
