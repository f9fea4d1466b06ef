// The sky map drawn from a known satellite table and track file: the picture looked at and
// checked at chosen pixels, the incremental track records against a full read, the read-out,
// the replay, and the images exported by the view.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "displays/MapColours.h"
#include "displays/MapGeometry.h"
#include "displays/SkyMapPainter.h"
#include "receiver/SatelliteTrackFile.h"
#include "support/FixedWallClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

CSatInfo Sat(int prn, int elevation, int azimuth, int snrWhole, int snrTenths = 0, std::uint32_t time = 0) {
    CSatInfo sat;
    sat.m_byPrnLow = static_cast<std::uint8_t>(prn & 0xFF);
    sat.m_byPrnHigh = static_cast<std::uint8_t>(prn >> 8);
    sat.m_byElevation = static_cast<std::uint8_t>(elevation);
    sat.m_wAzimuth = static_cast<std::uint16_t>(azimuth);
    sat.m_bySnrWhole = static_cast<std::uint8_t>(snrWhole);
    sat.m_bySnrTenths = static_cast<std::uint8_t>(snrTenths);
    sat.m_dwTime = time;
    return sat;
}

QByteArray Records(const std::vector<CSatInfo>& sats) {
    QByteArray bytes;
    for (const CSatInfo& sat : sats) {
        const SatRecordBytes record = SerialiseSatInfo(sat);
        bytes.append(reinterpret_cast<const char*>(record.data()), kSatRecordBytes);
    }
    return bytes;
}

void WriteFile(const QString& path, const QByteArray& bytes,
               QIODevice::OpenMode mode = QIODevice::WriteOnly) {
    QFile file(path);
    ASSERT_TRUE(file.open(mode));
    file.write(bytes);
}

class SkyMap : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetWallClock(std::make_shared<FixedWallClock>(1700000000));
        g_nReceiverType = RECEIVER_HP;
        g_bUseBitmap = true;
        m_view.m_strDumpPath = m_dir.filePath("gpsdmp.bin");
        m_view.m_dLatitude = 51.5;
        m_view.m_dLongitude = -0.25;
        m_view.m_dHeight = 45.2;
        m_view.m_sat[0] = Sat(5, 45, 90, 42);
        m_view.m_sat[1] = Sat(12, 30, 200, 35, 5);
        m_view.m_sat[2] = Sat(17, 10, 300, 0);
        m_view.m_wndMap.resize(600, 600);
    }
    void TearDown() override { platform::SetWallClock(nullptr); }

    QImage Render(CMapWnd& map) {
        QImage image(map.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        map.Draw(painter, image.size());
        return image;
    }
    QImage Render() { return Render(m_view.m_wndMap); }
    QPoint Pixel(QPoint logical) const { return MapMapping(m_view.m_wndMap.size()).map(logical); }
    // Pictures for people to look at, in the build folder.
    static void Save(const QImage& image, const char* name) {
        const QString folder = QStringLiteral(ORVANE_BINARY_DIR "/screenshots");
        QDir().mkpath(folder);
        image.save(QStringLiteral("%1/map_%2.png").arg(folder, QLatin1String(name)));
    }

    QTemporaryDir m_dir;
    CChildView m_view;
};

} // namespace

// True when the colour is within `radius` pixels of the point.
bool ColourNear(const QImage& image, QPoint at, QRgb colour, int radius = 2) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (image.valid(at + QPoint(dx, dy)) && image.pixel(at + QPoint(dx, dy)) == colour)
                return true;
    return false;
}

TEST_F(SkyMap, PictureOfTableAndTrackFile) {
    std::vector<CSatInfo> track;
    for (int az = 0; az < 360; az += 2)
        track.push_back(Sat(7, 60, az, az < 180 ? 30 : 45));
    for (int az = 100; az <= 140; ++az)
        track.push_back(Sat(9, 30, az, 0));
    WriteFile(m_view.m_strDumpPath, Records(track));
    Render(); // the colours come from the previous drawing's range
    QImage image = Render();
    Save(image, "map");
    // Sat 5 at level 42 in the range 30 to 45: index 6 of the scale.
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(45, 90))), g_SignalColours[6]);
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(10, 300))), kUntrackedColour);
    EXPECT_TRUE(ColourNear(image, Pixel(SkyPoint(0, 45)), kFrameGrey)); // the horizon
    EXPECT_EQ(m_view.m_wndMap.m_dSignalMax, 45.0);
    EXPECT_EQ(m_view.m_wndMap.m_dSignalMin, 30.0);
    // The equator's visible half runs through the south for a northern site.
    const int equatorSouth = static_cast<int>(1000 * std::sin(51.5 * kDegrees));
    EXPECT_TRUE(ColourNear(image, Pixel({0, -equatorSouth}), kDeclinationGreen));
    EXPECT_FALSE(ColourNear(image, Pixel({0, equatorSouth}), kDeclinationGreen));

    m_view.m_nTrailMode = TrailNone;
    image = Render();
    Save(image, "map-outline");
    // The outline: the highest untracked elevation where one was seen, the horizon elsewhere.
    EXPECT_TRUE(ColourNear(image, Pixel(SkyPoint(30, 120)), kOutlineGreen));
    EXPECT_TRUE(ColourNear(image, Pixel(SkyPoint(0, 250)), kOutlineGreen, 3));
    EXPECT_FALSE(ColourNear(image, Pixel(SkyPoint(60, 250)), kOutlineGreen));

    m_view.m_bIdentSats = false;
    image = Render();
    Save(image, "map-legend");
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(45, 90))), g_PrnColours[5]);
}

