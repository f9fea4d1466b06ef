// Image files written by the encoder: every format read back at its size, the encoder chosen by
// the extension whatever its case, and nothing written when it cannot be done.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "publishing/ExportedImage.h"
#include "publishing/ImagePalette.h"
#include "support/FileBytes.h"
#include "support/FixedWallClock.h"
#include "support/WithoutFileOverride.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace {

// White with a red square in the upper left quarter and a blue one in the lower right.
QImage Picture(int width, int height) {
    QImage image = NewExportImage(width, height);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, QColor(255, 0, 0));
    painter.fillRect(width / 2, height / 2, width / 2, height / 2, QColor(0, 0, 255));
    return image;
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

TEST(ExportedImage, EveryFormatReadsBackAtItsSize) {
    QTemporaryDir dir;
    const QImage picture = Picture(320, 200);
    // Name, the format a reader finds in the file, and how far lossy colours may drift.
    const struct {
        const char* name;
        const char* format;
        int tolerance;
    } cases[] = {{"Graph.PNG", "png", 0},
                 {"map.bmp", "bmp", 0},
                 {"Map.Jpg", "jpeg", 24},
                 {"x.jpeg", "jpeg", 24},
                 {"Sky.GIF", "gif", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        const ImageWriteResult result = WriteExportedImage(picture, path);
        ASSERT_TRUE(result.ok) << result.error.toStdString();
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).contains(c.name)); // the name keeps its case
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), QByteArray(c.format));
        const QImage back = reader.read();
        ASSERT_EQ(back.size(), picture.size());
        EXPECT_TRUE(Near(back.pixel(10, 10), qRgb(255, 0, 0), c.tolerance));
        EXPECT_TRUE(Near(back.pixel(300, 190), qRgb(0, 0, 255), c.tolerance));
        EXPECT_TRUE(Near(back.pixel(300, 10), qRgb(255, 255, 255), c.tolerance));
    }
}

TEST(ExportedImage, GifOfManyColoursKeepsItsPicture) {
    QTemporaryDir dir;
    QImage gradient(256, 64, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(x, y * 4, 255 - x));
    const QString path = dir.filePath("gradient.gif");
    ASSERT_TRUE(WriteExportedImage(gradient, path).ok);
    const QImage back(path);
    ASSERT_EQ(back.size(), gradient.size());
    for (const QPoint p : {QPoint(0, 0), QPoint(128, 32), QPoint(255, 63)})
        EXPECT_TRUE(Near(back.pixel(p), gradient.pixel(p), 64)) << p.x() << "," << p.y();
}

TEST(ExportedImage, EveryPixelOfAGifTakesItsNearestPaletteEntryWhateverTheNumberOfColours) {
    // 512 x 512 pixels, each of a colour of its own.
    QImage gradient(512, 512, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(x / 2, y / 2, 128 * (x % 2) + 64 * (y % 2) + (x + y) / 16));
    const QImage indexed = ToOwnPalette(gradient);
    ASSERT_EQ(indexed.size(), gradient.size());
    const QList<QRgb> palette = indexed.colorTable();
    ASSERT_EQ(palette.size(), 256);
    const auto distance = [](QRgb a, QRgb b) {
        const int r = qRed(a) - qRed(b), g = qGreen(a) - qGreen(b), bl = qBlue(a) - qBlue(b);
        return r * r + g * g + bl * bl;
    };
    int off = 0;
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x) {
            const QRgb colour = gradient.pixel(x, y);
            int nearest = INT_MAX;
            for (const QRgb entry : palette)
                nearest = std::min(nearest, distance(entry, colour));
            off += distance(palette[indexed.pixelIndex(x, y)], colour) != nearest ? 1 : 0;
        }
    EXPECT_EQ(off, 0);
}

