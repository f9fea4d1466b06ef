#include "receiver/ProteusFrames.h"

#include "receiver/ProteusPackets.h"

#include <cmath>
#include <vector>

namespace {

// Field readers that give 0 for a field past the end of the frame.
std::uint8_t U8(QByteArrayView f, qsizetype at) {
    return at + 1 <= f.size() ? static_cast<std::uint8_t>(f[at]) : 0;
}

std::uint16_t U16(QByteArrayView f, qsizetype at) {
    return at + 2 <= f.size() ? static_cast<std::uint16_t>(U8(f, at) | U8(f, at + 1) << 8) : 0;
}

// Two words, the high word first.
std::uint32_t U32(QByteArrayView f, qsizetype at) {
    return at + 4 <= f.size() ? std::uint32_t{U16(f, at)} << 16 | U16(f, at + 2) : 0;
}

std::int32_t I32(QByteArrayView f, qsizetype at) {
    return static_cast<std::int32_t>(U32(f, at));
}

constexpr double kSecondsPerOffsetUnit = 1.0 / 67108864.0;  // 2^-26
constexpr double kDegreesPerPositionUnit = 1.0 / 8388608.0; // 2^-23
constexpr double k20MHzScale = 65536000000.0;
constexpr double kEfcCountsPerVolt = 6553.5;
constexpr double kEfcVoltOffset = 5.0;
constexpr std::uint32_t kSecondsPerWeek = 604800;

QString DegreesText(const char* label, char positive, char negative, std::int32_t raw) {
    const double degrees = raw * kDegreesPerPositionUnit;
    const double magnitude = std::fabs(degrees);
    const double whole = std::floor(magnitude);
    const double minutesExact = (magnitude - whole) * 60.0;
    const double minutes = std::floor(minutesExact);
    const double seconds = (minutesExact - minutes) * 60.0;
    return QString::asprintf("%s      %c%3d:%02d:%6.3f", label, degrees > 0 ? positive : negative,
                             static_cast<int>(whole), static_cast<int>(minutes), seconds);
}

// The tracking column's fields; the not-tracking column has one space fewer before C/N.
QString ChannelFields(const ProteusChannel& c, bool trackingColumn) {
    return trackingColumn ? QString::asprintf(" %2d  %2d %3d  %3d", c.satellite, c.elevation, c.azimuth, c.cn)
                          : QString::asprintf("%2d  %2d %3d %3d", c.satellite, c.elevation, c.azimuth, c.cn);
}

// The IODE, Trop and Iono columns of the satellite line whose number matches the one printed at
// characters 1-2 of the tracking column; empty when none matches.
QString SatelliteExtras(const QString& left, const std::array<QString, 4>& lines) {
    const QString number = left.mid(1, 2);
    for (const QString& line : lines) {
        if (line.isEmpty())
            break;
        if (line.left(2) == number)
            return line.mid(6);
    }
    return {};
}

QString RightColumn(int row, const ProteusStatusFrame& frame, const ProteusEfcState& efc) {
    switch (row) {
    case 0:
        return QStringLiteral("EFC      ") +
               QString::asprintf("%+.5fV", efc.efcShown / kEfcCountsPerVolt - kEfcVoltOffset);
    case 1:
        return QStringLiteral("TI       ") + QString::asprintf("%+d ns", efc.timeInterval);
    case 2:
        return QStringLiteral("20MHz+-  ") + QString::asprintf("%+.6f", efc.offset20MHz / k20MHzScale);
    case 4:
        return ProteusLatitudeText(frame.latitude);
    case 5:
        return ProteusLongitudeText(frame.longitude);
    case 6:
        return QString::asprintf("HGT      %+.2f MSL", frame.height / 16.0);
    case 8:
        return QString::asprintf("SPD      %0.2f m/s", static_cast<double>(frame.speed));
    case 9:
        return QString::asprintf("HDG      %0.2f", frame.heading * 359.99 / 65535.0);
    default:
        return {};
    }
}

QString HealthLine(std::uint8_t health) {
    static const char* const kUnits[] = {"Preamp", "EPROM", "RAM", "TCXO", "CritMem", "RTC"};
    QString line = QStringLiteral("Health monitor: ");
    for (int bit = 1; bit <= 6; ++bit) {
        if (bit > 1)
            line += QStringLiteral("  ");
        line +=
            QLatin1String(kUnits[bit - 1]) + QLatin1Char('-') + QLatin1Char((health >> bit) & 1 ? 'F' : 'P');
    }
    return line + QStringLiteral("\r\n");
}

} // namespace

