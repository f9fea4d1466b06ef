// The graph window drawn from a real data log in a temporary folder: the picture (rendered to PNG
// and looked at), the members a draw leaves for the read-out and the mouse, zoom and pan from
// mouse events, the export picture, and the parsed copy against a full read.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "displays/GraView.h"
#include "platform/WallClock.h"
#include "support/FixedWallClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
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

TEST_F(GraphViewTest, TheParsedCopyDrawsExactlyWhatAFullReadDraws) {
    // A second view reads the whole log on every draw; both draw the same sequence of logs.
    CChildView full;
    full.m_strLogPath = m_view.m_strLogPath;
    full.m_strIdentity = m_view.m_strIdentity;
    full.m_wndGraph.m_logCache.m_bAlwaysFullRead = true;
    full.m_wndGraph.resize(900, 600);
    for (CChildView* view : {&m_view, &full}) {
        view->m_bPlot.fill(false);
        view->m_bPlot[0] = view->m_bPlot[1] = view->m_bPlot[4] = true;
        view->m_nFilterMode[0] = 2;
        view->m_dFilterCoeff[0] = 0.1;
        view->m_bAllanDeviation[1] = view->m_bStdDev[1] = view->m_bBestFit[1] = true;
        view->m_nGraphDuration = 600;
    }
    const auto same = [&](const char* step) {
        const QImage mine = Render(QSize(900, 600));
        const QImage theirs = full.m_wndGraph.RenderExportImage(QSize(900, 600), false, false);
        EXPECT_EQ(mine, theirs) << step;
        // Screen draws carry their filter state and rolling window on to the next one.
        Graph().RenderToBitmap();
        full.m_wndGraph.RenderToBitmap();
        EXPECT_EQ(Graph().m_bmpCache, full.m_wndGraph.m_bmpCache) << step;
        const GraphDrawState a = Graph();
        const GraphDrawState b = full.m_wndGraph;
        EXPECT_EQ(a.m_dScaleMax, b.m_dScaleMax) << step;
        EXPECT_EQ(a.m_dScaleMin, b.m_dScaleMin) << step;
        EXPECT_EQ(a.m_dFilterSaved, b.m_dFilterSaved) << step;
        EXPECT_EQ(a.m_tZoomStart, b.m_tZoomStart) << step;
        EXPECT_EQ(a.m_tLastSeen, b.m_tLastSeen) << step;
    };
    WriteLog(Lines(0, 2000, Sample) + "2000\t1"); // an incomplete last line
    same("first");
    WriteLog("\t\r\n" + Lines(2000, 1, Sample), true);
    same("grown");
    WriteLog(Lines(2001, 300, Sample) + "17", true);
    same("grown more");
    WriteLog(Lines(500, 900, Sample)); // shorter: rewritten
    same("shrunk");
    QByteArray trimmed = Lines(600, 1200, Sample); // trimmed in place, then longer than before
    WriteLog(trimmed + Lines(1800, 200, Sample));
    same("trimmed");
    const QString other = m_folder.filePath(QStringLiteral("other.log"));
    QFile::remove(other);
    QFile::copy(m_view.m_strLogPath, other);
    QFile::remove(m_view.m_strLogPath);
    QFile(other).rename(m_view.m_strLogPath); // replaced by another file, same bytes
    WriteLog("2999\t3\r\n", true);
    same("replaced");
    EXPECT_EQ(Graph().m_logCache.FullReads(), 4); // first, shrunk, trimmed, replaced
    EXPECT_LE(Graph().m_logCache.MemoryBytes(), 100 * Graph().m_logCache.RecordCount());
}