TEST(ExportedImage, AGifOfTheWindowsGraphIsItsPngBarTheRareColours) {
    platform::SetWallClock(std::make_shared<FixedWallClock>(1709680029));
    g_bUseBitmap = true;
    QTemporaryDir dir;
    CChildView view;
    view.m_strLogPath = dir.filePath("Gps.log");
    view.m_bPlot.fill(false);
    const std::array<COLORREF, 4> traces = {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 160, 0), RGB(200, 0, 200)};
    for (int c = 0; c < 4; ++c) {
        view.m_bPlot[c] = true;
        view.m_crTrace[c] = traces[c];
        view.m_bMean[c] = view.m_bStdDev[c] = true;
    }
    QByteArray log;
    for (int i = 0; i < 600; ++i) {
        log += QByteArray::number(1709600000 + 60 * i);
        for (const double v : {std::sin(i / 40.0), 1e-9 * (i % 50), 25.0 + i % 7, 3e3 * std::cos(i / 90.0)})
            log += '\t' + QByteArray::number(v, 'g', 10);
        log += "\t\r\n";
    }
    ASSERT_TRUE(WriteFileBytes(view.m_strLogPath, log));
    CGraView& graph = view.m_wndGraph;
    graph.resize(640, 480);
    graph.CreateCachedBitmap();
    // The window's picture, as a PNG and as a GIF.
    graph.ExportImage(dir.filePath("graph.png"), true, false, QRect(0, 0, 640, 480));
    graph.ExportImage(dir.filePath("graph.gif"), true, false, QRect(0, 0, 640, 480));
    const QImage png = QImage(dir.filePath("graph.png")).convertToFormat(QImage::Format_RGB32);
    const QImage gif = QImage(dir.filePath("graph.gif")).convertToFormat(QImage::Format_RGB32);
    QDir().mkpath(QStringLiteral(ORVANE_BINARY_DIR "/screenshots"));
    gif.save(QStringLiteral(ORVANE_BINARY_DIR "/screenshots/export_graph_gif.png"));
    ASSERT_EQ(png.size(), QSize(640, 480));
    ASSERT_EQ(gif.size(), png.size());

    std::map<QRgb, int> counts;
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x)
            ++counts[png.pixel(x, y)];
    ASSERT_GT(counts.size(), 256u); // more than a GIF can hold
    ASSERT_GT(counts[qRgb(255, 255, 255)], png.width() * png.height() / 2);
    for (const COLORREF trace : traces)
        ASSERT_GT(counts[qRgb(GetRValue(trace), GetGValue(trace), GetBValue(trace))], 100);
    // The background, the traces and every other colour of some area come out exact; the rare
    // ones (edges of letters) near.
    int rare = 0;
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x) {
            const QRgb want = png.pixel(x, y);
            const QRgb got = gif.pixel(x, y);
            if (counts[want] >= 20) {
                ASSERT_EQ(got, want) << x << "," << y << " of a colour on " << counts[want] << " pixels";
            } else if (got != want) {
                ++rare;
                ASSERT_TRUE(Near(got, want, 32)) << x << "," << y;
            }
        }
    }
    EXPECT_LT(rare, png.width() * png.height() / 50);
    platform::SetWallClock(nullptr);
}

