#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/StatusFormatter.h"
#include "support/QtPrinters.h"
#include "support/StatusScreens.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

CSatInfo Sat(int prn, int elevation, int azimuth, int snr, int tenths = 0) {
    CSatInfo sat;
    sat.m_byPrnLow = static_cast<std::uint8_t>(prn);
    sat.m_byElevation = static_cast<std::uint8_t>(elevation);
    sat.m_wAzimuth = static_cast<std::uint16_t>(azimuth);
    sat.m_bySnrWhole = static_cast<std::uint8_t>(snr);
    sat.m_bySnrTenths = static_cast<std::uint8_t>(tenths);
    return sat;
}

StatusScreenInputs Inputs(int family) {
    StatusScreenInputs in;
    in.receiverType = family;
    in.identity = QStringLiteral("HP Z3816A");
    in.step3Reply = QStringLiteral("+0");
    in.lifeCount = QStringLiteral("123456");
    in.efc = QStringLiteral("2.345");
    in.ti = QStringLiteral("1.2E-9");
    in.feeReply = QStringLiteral("0.1");
    in.healthReply = QStringLiteral("0x0");
    in.leapCorrection = 18;
    return in;
}

QStringList Lines(const QString& text) {
    return text.split(QStringLiteral("\r\n"));
}

} // namespace

TEST(StatusScreenFormat, RawOnRequestAndProteusAsItCame) {
    const QString screens[] = {HpStatusScreen(), DatumStatusScreen(), ProteusStatusPage(),
                               JacksonStatusScreen(), UccmStatusScreen()};
    for (int family = 0; family < kReceiverFamilies; ++family) {
        StatusScreenInputs in = Inputs(family);
        in.rawStatus = true;
        EXPECT_EQ(FormatStatusScreen(screens[family], in).text, screens[family]) << family;
    }
    EXPECT_EQ(FormatStatusScreen(ProteusStatusPage(), Inputs(RECEIVER_PROTEUS)).text, ProteusStatusPage());
    EXPECT_EQ(FormatStatusScreen(QString(), Inputs(RECEIVER_HP)).text, QString());
}

TEST(StatusScreenFormat, HewlettPackardTitleLifeAndLeapSeconds) {
    const QString raw = HpStatusScreen();
    QStringList expected = Lines(raw);
    expected[0] = QString(34, u' ') + QStringLiteral("HP Z3816A +0") + QString(34, u' ');
    expected[1] = QStringLiteral("Life     123456") + QString(31, u' ') + QStringLiteral("EFC     2.345");
    expected[5] = QStringLiteral("Time _____ Leap seconds 18 ") + QString(52, u'_');
    EXPECT_EQ(Lines(FormatStatusScreen(raw, Inputs(RECEIVER_HP)).text), expected);

    // Titles are centred to 79 or 80 characters.
    StatusScreenInputs in = Inputs(RECEIVER_HP);
    in.identity = QStringLiteral("12345");
    in.step3Reply = QStringLiteral("7890"); // "12345 7890": 10 characters
    EXPECT_EQ(Lines(FormatStatusScreen(QStringLiteral("x\r\n"), in).text)[0],
              QString(35, u' ') + QStringLiteral("12345 7890") + QString(35, u' '));
    in.step3Reply = QStringLiteral("78901");
    EXPECT_EQ(Lines(FormatStatusScreen(QStringLiteral("x\r\n"), in).text)[0],
              QString(34, u' ') + QStringLiteral("12345 78901") + QString(34, u' '));
    EXPECT_EQ(FormatStatusScreen(QStringLiteral("no line feed"), in).text, QStringLiteral("no line feed"));
}

