// The graph window drawn from a real data log in a temporary folder: the picture (rendered to PNG
// and looked at), the members a draw leaves for the read-out and the mouse, zoom and pan from
// mouse events, the export picture, and the parsed copy against a full read.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "displays/GraView.h"
#include "platform/WallClock.h"
#include "support/FixedWallClock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr time_t kNow = 1709680029;
constexpr std::uint64_t kStart = 1709600000;

class GraphViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetWallClock(m_clock);
        g_bUseBitmap = true;
        m_view.m_strLogPath = m_folder.filePath(QStringLiteral("Gps.log"));
        m_view.m_strIdentity = QStringLiteral("HP Z3816A");
        m_view.m_bPlot.fill(false);
        Graph().resize(900, 600);
        Graph().CreateCachedBitmap();
    }
    void TearDown() override { platform::SetWallClock(nullptr); }
    CGraView& Graph() { return m_view.m_wndGraph; }

    void WriteLog(const QByteArray& bytes, bool append = false) {
        QFile file(m_view.m_strLogPath);
        ASSERT_TRUE(file.open(append ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // n lines a minute apart from kStart; each channel's value from f(channel, line), NaN = empty.
    template <typename F> static QByteArray Lines(int first, int n, F f) {
        QByteArray log;
        for (int i = first; i < first + n; ++i) {
            log += QByteArray::number(static_cast<qulonglong>(kStart + 60ull * i));
            for (int c = 0; c < kGraphChannels; ++c) {
                const double v = f(c, i);
                log += '\t';
                if (!std::isnan(v))
                    log += QByteArray::number(v, 'g', 10);
            }
            log += "\t\r\n";
        }
        return log;
    }
    QImage Render(QSize size = QSize(900, 600), bool allData = false) {
        return Graph().RenderExportImage(size, false, allData);
    }

    QTemporaryDir m_folder;
    std::shared_ptr<FixedWallClock> m_clock = std::make_shared<FixedWallClock>(kNow);
    CChildView m_view;
};

double Sample(int c, int i) {
    switch (c) {
    case 0:
        return 12000 + 40 * std::sin(i / 30.0) + (i % 7);
    case 1:
        return 1e-9 * ((i * 37) % 50 - 25);
    case 4:
        return 8 + (i / 200) % 3;
    case 5:
        return 25.0 + i * 0.002;
    case 2:
        return i % 97 == 0 ? NAN : 3e-6 * (1 + std::cos(i / 50.0));
    default:
        return NAN;
    }
}

// Pictures for people to look at, in the build folder.
void Save(const QImage& image, const char* name) {
    const QString folder = QStringLiteral(ORVANE_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    image.save(folder + QLatin1Char('/') + QLatin1String(name));
}

bool HasColour(const QImage& image, QRect area, QRgb colour) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == colour)
                return true;
    return false;
}

TEST_F(GraphViewTest, FourBandsBothLabelSidesATagTheBestFitAndTheZoomedSpan) {
    for (int c : {0, 1, 2, 3, 4, 5})
        m_view.m_bPlot[c] = true;
    m_view.m_strLabel = {QStringLiteral("EFC"),
                         QStringLiteral("TI"),
                         QStringLiteral("Level"),
                         QStringLiteral("Temp"),
                         QStringLiteral("Sats"),
                         QStringLiteral("Box"),
                         QString(),
                         QString()};
    m_view.m_bAllanDeviation[1] = m_view.m_bMean[1] = m_view.m_bStdDev[1] = true;
    m_view.m_bBestFit[5] = m_view.m_bMean[5] = true;
    m_view.m_nFilterMode[0] = 2;
    m_view.m_dFilterCoeff[0] = 0.05;
    QByteArray log = Lines(0, 1500, Sample);
    log += QByteArray::number(static_cast<qulonglong>(kStart + 60ull * 1500)) +
           "\t12010\t\t\t\t\t\t\t\t;<TAG1>Antenna moved</TAG>\r\n";
    log += Lines(1501, 300, Sample);
    WriteLog(log);
    Graph().RenderToBitmap();
    const QImage whole = Graph().m_bmpCache;
    Save(whole, "graph_all.png");
    EXPECT_EQ(Graph().m_nBandTop, (std::array<int, 8>{940, 360, -220, -800, 940, 360, -220, -800}));
    EXPECT_EQ(Graph().m_tEarliest, kStart);
    EXPECT_EQ(Graph().m_tLatest, kStart + 60 * 1800);
    EXPECT_EQ(Graph().m_tZoomStart, kStart + 60 * 1800 - 1440 * 60);          // the rolling window, next draw
    EXPECT_TRUE(HasColour(whole, QRect(0, 0, 900, 600), qRgb(210, 210, 24))); // the best-fit line

    // Zoom in with the mouse: press at two times; the span turns red.
    Graph().m_tCursor = kStart + 60 * 600;
    Graph().OnLButtonDown({});
    Graph().m_tCursor = kStart + 60 * 1200;
    Graph().OnRButtonDown({});
    Save(Graph().m_bmpCache, "graph_zoomed.png");
    EXPECT_EQ(Graph().m_tEarliest, kStart + 60 * 600);
    EXPECT_EQ(Graph().m_tLatest, kStart + 60 * 1200);
    EXPECT_TRUE(HasColour(Graph().m_bmpCache, QRect(600, 570, 300, 30), qRgb(255, 0, 0)));
    EXPECT_FALSE(HasColour(whole, QRect(600, 570, 300, 30), qRgb(255, 0, 0)));
}

TEST_F(GraphViewTest, AnExportDrawLeavesTheScreenAndTheNextDrawAlone) {
    m_view.m_bPlot[0] = m_view.m_bPlot[1] = true;
    m_view.m_nFilterMode[0] = 1;
    WriteLog(Lines(0, 3000, Sample));
    Graph().RenderToBitmap(); // all lines, then the rolling window
    Graph().RenderToBitmap();
    const GraphDrawState screen = Graph();
    const QImage shown = Graph().m_bmpCache;
    m_view.m_bHoldMin[1] = m_view.m_bHoldMax[1] = true; // an export's own scale
    m_view.m_dMax[1] = 50e-9;
    m_view.m_dMin[1] = -50e-9;
    const QImage exported = Graph().RenderExportImage(QSize(600, 400), false, true);
    m_view.m_bHoldMin[1] = m_view.m_bHoldMax[1] = false;
    EXPECT_EQ(exported.size(), QSize(600, 400));
    Save(exported, "graph_export_all.png");
    const GraphDrawState after = Graph();
    EXPECT_EQ(after.m_dScaleMax, screen.m_dScaleMax);
    EXPECT_EQ(after.m_dFilterSaved, screen.m_dFilterSaved);
    EXPECT_EQ(after.m_tEarliest, screen.m_tEarliest);
    EXPECT_EQ(after.m_tZoomStart, screen.m_tZoomStart);
    EXPECT_EQ(Graph().RenderExportImage(QSize(10, 10), true, true), shown); // a blit is the screen
}

} // namespace
