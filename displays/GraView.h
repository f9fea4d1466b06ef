#pragma once
// The graph window of the display area: up to eight traces of the data log in up to four bands,
// with scales, statistics, a time axis and tags, a cursor read-out and mouse zoom and pan.
#include "displays/GraphLayout.h"
#include "displays/GraphLogCache.h"
#include "displays/GraphTrace.h"
#include "publishing/ExportedImage.h"

#include <QFont>
#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

class CChildView;
class QPainter;
struct GraphStatisticsResult;

// What every draw rewrites: the scales, the filter state, the bands, the time range seen and the
// time window. An export draw puts it back afterwards.
struct GraphDrawState {
    std::array<double, kGraphChannels> m_dScaleMax = Filled<double, kGraphChannels>(kNoScaleTop);
    std::array<double, kGraphChannels> m_dScaleMin = Filled<double, kGraphChannels>(kNoScaleBottom);
    std::array<double, kGraphChannels> m_dFilterSaved = Filled<double, kGraphChannels>(kNoValue);
    std::array<double, kGraphChannels> m_dFilterOut = Filled<double, kGraphChannels>(kNoValue);
    std::array<double, kGraphChannels> m_dFilterIn = Filled<double, kGraphChannels>(kNoValue);
    std::array<int, kGraphChannels> m_nBandTop{};
    std::array<int, kGraphChannels> m_nBandBottom{};
    std::uint64_t m_tLatest = 0;         // latest sample time inside the window
    std::uint64_t m_tEarliest = kNoTime; // earliest sample time inside the window
    std::uint64_t m_tFirstSeen = 0;      // time of the log's first line
    std::uint64_t m_tLastSeen = 0;       // time of the last line read
    std::uint64_t m_tZoomEnd = kNoTime;  // end of the time window; kNoTime: open
    std::uint64_t m_tZoomStart = 0;      // start of the time window; 0: open
};

class CGraView : public QWidget, public GraphDrawState {
    Q_OBJECT

public:
    explicit CGraView(CChildView* view);

    // (Re)creates the cached picture at the window's size, white, and marks it stale.
    void CreateCachedBitmap();
    // Draws the picture into the cache (when cached drawing is on) and marks it valid.
    void RenderToBitmap();
    // Maps the logical plane (-1070..1070 across, 1069 down to -1071, y upwards) onto the target.
    void SetMapping(QPainter& painter, const QRect& target) const;
    // Draws the whole graph on a target mapped by SetMapping and filled white. allData: every
    // line of the log, whatever the time window.
    void Draw(QPainter& painter, bool allData);
    // The picture for an export: the on-screen cache (rendered first when stale) at the window's
    // size when blitting, else drawn afresh at `size` on white. Whatever the draw rewrites is put
    // back, so the screen, the read-out and the next draw never see the export.
    QImage RenderExportImage(QSize size, bool blit, bool allData);
    // Writes the graph's picture to an image file, the encoder chosen by the extension: drawn
    // afresh at the rectangle's size (all data, or the zoom window), or with `blit` copied from
    // the on-screen picture at its own size. Nothing is written on failure, which is also a
    // diagnostic line. `how`: as WriteExportedImage.
    ImageWriteResult ExportImage(const QString& path, bool blit, bool allData, QRect rect,
                                 ImageWrite how = ImageWrite::Replace);

    // The time under a pointer at (x, y) of a target rectangle, and the read-out text for it:
    // the time and the values of the plotted channels whose band holds the pointer; outside the
    // plotting area the earliest time with "start". Time 0 and an empty text without samples.
    std::uint64_t CursorReadout(const QRect& target, QPoint point, QString& text) const;
    // Paints the read-out along the bottom of the target; returns the time under the pointer.
    std::uint64_t DrawCursor(QPainter& painter, const QRect& target, QPoint point, bool pointerInside);
    // The read-out the window shows for the pointer's last position; empty while it is not over it.
    QString CursorText() const;

    void OnLButtonDown(Qt::KeyboardModifiers modifiers);
    void OnRButtonDown(Qt::KeyboardModifiers modifiers);
    void OnLButtonDblClk(Qt::KeyboardModifiers modifiers);
    void OnRButtonDblClk(Qt::KeyboardModifiers modifiers);

    QFont m_fontLabel;
    QFont m_fontVertical;
    QImage m_bmpCache;
    std::uint64_t m_tCursor = 0; // time under the mouse
    bool m_bZoomed = false;      // the time window was set by the user
    bool m_bCacheValid = false;
    // The parsed copy of the data log.
    GraphLogCache m_logCache;
    // Draw every segment of a trace by itself instead of column by column (to compare).
    bool m_bEverySegment = false;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

    CChildView* m_pView;

private:
    struct WindowData;
    struct DrawTools;
    struct ChannelBand;
    struct DrawnTimes;

    std::optional<QPoint> m_hover; // the pointer inside the window
    void ZoomChanged();
    // Whether channel c (from 0) is drawn on the logarithmic time-interval scale.
    bool LogScale(int c) const;

    // The steps of a draw, in order.
    // The bands' lines from the plotted channels and the proportions.
    void PlaceBands();
    void DrawFrameAndHeader(DrawTools& tools) const;
    // The samples inside the time window (every one with allData), with the time range they span,
    // each channel's scale, filter output and statistics.
    WindowData CollectWindow(bool allData);
    // One sample's raw value of channel c (empty: absent) through the filter, scale and statistics.
    void AddSample(WindowData& window, int c, std::optional<double> raw, double tau) const;
    // A plotted channel: its raw trace in the both-traces mode, its plotted trace, the best-fit
    // line, the scale's labels (with the statistics) and the zero line.
    void DrawChannel(DrawTools& tools, WindowData& window, int c);
    // One trace of a channel, the raw or the plotted one; a scale without width is widened first.
    void DrawTrace(DrawTools& tools, WindowData& window, const ChannelBand& band, int pass,
                   DrawnTimes& drawn);
    void DrawBestFit(DrawTools& tools, const ChannelBand& band, const ChannelScale& scale,
                     const GraphStatisticsResult& result, const DrawnTimes& drawn) const;
    // The top and bottom numbers, the label, the statistics and the span with its arrows.
    void DrawScaleLabels(DrawTools& tools, const ChannelBand& band, const ChannelScale& scale,
                         const QString& statistics) const;
    // The fixed labels of the logarithmic time-interval scale and the newest value.
    void DrawLogScaleLabels(DrawTools& tools, const ChannelBand& band, const WindowData& window) const;
    void DrawZeroLine(DrawTools& tools, const ChannelBand& band, const ChannelScale& scale) const;
    // What the next draw starts from: each filter's state, and the scales for the read-out.
    void HandOverFilter(WindowData& window);
    // The span of the time window with its arrows, and the start time.
    void DrawTimeAxis(DrawTools& tools) const;
    void DrawTags(DrawTools& tools, bool allData) const;
    // The time window of the next draw, unless the user zoomed.
    void RollTimeWindow();

    GraphTraceLayer m_traceLayer;
};
