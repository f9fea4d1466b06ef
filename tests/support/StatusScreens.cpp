#include "StatusScreens.h"

#include "receiver/ProteusFrames.h"

QString CrLfLines(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n"));
}

QString SatelliteRow(const QString& tracked, const QString& notTracked) {
    return tracked.leftJustified(21, u' ') + notTracked.leftJustified(12, u' ');
}

QStringList SatelliteTableLines() {
    return {"PRN  El  Az  C/N     PRN  El  Az",
            SatelliteRow(" *2  45 123   42 ", "  9  10 300"),
            SatelliteRow("  5  67  45   45 ", " 17   5  20"),
            SatelliteRow(" 12  30 270   38 L1"),
            SatelliteRow(" 25  12  10   31"),
            SatelliteRow("131  40 190   44"),
            QString(40, u' ')};
}

static const QStringList kPosition{"LAT  N  37:23:45.678", "LON  W 122:01:02.500", "HGT  +45.20 m (MSL)"};

QString HpStatusScreen(bool timeValid) {
    const QStringList head{"---------------------------- Receiver Status ----------------------------------",
                           QString(79, u' '),
                           "SYNCHRONIZATION ............................................ [ Outputs Valid ]",
                           "Reference Outputs __________________________   Acquisition ___________________",
                           ">> Locked to GPS                                Tracking: 5    Not Tracking: 2",
                           "Time __________________________________________________________________________",
                           timeValid ? "UTC      12:34:56     15 Jan 2024"
                                     : "UTC      ??:??:??     ?? ??? ????"};
    return CrLfLines(head + SatelliteTableLines() + QStringList{"ELEV MASK 10 deg"} + kPosition +
                     QStringList{"Self Test: PASS"});
}

QString JacksonStatusScreen(bool saasm) {
    const QStringList head{saasm ? "JLT SAASM GPSDO     Firmware 2.1" : "JLT GPSDO Status    Firmware 2.1",
                           "UTC      12:34:56     15 Jan 2024        Holdover: 0 s",
                           "EFC 2.3456 V      Lock: GPS\tDisciplined",
                           "ACQUISITION ....................................... [ GPS 1PPS Valid ]",
                           "Tracking: 5              Not Tracking: 2"};
    return CrLfLines(head + SatelliteTableLines() + kPosition +
                     QStringList{"HEALTH MONITOR ......... OK", "Self Test: PASS"});
}

QString UccmStatusScreen() {
    const QStringList head{"UCCM-P Status", "Unit: UCCM-P",
                           "==============================", "ACQ ..................  Synchronized to UTC",
                           "Tracking: 5              Not Tracking: 2"};
    return CrLfLines(head + SatelliteTableLines() + kPosition +
                     QStringList{"   ", "------------------------------", "Ant: OK"});
}

QString DatumStatusScreen() {
    const QStringList lines{"DATUM 2000 STATUS",      "Mode          LOCKED TO GPS",
                            "Holdover      0 s",      "Satellites    5",
                            "Receiver      OK",       "Oscillator    OK",
                            "Antenna       OK",       "Power         OK",
                            "Temperature   41.5 C",   "Alarms        NONE",
                            "Phase         12 ns",    "Frequency     1.2E-12",
                            "Time Quality  1",        "Output        ENABLED",
                            "Position      SURVEYED", "Mode          TIMING",
                            "Altitude      FIXED",    "End"};
    QStringList tagged; // every line starts with a five-character tag
    for (const QString& line : lines)
        tagged << QStringLiteral("ST%1 ").arg(tagged.size(), 2, 10, QLatin1Char('0')) + line;
    return CrLfLines(tagged);
}

QString DatumSatRecord(const QString& prn, const QString& elevation, const QString& azimuth,
                       const QString& snr, const QString& tenths) {
    return QStringLiteral("SAT: 01 %1   %2   %3   %4.%5")
        .arg(prn, 2)
        .arg(elevation, 2)
        .arg(azimuth, 3)
        .arg(snr, 2)
        .arg(tenths);
}

QString DatumSatAnswer() {
    return CrLfLines({DatumSatRecord("14", "45", "123", "42", "5"),
                      DatumSatRecord("22", "67", "45", "45", "0"),
                      DatumSatRecord("31", "10", "300", "00", "5")});
}

QString DatumPositionAnswer() {
    // Degrees (3 characters at 6), minutes (5 at 10), hemisphere at 16; the height from 6 on.
    return CrLfLines({"POS:   37 23.45 N", "POS:  122 01.50 W", "POS:    45.20 M"});
}

QString ProteusPage() {
    ProteusStatusFrame frame;
    frame.latitude = static_cast<std::int32_t>(-33.5 * (1 << 23));
    frame.longitude = static_cast<std::int32_t>(151.25 * (1 << 23));
    frame.height = 16 * 58;
    const ProteusChannel channels[] = {
        {7, true, 42, 45, 123}, {30, false, 0, 10, 300}, {11, true, 45, 67, 45}, {19, true, 38, 30, 270}};
    std::copy(std::begin(channels), std::end(channels), frame.channels.begin());
    ProteusEfcState efc;
    efc.shownDateTime = QStringLiteral("15/01/2024 12:34:56");
    efc.satelliteLines[0] = QStringLiteral(" 7 200  88  2.5000  1.2500");
    return ProteusStatusPage(frame, efc);
}