ProteusRead CollectProteusFrame(const std::function<QByteArray(qsizetype room)>& read,
                                const std::function<void()>& wait) {
    ProteusRead out;
    QByteArray chunk = read(kProteusReadBuffer).left(kProteusReadBuffer);
    if (chunk.isEmpty())
        return out;
    while (!chunk.isEmpty()) {
        out.bytes += chunk;
        if (out.bytes.size() >= kProteusReadBuffer) {
            out.result = ProteusReadResult::Overrun;
            return out;
        }
        wait();
        const qsizetype room = kProteusReadBuffer - out.bytes.size();
        chunk = read(room).left(room);
    }
    out.result = ProteusReadResult::Frame;
    return out;
}

ProteusFrameKind CheckProteusFrame(QByteArrayView frame) {
    if (frame.size() != kProteusEfcFrameBytes && frame.size() != kProteusStatusFrameBytes)
        return ProteusFrameKind::WrongLength;
    if (ProteusWordSum(frame, 4) != 0)
        return ProteusFrameKind::BadChecksum;
    return frame.size() == kProteusEfcFrameBytes ? ProteusFrameKind::Efc : ProteusFrameKind::Status;
}

QString ProteusFailureText(ProteusReadResult read, ProteusFrameKind kind, qsizetype length) {
    if (read == ProteusReadResult::Nothing)
        return {};
    if (read == ProteusReadResult::Overrun)
        return QStringLiteral("Overrun buffer");
    if (kind == ProteusFrameKind::WrongLength)
        return QStringLiteral("Wrong length for STATUS or EFC %1").arg(length);
    if (kind == ProteusFrameKind::BadChecksum)
        return length == kProteusEfcFrameBytes ? QStringLiteral("Failed checksum 72")
                                               : QStringLiteral("Failed checksum STATUS");
    return {};
}

ProteusEfcFrame DecodeProteusEfcFrame(QByteArrayView f) {
    ProteusEfcFrame frame;
    if (f.size() < kProteusEfcFrameBytes)
        return frame;
    frame.timeOfWeek = U32(f, 6);
    frame.partOfSecond = U32(f, 10);
    frame.receiverNumber = U16(f, 14) >> 4;
    frame.gpsUtcOffset = I32(f, 16);
    for (int i = 0; i < 4; ++i) {
        ProteusCorrectionEntry& entry = frame.corrections[i];
        entry.satellite = U8(f, 20 + i);
        entry.value = U8(f, 24 + i);
        entry.tropo = U16(f, 28 + 2 * i);
        entry.iono = U16(f, 36 + 2 * i);
        entry.iode = U8(f, 44 + i);
    }
    frame.week = U16(f, 48);
    frame.timeInterval = I32(f, 50);
    frame.offset20MHz = I32(f, 56);
    frame.health = U8(f, 61);
    frame.efc = I32(f, 66);
    return frame;
}

QString ProteusSatelliteLine(const ProteusCorrectionEntry& e) {
    return QString::asprintf("%2d %3d %3d %7.4f %7.4f", e.satellite, e.value, e.iode, e.tropo / 16.0,
                             e.iono / 16.0);
}

