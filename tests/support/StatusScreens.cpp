#include "StatusScreens.h"

QString CrLfLines(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n"));
}

QString SatelliteRow(const QString& tracked, const QString& notTracked) {
    return tracked.leftJustified(21, u' ') + notTracked.leftJustified(12, u' ');
}

QStringList SatelliteTableLines() {
    return {
        QStringLiteral("PRN  El  Az  C/N     PRN  El  Az"),
        SatelliteRow(QStringLiteral(" *2  45 123   42 "), QStringLiteral("  9  10 300")),
        SatelliteRow(QStringLiteral("  5  67  45   45 "), QStringLiteral(" 17   5  20")),
        SatelliteRow(QStringLiteral(" 12  30 270   38 L1")),
        SatelliteRow(QStringLiteral(" 25  12  10   31")),
        SatelliteRow(QStringLiteral("131  40 190   44")),
        QString(40, u' '),
    };
}

QString HpStatusScreen(bool timeValid) {
    QStringList lines{
        QStringLiteral("---------------------------- Receiver Status ----------------------------------"),
        QString(79, u' '),
        QStringLiteral("SYNCHRONIZATION ............................................ [ Outputs Valid ]"),
        QStringLiteral("Reference Outputs __________________________   Acquisition ___________________"),
        QStringLiteral(">> Locked to GPS                                Tracking: 5    Not Tracking: 2"),
        QStringLiteral("Time __________________________________________________________________________"),
        timeValid ? QStringLiteral("UTC      12:34:56     15 Jan 2024")
                  : QStringLiteral("UTC      ??:??:??     ?? ??? ????"),
    };
    lines << SatelliteTableLines();
    lines << QStringLiteral("ELEV MASK 10 deg") << QStringLiteral("LAT  N  37:23:45.678")
          << QStringLiteral("LON  W 122:01:02.500") << QStringLiteral("HGT  +45.20 m (MSL)")
          << QStringLiteral("Self Test: PASS");
    return CrLfLines(lines);
}

QString JacksonStatusScreen(bool saasm) {
    QStringList lines{
        saasm ? QStringLiteral("JLT SAASM GPSDO     Firmware 2.1")
              : QStringLiteral("JLT GPSDO Status    Firmware 2.1"),
        QStringLiteral("UTC      12:34:56     15 Jan 2024        Holdover: 0 s"),
        QStringLiteral("EFC 2.3456 V      Lock: GPS\tDisciplined"),
        QStringLiteral("ACQUISITION ....................................... [ GPS 1PPS Valid ]"),
        QStringLiteral("Tracking: 5              Not Tracking: 2"),
    };
    lines << SatelliteTableLines();
    lines << QStringLiteral("LAT  N  37:23:45.678") << QStringLiteral("LON  W 122:01:02.500")
          << QStringLiteral("HGT  +45.20 m (MSL)") << QStringLiteral("HEALTH MONITOR ......... OK")
          << QStringLiteral("Self Test: PASS");
    return CrLfLines(lines);
}

QString UccmStatusScreen() {
    QStringList lines{
        QStringLiteral("UCCM-P Status"),
        QStringLiteral("=============================="),
        QStringLiteral("ACQ ..................  Synchronized to UTC"),
        QStringLiteral("Tracking: 5              Not Tracking: 2"),
    };
    lines << SatelliteTableLines();
    lines << QStringLiteral("LAT  N  37:23:45.678") << QStringLiteral("LON  W 122:01:02.500")
          << QStringLiteral("HGT  +45.20 m (MSL)") << QStringLiteral("   ")
          << QStringLiteral("------------------------------") << QStringLiteral("Ant: OK");
    return CrLfLines(lines);
}

