// The sky map drawn from a known satellite table and track file: the picture looked at and
// checked at chosen pixels, the incremental track records against a full read, the read-out,
// the replay, and the images exported by the view.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "displays/MapColours.h"
#include "displays/MapGeometry.h"
#include "receiver/SatelliteTrackFile.h"
#include "support/FixedWallClock.h"

#include <QFile>
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
    void Save(const QImage& image, const char* name) {
        image.save(QStringLiteral("/tmp/mapwork/%1.png").arg(name));
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