TEST_F(GraphViewTest, ColumnByColumnTracesArePixelForPixelEverySegment) {
    m_view.m_bPlot.fill(true);
    m_view.m_nFilterMode[2] = 2;
    WriteLog(Lines(0, 20000, [](int c, int i) {
        return i % 1500 == 7 ? NAN : std::sin(i * (c + 1) / 700.0) + ((i * 7919 + c) % 13) / 10.0;
    }));
    for (QSize size : {QSize(900, 600), QSize(333, 251), QSize(2100, 1400)}) {
        Graph().m_bEverySegment = true;
        const QImage every = Render(size, true);
        Graph().m_bEverySegment = false;
        const QImage columns = Render(size, true);
        int differing = 0;
        QRect where;
        for (int y = 0; y < every.height(); ++y)
            for (int x = 0; x < every.width(); ++x)
                if (every.pixel(x, y) != columns.pixel(x, y)) {
                    ++differing;
                    where |= QRect(x, y, 1, 1);
                }
        EXPECT_EQ(differing, 0) << size.width() << " " << where.x() << "," << where.y() << " "
                                << where.width() << "x" << where.height();

        if (size.width() == 900)
            Save(columns, "graph_columns.png");
    }
}

TEST_F(GraphViewTest, ASingleLineIsAHorizontalLineAtMidBand) {
    m_view.m_bPlot[4] = true;
    m_view.m_crTrace[4] = RGB(0, 0, 255);
    WriteLog("1709600000\t\t\t\t\t5\r\n");
    Graph().RenderToBitmap();
    const QImage picture = Graph().m_bmpCache;
    EXPECT_EQ(Graph().m_dScaleMax[4], 5 + 1e-13);
    EXPECT_EQ(Graph().m_nBandTop[4], 940);
    // Mid-band is y = 0 of the plane: row 300 of 600; the line runs from x = -1000 to the edge.
    int blue = 0;
    for (int x = 0; x < 900; ++x)
        blue += qBlue(picture.pixel(x, 299)) > 200 && qRed(picture.pixel(x, 299)) < 50 ? 1 : 0;
    EXPECT_GT(blue, 800);
}

TEST_F(GraphViewTest, MouseZoomsPansWithShiftToTheEndsAndDoubleClicksReset) {
    m_view.m_bPlot[0] = true;
    WriteLog(Lines(0, 1000, Sample)); // minutes 0 to 999
    Graph().show();
    Graph().RenderToBitmap();
    const std::uint64_t last = kStart + 60 * 999;
    const auto press = [&](QEvent::Type type, Qt::MouseButton button, Qt::KeyboardModifiers keys,
                           int x = 450) {
        const QPointF at(x, 300);
        QMouseEvent move(QEvent::MouseMove, at, Graph().mapToGlobal(at), Qt::NoButton, Qt::NoButton, keys);
        QCoreApplication::sendEvent(&Graph(), &move);
        QMouseEvent event(type, at, Graph().mapToGlobal(at), button, button, keys);
        QCoreApplication::sendEvent(&Graph(), &event);
    };
    // The pointer at the middle of the plot is the middle of the first draw's whole log.
    press(QEvent::MouseButtonPress, Qt::LeftButton, {});
    EXPECT_NEAR(static_cast<double>(Graph().m_tZoomStart), kStart + 60 * 999 / 2.0, 120);
    EXPECT_TRUE(Graph().m_bZoomed);
    EXPECT_EQ(Graph().m_tLatest, last); // from that time to the last line

    Graph().m_tZoomStart = kStart + 60 * 800;
    Graph().m_tZoomEnd = kStart + 60 * 950;
    press(QEvent::MouseButtonPress, Qt::LeftButton, Qt::ShiftModifier); // slides to end at the last line
    EXPECT_EQ(Graph().m_tZoomEnd, last);
    EXPECT_EQ(Graph().m_tZoomStart, last - 60 * 150);
    Graph().m_tZoomStart = kStart + 60 * 10;
    Graph().m_tZoomEnd = kStart + 60 * 110;
    press(QEvent::MouseButtonPress, Qt::RightButton, Qt::ShiftModifier); // to start at the first line
    EXPECT_EQ(Graph().m_tZoomStart, kStart);
    EXPECT_EQ(Graph().m_tZoomEnd, kStart + 60 * 100);
    press(QEvent::MouseButtonPress, Qt::LeftButton, Qt::ControlModifier); // changes nothing
    EXPECT_EQ(Graph().m_tZoomStart, kStart);

    // A start later than the end: frame and header only, and panning neither wraps nor moves.
    Graph().m_tZoomStart = kStart + 60 * 900;
    Graph().m_tZoomEnd = kStart + 60 * 100;
    press(QEvent::MouseButtonPress, Qt::RightButton, Qt::ShiftModifier);
    EXPECT_EQ(Graph().m_tZoomStart, kStart + 60 * 900);
    EXPECT_EQ(Graph().m_tLatest, 0u);
    QString text;
    EXPECT_EQ(Graph().CursorReadout(Graph().rect(), QPoint(450, 300), text), 0u);
    EXPECT_TRUE(text.isEmpty());

    press(QEvent::MouseButtonDblClick, Qt::RightButton, {}); // the whole log, kept
    EXPECT_TRUE(Graph().m_bZoomed);
    EXPECT_EQ(Graph().m_tEarliest, kStart);
    EXPECT_EQ(Graph().m_tZoomEnd, kNoTime);
    EXPECT_GT(Graph().CursorReadout(Graph().rect(), QPoint(450, 60), text), kStart);
    EXPECT_TRUE(text.endsWith(QLatin1Char(' ')) && text.count(QLatin1Char(' ')) == 3) << qPrintable(text);
    Graph().CursorReadout(Graph().rect(), QPoint(5, 595), text); // outside the plotting area
    EXPECT_EQ(text, QStringLiteral("start 00:53:20 05/03/24 UTC"));
    press(QEvent::MouseButtonDblClick, Qt::LeftButton, {}); // back to the rolling window
    EXPECT_FALSE(Graph().m_bZoomed);
    EXPECT_EQ(Graph().m_tZoomStart, last - 1440 * 60); // the last Graph/Duration minutes again
}

