// The formatted status screen of each family, and the text window drawing it.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/StatusFormatter.h"
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
    in.identity = "HP Z3816A";
    in.step3Reply = "+0";
    in.lifeCount = "123456";
    in.efc = "2.345";
    in.ti = "1.2E-9";
    in.feeReply = "0.1";
    in.healthReply = "0x0";
    in.leapCorrection = 18;
    return in;
}

QStringList Lines(const QString& text) {
    return text.split("\r\n");
}

const QString kBlank13(13, u' ');
const QString kBlank17(17, u' ');

} // namespace

TEST(StatusScreenFormat, RawOnRequestAndProteusAsItCame) {
    const QString screens[] = {HpStatusScreen(), DatumStatusScreen(), ProteusPage(), JacksonStatusScreen(),
                               UccmStatusScreen()};
    for (int family = 0; family < kReceiverFamilies; ++family) {
        StatusScreenInputs in = Inputs(family);
        in.rawStatus = true;
        EXPECT_EQ(FormatStatusScreen(screens[family], in).text, screens[family]) << family;
    }
    EXPECT_EQ(FormatStatusScreen(ProteusPage(), Inputs(RECEIVER_PROTEUS)).text, ProteusPage());
}

TEST(StatusScreenFormat, HewlettPackardTitleLifeAndLeapSeconds) {
    QStringList expected = Lines(HpStatusScreen());
    expected[0] = QString(34, u' ') + "HP Z3816A +0" + QString(34, u' ');
    expected[1] = "Life     123456" + QString(31, u' ') + "EFC     2.345";
    expected[5] = "Time _____ Leap seconds 18 " + QString(52, u'_');
    EXPECT_EQ(Lines(FormatStatusScreen(HpStatusScreen(), Inputs(RECEIVER_HP)).text), expected);

    EXPECT_EQ(FormatStatusScreen("no line feed", Inputs(RECEIVER_HP)).text, "no line feed");
}

TEST(StatusScreenFormat, DatumAddsSatellitesValuesAndPosition) {
    StatusScreenInputs in = Inputs(RECEIVER_DATUM);
    in.step3Reply = "ERR0 none";
    in.sats[0] = Sat(14, 45, 123, 42, 5);
    in.sats[2] = Sat(22, 7, 5, 40);
    in.sats[6] = Sat(31, 10, 300, 30); // only slots 0 to 5 are shown
    in.longitude = -122.025;           // latitude 0 prints as south
    in.height = 45.2;
    const QStringList lines = Lines(FormatStatusScreen(DatumStatusScreen(), in).text);
    ASSERT_EQ(lines.size(), 19);
    EXPECT_EQ(lines[0], "DATUM 2000 STATUS");
    EXPECT_EQ(lines[2], "Holdover      0 s" + QString(25, u' '));
    // Each line after the first is padded to 42 characters, then gets the text for its number.
    const std::pair<int, const char*> right[] = {
        {3, "PRN El  Az  C/N"},     {4, " 14 45 123 42.5"},     {5, "               "},
        {6, " 22  7   5 40.0"},     {11, "EFC 2.345"},          {12, "TI  1.2E-9"},
        {14, "LAT S  0:00: 0.000"}, {15, "LON W122:01:30.000"}, {16, "HGT +45.20 MSL"}};
    for (const auto& [line, text] : right)
        EXPECT_EQ(lines[line].mid(42), text) << line;
    EXPECT_EQ(lines[17], "End");
    EXPECT_EQ(lines[18], "ERR            0 none");
    // A short line loses only its own characters, never a line break.
    EXPECT_EQ(Lines(FormatStatusScreen("12345head\r\nab\r\n\r\nxxxxxlast", in).text).mid(0, 4),
              (QStringList{"head", QString(42, u' '), QString(42, u' '), "last"}));
}

TEST(StatusScreenFormat, UccmEfcAndLeapSeconds) {
    StatusScreenInputs in = Inputs(RECEIVER_UCCM);
    in.efc = "-1.25E-3";
    const QString text = FormatStatusScreen(UccmStatusScreen(), in).text;
    // The title line and the rule under it go; the unit line stays.
    EXPECT_TRUE(
        text.startsWith("Unit: UCCM-P\r\nEFC     -1.25E-3     .  Synchronized to UTC\r\nTracking: 5"));
    EXPECT_TRUE(text.endsWith("HGT  +45.20 m (MSL)\r\n   Leap seconds 18\r\n"));
    const QString withoutRule = UccmStatusScreen().replace("----", "====");
    EXPECT_FALSE(FormatStatusScreen(withoutRule, in).text.contains("Leap"));
    EXPECT_EQ(FormatStatusScreen("a\r\nb\r\nno marker", in).text, "a\r\nb\r\nno marker");
}