TEST_F(SkyMap, TheOutlineRunsAlongTheLowerOfUntrackedAndTracked) {
    // North: untracked up to 81, tracked down to 2; south: untracked at 70, tracked down to 45.
    WriteFile(m_view.m_strDumpPath,
              Records({Sat(3, 81, 0, 0), Sat(3, 40, 0, 0), Sat(8, 2, 0, 31), Sat(8, 50, 0, 38),
                       Sat(6, 70, 180, 0), Sat(9, 45, 180, 25), Sat(9, 60, 180, 30)}));
    m_view.m_nTrailMode = TrailNone;
    const QImage image = Render();
    Save(image, "outline-north");
    EXPECT_TRUE(ColourNear(image, Pixel(SkyPoint(45, 180)), kOutlineGreen, 3));
    // Nothing of the outline up the north line, nor above the lowest tracked in the south.
    for (int elevation = 30; elevation <= 85; elevation += 5) {
        EXPECT_FALSE(ColourNear(image, Pixel(SkyPoint(elevation, 0)), kOutlineGreen)) << elevation;
        if (elevation > 50) {
            EXPECT_FALSE(ColourNear(image, Pixel(SkyPoint(elevation, 180)), kOutlineGreen)) << elevation;
        }
    }
}

TEST_F(SkyMap, AppendedTrimmedAndReplacedFilesDrawAsAFullRead) {
    std::vector<CSatInfo> records;
    for (int i = 0; i < 6000; ++i)
        records.push_back(Sat(1 + i % 12, 5 + i * 7 % 80, i * 13 % 360, i % 9 == 0 ? 0 : 20 + i % 25));
    WriteFile(m_view.m_strDumpPath, Records(records));
    CMapWnd& kept = m_view.m_wndMap;
    // The same picture from a window that reads the whole file now (drawn twice, so both take
    // their colours from a drawing of the same file).
    const auto expectSameAsFullRead = [&](const char* step) {
        for (const int mode : {TrailExtended, TrailRecent, TrailNone}) {
            m_view.m_nTrailMode = mode;
            Render(kept);
            const QImage incremental = Render(kept);
            CMapWnd fresh(&m_view);
            fresh.resize(kept.size());
            Render(fresh);
            EXPECT_TRUE(Render(fresh) == incremental) << step << " trail mode " << mode;
        }
    };
    Render(kept);
    std::vector<CSatInfo> more;
    for (int i = 0; i < 500; ++i)
        more.push_back(Sat(20 + i % 5, 40 + i % 30, (i * 3 + 7) % 360, i % 4 == 0 ? 0 : 45));
    WriteFile(m_view.m_strDumpPath, Records(more) + "abc", QIODevice::Append);
    expectSameAsFullRead("appended");
    // The track file's trim keeps the newest records (the partial tail goes too).
    std::array<CSatInfo, kSatelliteSlots> snapshot{};
    snapshot[0] = Sat(30, 70, 10, 40);
    ASSERT_TRUE(AppendTrackSnapshot(m_view.m_strDumpPath, snapshot, 1, 1700000000, 1));
    expectSameAsFullRead("trimmed");
    // Rewritten in place with other records of the same length.
    QFile file(m_view.m_strDumpPath);
    const qint64 length = file.size();
    std::vector<CSatInfo> other(static_cast<std::size_t>(length / kSatRecordBytes), Sat(31, 20, 300, 33));
    WriteFile(m_view.m_strDumpPath, Records(other));
    expectSameAsFullRead("rewritten");
}