TEST(StatusScreenFormat, DatumAddsSatellitesValuesAndPosition) {
    StatusScreenInputs in = Inputs(RECEIVER_DATUM);
    in.step3Reply = QStringLiteral("ERR0 none");
    in.sats[0] = Sat(14, 45, 123, 42, 5);
    in.sats[2] = Sat(22, 7, 5, 40);
    in.sats[6] = Sat(31, 10, 300, 30); // slots 6 and above are not shown
    in.latitude = 0.0;
    in.longitude = -122.025;
    in.height = 45.2;
    const QStringList lines = Lines(FormatStatusScreen(DatumStatusScreen(), in).text);
    const auto padded = [](const char* left) { return QString::fromLatin1(left).leftJustified(42, u' '); };
    ASSERT_EQ(lines.size(), 19);
    EXPECT_EQ(lines[0], QStringLiteral("DATUM 2000 STATUS"));
    EXPECT_EQ(lines[1], padded("Mode          LOCKED TO GPS"));
    EXPECT_EQ(lines[3], padded("Satellites    5") + QStringLiteral("PRN El  Az  C/N"));
    EXPECT_EQ(lines[4], padded("Receiver      OK") + QStringLiteral(" 14 45 123 42.5"));
    EXPECT_EQ(lines[5], padded("Oscillator    OK") + QString(15, u' '));
    EXPECT_EQ(lines[6], padded("Antenna       OK") + QStringLiteral(" 22  7   5 40.0"));
    EXPECT_EQ(lines[10], padded("Phase         12 ns"));
    EXPECT_EQ(lines[11], padded("Frequency     1.2E-12") + QStringLiteral("EFC 2.345"));
    EXPECT_EQ(lines[12], padded("Time Quality  1") + QStringLiteral("TI  1.2E-9"));
    EXPECT_EQ(lines[14], padded("Position      SURVEYED") + QStringLiteral("LAT S  0:00: 0.000"));
    EXPECT_EQ(lines[15], padded("Mode          TIMING") + QStringLiteral("LON W122:01:30.000"));
    EXPECT_EQ(lines[16], padded("Altitude      FIXED") + QStringLiteral("HGT +45.20 MSL"));
    EXPECT_EQ(lines[17], QStringLiteral("End"));
    EXPECT_EQ(lines[18], QStringLiteral("ERR            0 none"));

    // A short line loses only its own characters, never a line break.
    const QStringList shortLines =
        Lines(FormatStatusScreen(QStringLiteral("12345head\r\nab\r\n\r\nxxxxxlast"), in).text);
    EXPECT_EQ(shortLines[0], QStringLiteral("head"));
    EXPECT_EQ(shortLines[1], QString(42, u' '));
    EXPECT_EQ(shortLines[2], QString(42, u' '));
    EXPECT_EQ(shortLines[3], QStringLiteral("last"));
}

TEST(StatusScreenFormat, UccmEfcAndLeapSeconds) {
    StatusScreenInputs in = Inputs(RECEIVER_UCCM);
    in.efc = QStringLiteral("-1.25E-3");
    const QString text = FormatStatusScreen(UccmStatusScreen(), in).text;
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("EFC     -1.25E-3     .  Synchronized to UTC\r\nTracking: 5")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("HGT  +45.20 m (MSL)\r\n   Leap seconds 18\r\n")))
        << qPrintable(text);

    const QString noRule =
        QString(UccmStatusScreen()).replace(QStringLiteral("----"), QStringLiteral("===="));
    const QString withoutLeap = FormatStatusScreen(noRule, in).text;
    EXPECT_TRUE(withoutLeap.startsWith(QStringLiteral("EFC     -1.25E-3")));
    EXPECT_FALSE(withoutLeap.contains(QStringLiteral("Leap")));
    EXPECT_EQ(FormatStatusScreen(QStringLiteral("a\r\nb\r\nno marker"), in).text,
              QStringLiteral("a\r\nb\r\nno marker"));
    EXPECT_EQ(FormatStatusScreen(QStringLiteral("one line"), in).text, QStringLiteral("one line"));
}