TEST(ExportedImage, NothingIsWrittenWhenItCannotBeDone) {
    QTemporaryDir dir;
    const QImage picture = Picture(50, 50);
    for (const char* name : {"graph.txt", "graph", "graph.tif"}) {
        const ImageWriteResult result = WriteExportedImage(picture, dir.filePath(name));
        EXPECT_FALSE(result.ok) << name;
        EXPECT_FALSE(result.error.isEmpty());
    }
    EXPECT_FALSE(WriteExportedImage(picture, dir.filePath("missing/graph.png")).ok);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());

    // In a folder that refuses new files an export is not written in place: the earlier image
    // stays as it was. Only a published picture (the page's) is written in place there.
    const QString path = dir.filePath("kept.png");
    const QString published = dir.filePath("published.png");
    ASSERT_TRUE(WriteExportedImage(picture, path).ok);
    ASSERT_TRUE(WriteExportedImage(picture, published).ok);
    {
        const WithoutFileOverride asAUser;
        ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const ImageWriteResult refused = WriteExportedImage(Picture(80, 80), path);
        EXPECT_FALSE(refused.ok);
        EXPECT_TRUE(refused.error.contains(QStringLiteral("Permission denied")))
            << refused.error.toStdString();
        EXPECT_TRUE(WriteExportedImage(Picture(80, 80), published, ImageWrite::Publish).ok);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    EXPECT_EQ(QImage(path).size(), QSize(50, 50));
    EXPECT_EQ(QImage(published).size(), QSize(80, 80));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(ExportedImage, TheViewExportsTheMapAndKeepsItsSettings) {
    QTemporaryDir dir;
    CChildView view;
    view.m_strDumpPath = dir.filePath("gpsdmp.bin");
    view.m_strDebugPath = dir.filePath("gpsdebug.txt");
    view.m_sat[0].m_byPrnLow = 5;
    view.m_sat[0].m_bySnrWhole = 40;
    view.m_nExportWidth = 500;
    view.m_nExportHeight = 400;
    // Each format's encoding is checked above; here the command and the export size.
    view.m_strMapExportPath = dir.filePath("Sky.PNG");
    ASSERT_TRUE(view.OnCmdMsg(ID_EXPORT));
    EXPECT_EQ(QImage(view.m_strMapExportPath).size(), QSize(500, 400));
    EXPECT_NE(view.m_dwLastExport, 0u);

    // The time-interval scale is the export's alone: the view's holds and range come back.
    view.m_strGraphExportPath = dir.filePath("graph.png");
    view.m_nTiExportMax = 50;
    view.m_bHoldMax[kTimeIntervalChannel] = true;
    view.m_dMin[kTimeIntervalChannel] = -3;
    view.m_dMax[kTimeIntervalChannel] = 7;
    view.ExportImages();
    EXPECT_FALSE(view.m_bHoldMin[kTimeIntervalChannel]);
    EXPECT_TRUE(view.m_bHoldMax[kTimeIntervalChannel]);
    EXPECT_EQ(view.m_dMin[kTimeIntervalChannel], -3);
    EXPECT_EQ(view.m_dMax[kTimeIntervalChannel], 7);

    // A blit copies the window's picture at its size, whatever size was asked for.
    view.m_wndMap.resize(640, 480);
    const QString blit = dir.filePath("blit.png");
    view.m_wndMap.ExportImage(blit, true, QRect(0, 0, 100, 100));
    EXPECT_TRUE(QImage(blit) == view.m_wndMap.m_bmpCache.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(QImage(blit).size(), QSize(640, 480));

    // ".txt" writes nothing, and says so on the debug lines.
    view.m_bDebugEnable = true;
    view.m_strMapExportPath = dir.filePath("map.txt");
    view.ExportImages();
    EXPECT_FALSE(QFile::exists(view.m_strMapExportPath));
    EXPECT_TRUE(ReadFileBytes(view.m_strDebugPath).contains("map.txt"));
}

TEST(ExportedImage, TheGraphIsExportedOnTheTimeIntervalScaleAndTheScreenKeepsItsOwn) {
    platform::SetWallClock(std::make_shared<FixedWallClock>(1709680029));
    QTemporaryDir dir;
    CChildView view;
    view.m_strLogPath = dir.filePath("Gps.log");
    view.m_bPlot.fill(false);
    view.m_bPlot[kTimeIntervalChannel] = true;
    QByteArray log;
    for (int i = 0; i < 500; ++i)
        log += QByteArray::number(1709600000 + 60 * i) + "\t\t" + QByteArray::number(i % 40 - 20) + "\t\r\n";
    ASSERT_TRUE(WriteFileBytes(view.m_strLogPath, log));
    CGraView& graph = view.m_wndGraph;
    graph.resize(700, 500);
    graph.CreateCachedBitmap();
    graph.RenderToBitmap();
    const QImage screen = graph.m_bmpCache.copy();

    view.m_strGraphExportPath = dir.filePath("Graph.Png");
    view.m_nExportWidth = 600;
    view.m_nExportHeight = 400;
    view.m_nTiExportMax = 50;
    view.ExportImages();
    const QImage exported = QImage(view.m_strGraphExportPath).convertToFormat(QImage::Format_RGB32);
    QDir().mkpath(QStringLiteral(ORVANE_BINARY_DIR "/screenshots"));
    exported.save(QStringLiteral(ORVANE_BINARY_DIR "/screenshots/export_graph_ti_scale.png"));
    EXPECT_EQ(exported.size(), QSize(600, 400));
    EXPECT_FALSE(view.m_bHoldMin[kTimeIntervalChannel]);
    EXPECT_FALSE(view.m_bHoldMax[kTimeIntervalChannel]);
    EXPECT_TRUE(graph.m_bCacheValid);
    EXPECT_EQ(graph.m_bmpCache, screen);

    // The same picture as a graph held from -50 to 50; another without the scale.
    const auto drawn = [&](bool held) {
        view.m_bHoldMin[kTimeIntervalChannel] = view.m_bHoldMax[kTimeIntervalChannel] = held;
        const std::array<double, kGraphChannels> min = view.m_dMin, max = view.m_dMax;
        view.m_dMin[kTimeIntervalChannel] = -50;
        view.m_dMax[kTimeIntervalChannel] = 50;
        const QImage image = graph.RenderExportImage(QSize(600, 400), false, true);
        view.m_dMin = min;
        view.m_dMax = max;
        view.m_bHoldMin[kTimeIntervalChannel] = view.m_bHoldMax[kTimeIntervalChannel] = false;
        return image;
    };
    EXPECT_TRUE(exported == drawn(true));
    EXPECT_FALSE(exported == drawn(false));
    view.m_nTiExportMax = 0;
    view.ExportImages();
    EXPECT_TRUE(QImage(view.m_strGraphExportPath).convertToFormat(QImage::Format_RGB32) == drawn(false));
    platform::SetWallClock(nullptr);
}