TEST_F(SkyMap, RecentTrailsDrawTheNewest4999Records) {
    // Records 1000 and 1001 alone at their points; the rest at one point of their own.
    std::vector<CSatInfo> records(6000, Sat(3, 80, 0, 30));
    records[1000] = Sat(3, 20, 90, 30);
    records[1001] = Sat(3, 20, 270, 30);
    WriteFile(m_view.m_strDumpPath, Records(records));
    m_view.m_sat = {};
    const QPoint oldest = Pixel(SkyPoint(20, 90)) + QPoint(1, -1);
    const QPoint newer = Pixel(SkyPoint(20, 270)) + QPoint(1, -1);
    QImage image = Render();
    EXPECT_EQ(image.pixel(oldest), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(newer), g_SignalColours[0]);
    m_view.m_nTrailMode = TrailExtended;
    image = Render();
    EXPECT_EQ(image.pixel(oldest), g_SignalColours[0]);
    m_view.m_nTrailMode = TrailNone;
    image = Render();
    EXPECT_EQ(image.pixel(newer), qRgb(255, 255, 255));
}

TEST_F(SkyMap, SatellitesAtTheEdgesOfTheirRanges) {
    // Tracked at azimuth 0, elevation 0: on the horizon at the top. Levels 30 and 40 make the
    // range; the satellite at the top of it is black, and still numbered.
    m_view.m_sat = {};
    m_view.m_sat[0] = Sat(5, 0, 0, 30);
    m_view.m_sat[1] = Sat(6, 45, 135, 40);
    m_view.m_sat[2] = Sat(7, 45, 225, 1, 5); // 1.5: coloured by the range, outside it
    Render();
    QImage image = Render();
    Save(image, "edges");
    EXPECT_EQ(m_view.m_wndMap.m_dSignalMin, 30.0); // 1.5 leaves the range alone
    EXPECT_EQ(m_view.m_wndMap.m_dSignalMax, 40.0);
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(0, 0))), g_SignalColours[0]);
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(45, 135))), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(45, 225))), g_SignalColours[0]);
    // The number ends at the symbol's left edge, on its centre line.
    const QPoint left = Pixel(SkyPoint(45, 135) + QPoint(-22, 0));
    bool labelled = false;
    for (int x = left.x() - 20; x < left.x(); ++x)
        for (int y = left.y() - 12; y <= left.y(); ++y)
            labelled |= qGreen(image.pixel(x, y)) > qRed(image.pixel(x, y)) + 60;
    EXPECT_TRUE(labelled);

    // Untracked at azimuth 0, elevation 0: left out of the map and the legend.
    m_view.m_sat[0] = Sat(5, 0, 0, 0);
    m_view.m_bIdentSats = false;
    image = Render();
    EXPECT_NE(image.pixel(Pixel(SkyPoint(0, 0))), g_PrnColours[5]);
    EXPECT_FALSE(ColourNear(image, Pixel({925, -1032 + 50 - 18}), g_PrnColours[5], 4));

    // A track-file level of 1.5 counts as 2.0.
    WriteFile(m_view.m_strDumpPath, Records({Sat(8, 30, 30, 1, 5), Sat(8, 31, 30, 20)}));
    Render();
    EXPECT_EQ(m_view.m_wndMap.m_dSignalMin, 2.0);
}

TEST_F(SkyMap, LatitudeZeroAndTheReadOut) {
    EXPECT_EQ(PositionLines(0.0, 0.0, 0.0)[0], QStringLiteral("S  0:00: 0.000"));
    EXPECT_EQ(PositionLines(-33.5, 151.25, -3.456),
              (std::array<QString, 3>{"S 33:30: 0.000", "E151:15: 0.000", "-3.46 m"}));
    m_view.m_dLatitude = 0.0;
    const QImage image = Render();
    EXPECT_FALSE(ColourNear(image, image.rect().center(), kDeclinationGreen, image.width())); // anywhere

    const auto& sats = m_view.m_sat;
    EXPECT_EQ(ReadOutText({0, 1051}, sats), QString());
    EXPECT_EQ(ReadOutText({0, 1020}, sats), QStringLiteral("0.0 0.0"));
    EXPECT_EQ(ReadOutText({-500, 0}, sats), QStringLiteral("60.0 270.0"));
    EXPECT_EQ(ReadOutText(QPointF(SkyPoint(31, 201)), sats), QStringLiteral("31.0 201.0 [12] 35.5"));

    // The window's read-out: under the map while the mouse is over it, gone when it leaves.
    CMapWnd& map = m_view.m_wndMap;
    map.grab(); // the view lays out its windows when first painted
    const QRect strip = SkyMapPainter::ReadOutRect(map.size());
    // Whether the window shows more in the strip than the cached map has there.
    const auto stripInked = [&] { return map.grab().toImage().copy(strip) != map.m_bmpCache.copy(strip); };
    const QPoint over = Pixel(SkyPoint(45, 90)); // the window's size as laid out
    QMouseEvent move(QEvent::MouseMove, over, map.mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&map, &move);
    EXPECT_TRUE(map.ReadOut(over).endsWith(QStringLiteral(" [5] 42"))) << qPrintable(map.ReadOut(over));
    Save(map.grab().toImage(), "read-out");
    EXPECT_TRUE(stripInked());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&map, &leave);
    EXPECT_FALSE(stripInked());
}