ProteusEfcAcceptance AcceptProteusEfc(std::array<int, 4>& history, std::int32_t reading) {
    // All in double: with arbitrary readings the prediction can leave the range of int.
    const double h0 = history[0], h1 = history[1], h2 = history[2], h3 = history[3];
    const double mean = (h0 + h1 + h2 + h3) / 4.0;
    const double d1 = h1 - h0, d2 = h2 - h1, d3 = h3 - h2;
    const double e1 = d2 - d1, e2 = d3 - d2;
    const double predicted = std::trunc(mean + (d1 + d2 + d3) / 3.0 + (e1 + e2) / 4.0 + (e2 - e1) / 6.0);
    const double rounded = std::trunc(mean + 0.5);
    const bool complete = h0 != 0 && h1 != 0 && h2 != 0 && h3 != 0;

    history = {history[1], history[2], history[3], reading};

    ProteusEfcAcceptance result;
    result.mean = mean;
    result.roundedMean = static_cast<int>(rounded);
    result.accepted =
        complete && std::fabs(rounded - reading) <= 5.0 && std::fabs(reading - predicted) <= 5.0;
    return result;
}

ProteusChannelValues ApplyProteusEfcFrame(const ProteusEfcFrame& frame, ProteusEfcState& state,
                                          std::array<int, 4>& history) {
    for (int i = 0; i < 4; ++i)
        state.satelliteLines[i] = ProteusSatelliteLine(frame.corrections[i]);
    state.receiverNumber = frame.receiverNumber;
    state.timeOfWeek = frame.timeOfWeek;
    state.partOfSecond = frame.partOfSecond;
    state.week = frame.week;
    state.gpsUtcOffset = frame.gpsUtcOffset * kSecondsPerOffsetUnit;
    state.timeInterval = frame.timeInterval;
    state.offset20MHz = frame.offset20MHz;
    state.health = frame.health;
    state.efcShown = frame.efc;

    ProteusChannelValues out;
    const ProteusEfcAcceptance efc = AcceptProteusEfc(history, frame.efc);
    if (efc.accepted) {
        state.efcShown = efc.roundedMean;
        out.values[0] = QString::asprintf("%g", efc.mean);
        out.values[1] = QString::asprintf("%+1.5e", frame.timeInterval / 1e9);
        out.values[2] = QString::asprintf("%1.6e", frame.offset20MHz / k20MHzScale);
    }
    return out;
}

int ProteusLeapCorrection(std::int32_t gpsUtcOffset, int current) {
    const double seconds = gpsUtcOffset * kSecondsPerOffsetUnit;
    return seconds > 0 ? static_cast<int>(seconds + 0.5) : current;
}

std::uint32_t ProteusGpsSeconds(unsigned week, std::uint32_t timeOfWeek, int leapCorrection) {
    return static_cast<std::uint32_t>(week) * kSecondsPerWeek - static_cast<std::uint32_t>(leapCorrection) +
           timeOfWeek;
}

QString ProteusTimeCode(std::uint32_t gpsSeconds) {
    return QStringLiteral("T1#H") + QString::number(gpsSeconds);
}

ProteusStatusFrame DecodeProteusStatusFrame(QByteArrayView f) {
    ProteusStatusFrame frame;
    if (f.size() < kProteusStatusFrameBytes)
        return frame;
    frame.ppsSynchronised = (U8(f, 0) & 0x08) != 0;
    frame.fixMode = U8(f, 14) & 0x0F;
    frame.latitude = I32(f, 16);
    frame.longitude = I32(f, 20);
    frame.height = I32(f, 24);
    frame.speed = I32(f, 32);
    frame.heading = U16(f, 36);
    for (int i = 0; i < 6; ++i)
        frame.enu[i] = I32(f, 44 + 4 * i);
    for (int i = 0; i < 3; ++i)
        frame.accuracy[i] = U16(f, 68 + 2 * i);
    for (int i = 0; i < 4; ++i)
        frame.dop[i] = U16(f, 74 + 2 * i);
    for (int c = 0; c < 12; ++c) {
        ProteusChannel& channel = frame.channels[c];
        const std::uint8_t id = U8(f, 82 + 2 * c);
        channel.satellite = id & 0x7F;
        channel.tracking = (id & 0x80) != 0;
        channel.cn = U8(f, 83 + 2 * c);
        channel.elevation = U8(f, 106 + 2 * c);
        channel.azimuth = U16(f, 130 + 2 * c);
    }
    return frame;
}