TEST(StatusScreenFormat, JacksonTableOfFiveTrackedAndThreeNotTracked) {
    StatusScreenInputs in = Inputs(RECEIVER_JACKSON);
    in.step3Reply = "3";
    in.measReply = "Power Supply Voltage 12.1 V\r\nCurrent 0.5 A";
    const CSatInfo sats[] = {Sat(2, 45, 123, 42),   Sat(9, 10, 300, 0),   Sat(5, 67, 45, 45),
                             Sat(17, 5, 20, 0),     Sat(12, 30, 270, 38), Sat(25, 12, 10, 31),
                             Sat(131, 40, 190, 44), Sat(8, 1, 2, 0)};
    std::copy(std::begin(sats), std::end(sats), in.sats.begin());
    const StatusScreen screen = FormatStatusScreen(JacksonStatusScreen(), in);
    EXPECT_FALSE(screen.saasmGps);
    EXPECT_EQ(screen.measReply, "PSU Volts 12.1 V  Amps 0.5 A");
    const QString empty = kBlank17 + kBlank17 + kBlank13 + kBlank13;
    const QStringList expected{
        "JLT GPSDO Status    Firmware 2.1", "UTC      12:34:56     15 Jan 2024        Holdover: 0 s",
        "EFC 2.3456 V      Lock: GPS      Disciplined", // the tab at 27 fills up to 32
        "PSU Volts 12.1 V  Amps 0.5 A", "", "Tracking  5 ___________________   Not tracking  3 _______",
        "PRN  AZ EL  SS   PRN  AZ EL  SS   PRN  AZ EL   PRN  AZ EL",
        "  2 123 45  42     5  45 67  45     9 300 10    17  20  5   ",
        " 12 270 30  38    25  10 12  31     8   2  1   " + kBlank13,
        QString("131 190 40  44   ") + kBlank17 + kBlank13 + kBlank13 + " Leaps: 18",
        empty + "  Life: 123456", empty + "PPS TI: 1.2E-9", empty + "JAMLVL: 3", empty + "   EFC: 2.345",
        empty + "   FEE: 0.1", empty + "HEALTH: 0x0", "", "", "", "LAT  N  37:23:45.678",
        "LON  W 122:01:02.500", "HGT  +45.20 m (MSL)",
        // the receiver's health monitor line was emptied, then removed to fit 23 lines
        "Self Test: PASS", ""};
    EXPECT_EQ(Lines(screen.text), expected);

    in.measReply = screen.measReply; // formatting the stored answer again gives the same screen
    EXPECT_EQ(FormatStatusScreen(JacksonStatusScreen(), in).text, screen.text);
    in.measReply = "Error: command";
    EXPECT_FALSE(FormatStatusScreen(JacksonStatusScreen(), in).text.contains("Error"));
}

TEST(StatusScreenFormat, JacksonTwelveSlotLayout) {
    StatusScreenInputs in = Inputs(RECEIVER_JACKSON);
    in.sats[0] = Sat(2, 45, 123, 42);
    in.satExtra[0] = "P(Y) Yes";
    in.sats[1] = Sat(9, 10, 300, 0);
    in.sats[15] = Sat(20, 20, 20, 20); // counted, not listed
    const StatusScreen screen = FormatStatusScreen(JacksonStatusScreen(true), in);
    EXPECT_TRUE(screen.saasmGps);
    const QStringList lines = Lines(screen.text);
    const QString empty(43, u' ');
    EXPECT_EQ(lines.mid(4, 9),
              (QStringList{"Tracking  2 _________________ Not tracking  1",
                           "PRN  AZ EL  SS Code  Pvt      PRN  AZ EL",
                           "  2 123 45  42 P(Y) Yes         9 300 10   ", "", "", empty + " Leaps: 18",
                           empty + "  Life: 123456", empty + "PPS TI: 1.2E-9", empty + "   EFC: 2.345"}));
    in.saasmGps = true; // once seen, the layout stays
    EXPECT_TRUE(FormatStatusScreen(JacksonStatusScreen(false), in).saasmGps);
}

TEST(StatusScreenFormat, JacksonLandmarksAndLongScreens) {
    const StatusScreenInputs in = Inputs(RECEIVER_JACKSON);
    const QString unchanged[] = {
        JacksonStatusScreen().replace("ACQUISITION", "ACQ"), JacksonStatusScreen().replace("LAT ", "XYZ "),
        CrLfLines({"head", "ACQUISITION ..........", "LAT  N 1:2:3", "end"}), // latitude right after
    };
    for (const QString& text : unchanged)
        EXPECT_EQ(FormatStatusScreen(text, in).text, text);

    // A screen of any length makes at most 40 lines, its head included.
    QStringList head, tail;
    for (int i = 0; i < 60; ++i) {
        head << QString("head %1").arg(i);
        tail << QString("tail %1").arg(i);
    }
    const QString longScreen = CrLfLines(head + QStringList{JacksonStatusScreen()} + tail);
    EXPECT_EQ(Lines(FormatStatusScreen(longScreen, in).text), head.mid(0, 40) + QStringList{""});
    // Over 23 lines, empty lines go first; lines with text all stay.
    const QStringList tall =
        Lines(FormatStatusScreen(CrLfLines(QStringList{JacksonStatusScreen()} + tail.mid(0, 10)), in).text);
    EXPECT_EQ(tall.size(), 27);
    EXPECT_EQ(tall.indexOf(QString()), 26);
}

TEST(StatusScreenFormat, TextWindowDrawsTheViewsScreen) {
    g_nReceiverType = RECEIVER_HP;
    CChildView view;
    view.m_strIdentity = "HEWLETT-PACKARD,Z3816A,0,3817";
    view.m_nLeapCorrection = 18;
    view.m_wndText.m_strText = view.FormatStatus(HpStatusScreen());
    EXPECT_TRUE(view.m_wndText.m_strText.contains("Leap seconds 18"));
    view.m_bRawStatus = true;
    EXPECT_EQ(view.FormatStatus(HpStatusScreen()), HpStatusScreen());

    view.resize(855, 480);
    view.m_nViewMode = ViewModeStatus;
    view.RecalcLayout();
    QImage image(855, 480, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    view.m_wndText.Draw(painter, image.rect());
    painter.end();
    const auto inked = [&image](int top, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255))
                    return true;
        return false;
    };
    // 19 lines at 1/23 of the height each, nothing below.
    EXPECT_TRUE(inked(0, 480 / 23));
    EXPECT_TRUE(inked(18 * 480 / 23, 19 * 480 / 23));
    EXPECT_FALSE(inked(19 * 480 / 23 + 2, 480));
}