TEST_F(SkyMap, ForeignAzimuthsAndACorruptTail) {
    // Azimuths of 360 and more: drawn where they point, never in the per-azimuth tables.
    WriteFile(m_view.m_strDumpPath,
              Records({Sat(4, 50, 360, 0), Sat(4, 60, 450, 0), Sat(4, 70, 65535, 30), Sat(4, 10, 5, 30)}) +
                  QByteArray("\x04\x32\x05", 3));
    m_view.m_nTrailMode = TrailExtended;
    QImage image = Render();
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(60, 450)) + QPoint(1, -1)), kUntrackedColour);
    m_view.m_nTrailMode = TrailNone;
    image = Render();
    Save(image, "foreign");
    EXPECT_TRUE(ColourNear(image, Pixel(SkyPoint(0, 0)), kOutlineGreen, 3));
    EXPECT_TRUE(ColourNear(image, Pixel(SkyPoint(0, 90)), kOutlineGreen, 3));
    EXPECT_FALSE(ColourNear(image, Pixel(SkyPoint(50, 0)), kOutlineGreen));
}

TEST_F(SkyMap, ReplayRunsToItsEndOrAPressWithThePollCycleHeld) {
    std::vector<CSatInfo> records;
    for (int i = 0; i < 24 * 40 + 5; ++i)
        records.push_back(Sat(1 + i % 8, 10 + i % 70, i * 7 % 360, 30, 0, 1700000000 + i / 8 * 10));
    WriteFile(m_view.m_strDumpPath, Records(records));
    m_view.m_wndMap.show();
    // A tick posted before the replay and a timer firing all through it: neither runs inside it.
    m_view.m_wndGraph.m_bCacheValid = true;
    m_view.PostTimer(IDT_GRAPH_REFRESH);
    ASSERT_TRUE(m_view.OnCmdMsg(ID_ANIMATE_SATELLITES));
    EXPECT_EQ(m_view.m_wndMap.ReplayedGroups(), 40); // the 5 records after the last group are not drawn
    EXPECT_TRUE(m_view.m_wndGraph.m_bCacheValid);
    for (const CSatInfo& sat : m_view.m_sat)
        EXPECT_FALSE(sat.InUse());
    const QImage replay = m_view.m_wndMap.ReplayPicture();
    Save(replay, "replay");
    const QPoint last = Pixel(records[24 * 40 - 1].ToPoint()) + QPoint(1, -1);
    EXPECT_EQ(replay.pixel(last), g_PrnColours[records[24 * 40 - 1].m_byPrnLow]);
    // The deferred tick runs after the replay.
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_view.m_wndGraph.m_bCacheValid);

    // A key press stops the replay after the group it came in, and is swallowed.
    m_view.m_wndGraph.m_bCacheValid = true;
    m_view.SetTimer(IDT_GRAPH_REFRESH, 0);
    QCoreApplication::postEvent(&m_view.m_wndMap,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    m_view.OnCmdMsg(ID_ANIMATE_SATELLITES);
    EXPECT_EQ(m_view.m_wndMap.ReplayedGroups(), 1);
    EXPECT_TRUE(m_view.m_wndGraph.m_bCacheValid);
    EXPECT_TRUE(m_view.IsTimerActive(IDT_GRAPH_REFRESH));
}

TEST_F(SkyMap, BackdropHonoursTransparencyAndIsReadAgainWhenChanged) {
    // Opaque red on the left half, transparent on the right.
    QImage backdrop(100, 100, QImage::Format_ARGB32);
    backdrop.fill(Qt::transparent);
    QPainter(&backdrop).fillRect(0, 0, 50, 100, QColor(200, 0, 0));
    const QString path = m_dir.filePath("Earth.PNG");
    ASSERT_TRUE(backdrop.save(path));
    m_view.m_strMapPath = path;
    m_view.m_bMapBackdrop = true;
    m_view.m_sat = {};
    QImage image = Render();
    Save(image, "backdrop");
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(35, 260))), qRgb(200, 0, 0));
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(35, 100))), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(Pixel({-990, 990})), qRgb(255, 255, 255)); // outside the horizon
    EXPECT_FALSE(ColourNear(image, Pixel({0, -static_cast<int>(1000 * std::sin(51.5 * kDegrees))}),
                            kDeclinationGreen));

    QImage blue(120, 100, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 200));
    ASSERT_TRUE(blue.save(path, "PNG"));
    image = Render();
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(35, 100))), qRgb(0, 0, 200));
    // A backdrop that cannot be loaded: drawn as without one.
    QFile::remove(path);
    image = Render();
    EXPECT_EQ(image.pixel(Pixel(SkyPoint(35, 100))), qRgb(255, 255, 255));
}