QString ProteusStatusPage() {
    auto row = [](const QString& left, const QString& middle, const QString& right) {
        return left.leftJustified(39, u' ') + middle.leftJustified(17, u' ') + right;
    };
    QString page = QStringLiteral(
        "______________________________ NavSymm Proteus 123 ______________________GPS-3D\r\n\r\n"
        "GPS time: 345600.0000  Week: 2200 UTC Correction: 18.0000  Date: 15/01/2024\r\n\r\n"
        "ENU: PE 0.00  PN 0.00  PU 0.00  VE 0.00  VN 0.00  VU 0.00\r\n"
        "Acc: Pos   1  Hor   1 Vert   2 GDOP 1.9 PDOP 1.6 HDOP 0.9 VDOP 1.3\r\n\r\n"
        "Satellite status ____________________________________   Time __________________ \r\n"
        "Tracking: 3                           Not tracking: 1   UTC      12:34:56  \r\n"
        "PRN  El  Az  C/N IODE  Trop    Iono   PRN  El  Az C/N   1PPS CLK sync to UTC\r\n");
    const QStringList rows{
        row(QStringLiteral("  7  45 123   42 88  2.5000  1.2500"), QStringLiteral("30  10 300   0"),
            QStringLiteral("EFC      +0.12345V")),
        row(QStringLiteral(" 11  67  45   45"), {}, QStringLiteral("TI       +12 ns")),
        row(QStringLiteral(" 19  30 270   38"), {}, QStringLiteral("20MHz+-  +0.000001")),
        row({}, {}, {}),
        row({}, {}, QStringLiteral("LAT      N 37:23:45.678")),
        row({}, {}, QStringLiteral("LON      W122: 1: 2.500")),
        row({}, {}, QStringLiteral("HGT      +45.20 MSL")),
        row({}, {}, {}),
        row({}, {}, QStringLiteral("SPD      0.00 m/s")),
        row({}, {}, QStringLiteral("HDG      0.00")),
        row({}, {}, {}),
        row({}, {}, {}),
    };
    for (const QString& r : rows)
        page += r + QStringLiteral("\r\n");
    page += QStringLiteral("Health monitor: Preamp-P  EPROM-P  RAM-P  TCXO-P  CritMem-P  RTC-P");
    return page;
}

QString DatumStatusScreen() {
    return CrLfLines({
        QStringLiteral("STAT DATUM 2000 STATUS"),
        QStringLiteral("ST01 Mode          LOCKED TO GPS"),
        QStringLiteral("ST02 Holdover      0 s"),
        QStringLiteral("ST03 Satellites    5"),
        QStringLiteral("ST04 Receiver      OK"),
        QStringLiteral("ST05 Oscillator    OK"),
        QStringLiteral("ST06 Antenna       OK"),
        QStringLiteral("ST07 Power         OK"),
        QStringLiteral("ST08 Temperature   41.5 C"),
        QStringLiteral("ST09 Alarms        NONE"),
        QStringLiteral("ST10 Phase         12 ns"),
        QStringLiteral("ST11 Frequency     1.2E-12"),
        QStringLiteral("ST12 Time Quality  1"),
        QStringLiteral("ST13 Output        ENABLED"),
        QStringLiteral("ST14 Position      SURVEYED"),
        QStringLiteral("ST15 Mode          TIMING"),
        QStringLiteral("ST16 Altitude      FIXED"),
        QStringLiteral("ST17 End"),
    });
}

QString DatumSatRecord(int channel, const QString& prn, const QString& elevation, const QString& azimuth,
                       const QString& snr, const QString& tenths) {
    // Relative to "SAT: ": number at 8, elevation at 13, azimuth at 18, signal at 24, tenths at 27.
    return QStringLiteral("SAT: %1 %2   %3   %4   %5.%6")
        .arg(channel, 2, 10, QLatin1Char('0'))
        .arg(prn, 2)
        .arg(elevation, 2)
        .arg(azimuth, 3)
        .arg(snr, 2)
        .arg(tenths, 1);
}

QString DatumSatAnswer() {
    return CrLfLines({
        DatumSatRecord(1, QStringLiteral("14"), QStringLiteral("45"), QStringLiteral("123"),
                       QStringLiteral("42"), QStringLiteral("5")),
        DatumSatRecord(2, QStringLiteral("22"), QStringLiteral("67"), QStringLiteral("45"),
                       QStringLiteral("45"), QStringLiteral("0")),
        DatumSatRecord(3, QStringLiteral("31"), QStringLiteral("10"), QStringLiteral("300"),
                       QStringLiteral("00"), QStringLiteral("5")),
    });
}

QString DatumPositionAnswer() {
    // Degrees (3 characters at 6), minutes (5 at 10), hemisphere at 16; the height from 6 on.
    return CrLfLines({QStringLiteral("POS:   37 23.45 N"), QStringLiteral("POS:  122 01.50 W"),
                      QStringLiteral("POS:    45.20 M")});
}