TEST(StatusScreenFormat, JacksonTableOfFiveTrackedAndThreeNotTracked) {
    StatusScreenInputs in = Inputs(RECEIVER_JACKSON);
    in.step3Reply = QStringLiteral("3");
    in.measReply = QStringLiteral("Power Supply Voltage 12.1 V\r\nCurrent 0.5 A");
    const CSatInfo sats[] = {Sat(2, 45, 123, 42),   Sat(9, 10, 300, 0),   Sat(5, 67, 45, 45),
                             Sat(17, 5, 20, 0),     Sat(12, 30, 270, 38), Sat(25, 12, 10, 31),
                             Sat(131, 40, 190, 44), Sat(8, 1, 2, 0)};
    std::copy(std::begin(sats), std::end(sats), in.sats.begin());
    const StatusScreen screen = FormatStatusScreen(JacksonStatusScreen(), in);
    EXPECT_FALSE(screen.saasmGps);
    EXPECT_EQ(screen.measReply, QStringLiteral("PSU Volts 12.1 V  Amps 0.5 A"));

    const QString blank17(17, u' '), blank13(13, u' ');
    const QStringList expected{
        QStringLiteral("JLT GPSDO Status    Firmware 2.1"),
        QStringLiteral("UTC      12:34:56     15 Jan 2024        Holdover: 0 s"),
        QStringLiteral("EFC 2.3456 V      Lock: GPS      Disciplined"), // the tab at 27 fills to 32
        QStringLiteral("PSU Volts 12.1 V  Amps 0.5 A"),
        QString(),
        QStringLiteral("Tracking  5 ___________________   Not tracking  3 _______"),
        QStringLiteral("PRN  AZ EL  SS   PRN  AZ EL  SS   PRN  AZ EL   PRN  AZ EL"),
        QStringLiteral("  2 123 45  42   ") + QStringLiteral("  5  45 67  45   ") +
            QStringLiteral("  9 300 10   ") + QStringLiteral(" 17  20  5   "),
        QStringLiteral(" 12 270 30  38   ") + QStringLiteral(" 25  10 12  31   ") +
            QStringLiteral("  8   2  1   ") + blank13,
        QStringLiteral("131 190 40  44   ") + blank17 + blank13 + blank13 + QStringLiteral(" Leaps: 18"),
        blank17 + blank17 + blank13 + blank13 + QStringLiteral("  Life: 123456"),
        blank17 + blank17 + blank13 + blank13 + QStringLiteral("PPS TI: 1.2E-9"),
        blank17 + blank17 + blank13 + blank13 + QStringLiteral("JAMLVL: 3"),
        blank17 + blank17 + blank13 + blank13 + QStringLiteral("   EFC: 2.345"),
        blank17 + blank17 + blank13 + blank13 + QStringLiteral("   FEE: 0.1"),
        blank17 + blank17 + blank13 + blank13 + QStringLiteral("HEALTH: 0x0"),
        QString(),
        QString(),
        QString(),
        QStringLiteral("LAT  N  37:23:45.678"),
        QStringLiteral("LON  W 122:01:02.500"),
        QStringLiteral("HGT  +45.20 m (MSL)"),
        // The receiver's health monitor line was emptied, and removed to fit 23 lines.
        QStringLiteral("Self Test: PASS"),
    };
    EXPECT_EQ(screen.text, expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));

    // Formatting the stored answer again (for the page) gives the same health line.
    in.measReply = screen.measReply;
    EXPECT_EQ(FormatStatusScreen(JacksonStatusScreen(), in).text, screen.text);
    // A measurement answer reporting an error gives no health line.
    in.measReply = QStringLiteral("Error: command not found");
    EXPECT_FALSE(FormatStatusScreen(JacksonStatusScreen(), in).text.contains(QStringLiteral("Error")));
}

TEST(StatusScreenFormat, JacksonTwelveSlotLayout) {
    StatusScreenInputs in = Inputs(RECEIVER_JACKSON);
    in.sats[0] = Sat(2, 45, 123, 42);
    in.satExtra[0] = QStringLiteral("P(Y) Yes");
    in.sats[1] = Sat(9, 10, 300, 0);
    in.sats[15] = Sat(20, 20, 20, 20); // counted, not listed
    const StatusScreen screen = FormatStatusScreen(JacksonStatusScreen(true), in);
    EXPECT_TRUE(screen.saasmGps);
    const QStringList lines = Lines(screen.text);
    ASSERT_GE(lines.size(), 12);
    EXPECT_EQ(lines[4], QStringLiteral("Tracking  2 _________________ Not tracking  1"));
    EXPECT_EQ(lines[5], QStringLiteral("PRN  AZ EL  SS Code  Pvt      PRN  AZ EL"));
    EXPECT_EQ(lines[6],
              QStringLiteral("  2 123 45  42 P(Y) Yes") + QString(7, u' ') + QStringLiteral("  9 300 10   "));
    EXPECT_EQ(lines[9], QString(43, u' ') + QStringLiteral(" Leaps: 18"));
    EXPECT_EQ(lines[11], QString(43, u' ') + QStringLiteral("PPS TI: 1.2E-9"));
    EXPECT_EQ(lines[12], QString(43, u' ') + QStringLiteral("   EFC: 2.345"));
    EXPECT_FALSE(screen.text.contains(QStringLiteral("JAMLVL")));
    EXPECT_FALSE(screen.text.contains(QStringLiteral(" 20  20 20")));
    // Once seen, the layout stays even when the mark is gone.
    in.saasmGps = true;
    EXPECT_TRUE(FormatStatusScreen(JacksonStatusScreen(false), in).saasmGps);
}