TEST_F(GraphViewTest, TheReadOutUndoesTheLogarithmicScaleAndSkipsAnEmptyChannel) {
    // Band 3: the time interval on the logarithmic scale, and channel 7 plotted without values.
    g_nReceiverType = RECEIVER_HP;
    m_view.m_bPlot[2] = true;
    m_view.m_bPlot[6] = true;
    m_view.m_strLabel[2] = QStringLiteral("TI PU");
    m_view.m_bHoldMin[2] = m_view.m_bHoldMax[2] = true;
    m_view.m_dMin[2] = 1e-7;
    m_view.m_dMax[2] = 0.000432;
    m_view.m_dMagnification[2] = 1.0;
    m_view.m_dOffset[2] = 0.0;
    WriteLog(Lines(0, 100, Sample));
    Graph().grab(); // the view lays out its windows when first painted
    Graph().RenderToBitmap();
    ASSERT_EQ(Graph().m_nBandTop[2], 940);
    // The values the window reads out with the pointer at y of the plane, moved there as a mouse is.
    const auto readAt = [&](double y) {
        QImage probe(Graph().size(), QImage::Format_RGB32);
        QPainter painter(&probe);
        Graph().SetMapping(painter, probe.rect());
        const QPoint at = painter.combinedTransform().map(QPointF(0, y)).toPoint();
        QMouseEvent move(QEvent::MouseMove, at, Graph().mapToGlobal(at), Qt::NoButton, Qt::NoButton, {});
        QCoreApplication::sendEvent(&Graph(), &move);
        return Graph().CursorText().section(QLatin1Char(' '), 2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    };
    // Mid-band is 6.5 us, as the band's own label says; the empty channel reads nothing.
    QStringList values = readAt(0);
    ASSERT_EQ(values.size(), 1) << qPrintable(Graph().CursorText());
    // Within a pixel's worth: the window is small after its layout.
    EXPECT_NEAR(values[0].toDouble(), 6.5727e-6, 0.2e-6);
    Save(Graph().grab().toImage(), "graph-read-out.png");
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&Graph(), &leave);
    EXPECT_TRUE(Graph().CursorText().isEmpty());
}

} // namespace