QString ProteusFixModeName(int fixMode) {
    static const char* const kNames[] = {"NO-FIX", "GPS-2D", "GPS-3D", "DIF-2D",
                                         "DIF-3D", "GPS-TT", "    DR"};
    return fixMode >= 0 && fixMode < 7 ? QLatin1String(kNames[fixMode]) : QString();
}

QString ProteusIdentity(int receiverNumber) {
    return QString::asprintf("___ NavSymm Proteus ___ %3d", receiverNumber);
}

QString ProteusLatitudeText(std::int32_t latitude) {
    return DegreesText("LAT", 'N', 'S', latitude);
}

QString ProteusLongitudeText(std::int32_t longitude) {
    return DegreesText("LON", 'E', 'W', longitude);
}

QString ProteusStatusPage(const ProteusStatusFrame& frame, const ProteusEfcState& efc) {
    std::vector<ProteusChannel> tracking, notTracking;
    for (const ProteusChannel& channel : frame.channels) {
        if (channel.satellite == 0)
            continue;
        (channel.tracking ? tracking : notTracking).push_back(channel);
    }

    QString page;
    page += QString::asprintf("______________________________ NavSymm Proteus %3d ______________________",
                              efc.receiverNumber) +
            ProteusFixModeName(frame.fixMode) + QStringLiteral("\r\n\r\n");
    page +=
        QString::asprintf("GPS time: %6d.%04u  Week: %0u UTC Correction: %.4f  Date: ",
                          static_cast<int>(efc.timeOfWeek), efc.partOfSecond, efc.week, efc.gpsUtcOffset) +
        efc.shownDateTime.left(10) + QStringLiteral("\r\n\r\n");
    page += QString::asprintf("ENU: PE %0.2f  PN %0.2f  PU %0.2f  VE %0.2f  VN %0.2f  VU %0.2f\r\n",
                              frame.enu[0] / 16.0, frame.enu[1] / 16.0, frame.enu[2] / 16.0,
                              frame.enu[3] / 16.0, frame.enu[4] / 16.0, frame.enu[5] / 16.0);
    page +=
        QString::asprintf("Acc: Pos %3d  Hor %3d Vert %3d GDOP %.1f PDOP %.1f HDOP %.1f VDOP %.1f\r\n\r\n",
                          frame.accuracy[0], frame.accuracy[1], frame.accuracy[2], frame.dop[0] / 10.0,
                          frame.dop[1] / 10.0, frame.dop[2] / 10.0, frame.dop[3] / 10.0);
    page += QStringLiteral(
        "Satellite status ____________________________________   Time __________________ \r\n");
    page += QString::asprintf("Tracking:%2d                           Not tracking:%2d   UTC      ",
                              static_cast<int>(tracking.size()), static_cast<int>(notTracking.size())) +
            efc.shownDateTime.mid(11) + QStringLiteral("  \r\n");
    page += QStringLiteral("PRN  El  Az  C/N IODE  Trop    Iono   PRN  El  Az C/N   ") +
            (frame.ppsSynchronised ? QStringLiteral("1PPS CLK sync to UTC\r\n")
                                   : QStringLiteral("1PPS CLK not sync\r\n"));
    for (int row = 0; row < 12; ++row) {
        QString left;
        if (row < static_cast<int>(tracking.size())) {
            left = ChannelFields(tracking[row], true);
            left += SatelliteExtras(left, efc.satelliteLines);
        }
        QString middle;
        if (row < static_cast<int>(notTracking.size()))
            middle = ChannelFields(notTracking[row], false);
        page += left.leftJustified(39) + middle.leftJustified(17) + RightColumn(row, frame, efc) +
                QStringLiteral("\r\n");
    }
    page += HealthLine(efc.health);
    return page;
}