TEST(StatusScreenFormat, JacksonLandmarksAndLongScreens) {
    const StatusScreenInputs in = Inputs(RECEIVER_JACKSON);
    const QString noAcquisition =
        QString(JacksonStatusScreen()).replace(QStringLiteral("ACQUISITION"), QStringLiteral("ACQ"));
    EXPECT_EQ(FormatStatusScreen(noAcquisition, in).text, noAcquisition);
    // The latitude line must not follow the acquisition line directly.
    const QString close = CrLfLines({QStringLiteral("head"), QStringLiteral("ACQUISITION .........."),
                                     QStringLiteral("LAT  N 1:2:3"), QStringLiteral("end")});
    EXPECT_EQ(FormatStatusScreen(close, in).text, close);
    EXPECT_EQ(FormatStatusScreen(
                  QString(JacksonStatusScreen()).replace(QStringLiteral("LAT "), QStringLiteral("XYZ ")), in)
                  .text,
              QString(JacksonStatusScreen()).replace(QStringLiteral("LAT "), QStringLiteral("XYZ ")));

    // Screens of any length make at most 40 lines; empty lines go first when over 23.
    QStringList longHead, longTail;
    for (int i = 0; i < 60; ++i) {
        longHead << QStringLiteral("head %1").arg(i);
        longTail << QStringLiteral("tail %1").arg(i);
    }
    const QString screen = CrLfLines(longHead) + QStringLiteral("\r\n") + JacksonStatusScreen() +
                           QStringLiteral("\r\n") + CrLfLines(longTail);
    const QStringList lines = Lines(FormatStatusScreen(screen, in).text);
    EXPECT_EQ(lines.size(), 41); // 40 lines and the empty piece after the last CR LF
    EXPECT_EQ(lines[39], QStringLiteral("head 39"));

    const QString tallTail = JacksonStatusScreen() + QStringLiteral("\r\n") + CrLfLines(longTail.mid(0, 10));
    const QStringList tall = Lines(FormatStatusScreen(tallTail, in).text);
    EXPECT_EQ(tall.size(), 27); // 26 non-empty lines are all kept
    EXPECT_FALSE(tall.mid(0, 26).contains(QString()));
}

TEST(StatusScreenFormat, ViewShowsTheFormattedScreenInTheTextWindow) {
    g_nReceiverType = RECEIVER_HP;
    CChildView view;
    view.m_strIdentity = QStringLiteral("HEWLETT-PACKARD,Z3816A,0,3817");
    view.m_strStep3Reply = QStringLiteral("+0,\"No error\"");
    view.m_strLifeCount = QStringLiteral("3412");
    view.m_strChannelValue[0] = QStringLiteral("12.875");
    view.m_nLeapCorrection = 18;
    view.m_wndText.m_strText = view.FormatStatus(HpStatusScreen());
    EXPECT_TRUE(view.m_wndText.m_strText.contains(QStringLiteral("Life     3412")));
    view.m_bRawStatus = true;
    EXPECT_EQ(view.FormatStatus(HpStatusScreen()), HpStatusScreen());

    view.resize(855, 480);
    view.m_nViewMode = 4;
    view.RecalcLayout();
    QImage image(855, 480, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(Qt::black);
        view.m_wndText.Draw(painter, image.rect());
    }
    EXPECT_TRUE(image.save(QStringLiteral(ORVANE_BINARY_DIR "/status_screen_hp.png")));
    // Something was drawn on the first and on the last (19th) text line, and nothing below.
    const auto inked = [&image](int top, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255))
                    return true;
        return false;
    };
    EXPECT_TRUE(inked(0, 480 / 23));
    EXPECT_TRUE(inked(18 * 480 / 23, 19 * 480 / 23));
    EXPECT_FALSE(inked(19 * 480 / 23 + 2, 480));
}
