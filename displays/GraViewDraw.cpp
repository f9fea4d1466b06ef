// The graph window's draw: the bands, the frame and header, the samples of the time window, each
// plotted channel's traces, labels and zero line, the time axis and tags, and what the next draw
// starts from.
#include "app/ChildView.h"
#include "displays/FormatEngineering.h"
#include "displays/GraView.h"
#include "displays/GraphCanvas.h"
#include "displays/GraphStatistics.h"
#include "platform/WaitCursor.h"
#include "platform/WallClock.h"
#include "publishing/DataLogFormat.h"

#include <QPainter>
#include <cmath>

namespace {

constexpr double kLabelHeight = 60;    // the label font's character height
constexpr double kVerticalHeight = 70; // the vertical font's cell height
constexpr double kCellPerEm = 1.164;   // cell height over character height of the face
constexpr double kTracePenWidth = 2;
constexpr double kGreyPenWidth = 4;
constexpr double kBestFitPenWidth = 2;
constexpr COLORREF kGrey = RGB(220, 220, 220);
constexpr COLORREF kBestFitColour = RGB(210, 210, 24);
constexpr COLORREF kZoomedColour = RGB(255, 0, 0);
constexpr double kWiden = 1e-13;
// Below this time a window start is no real date (the start label is left out).
constexpr std::uint64_t kRealTimes = 1000000000;
constexpr int kSecondsPerMinute = 60;
// The passes over a channel: the raw trace (both-traces filter mode only), then the plotted one.
constexpr int kRawPass = 0;
constexpr int kPlottedPass = 1;
constexpr int kFilterBoth = 2;
// A trace's clip ends this far above its band's bottom line.
constexpr int kTraceClipInset = 15;
// Where the axis labels stand: the header and start time at the left, the span arrows at the
// right, the scale spans and their arrows beside the bands.
constexpr int kLeftLabelX = -1050;
constexpr int kFrameTickEndX = -900;
constexpr int kTimeLabelY = -1060;
constexpr int kSpanLabelX = 800;
constexpr int kSpanArrowY = -1040;
constexpr int kFirstSpanX = -1070;
constexpr int kFirstArrowX = -1030;
constexpr int kSecondSpanX = 1050;
constexpr int kSecondArrowX = 1030;
constexpr int kLogMidLabelDrop = 30;

// A trace's marker, where no line joins a point, is a square of this side in logical units.
constexpr double kMarkerSide = 2;

QColor Colour(COLORREF colour) {
    return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

// Where a sample of the window is in the parsed copy.
struct SampleRef {
    std::uint32_t block;
    std::uint32_t index;
};

struct ChannelSetting {
    double magnification;
    double offset;
};

// The raw (scaled) value of a sample; empty when the sample has no value for the channel.
std::optional<double> RawValue(const GraphLogCache& log, SampleRef ref, int channel,
                               const ChannelSetting& setting) {
    const std::vector<double>& column = log.Blocks()[ref.block].value[channel];
    if (column.empty() || std::isnan(column[ref.index]))
        return std::nullopt;
    return column[ref.index] * setting.magnification + setting.offset;
}

} // namespace

// One draw's samples inside the time window, with each channel's scale, filter and statistics
// over them and the filter's output of the filtered channels.
struct CGraView::WindowData {
    std::vector<SampleRef> refs;
    std::array<ChannelScale, kGraphChannels> scale;
    std::array<ChannelSetting, kGraphChannels> setting{};
    std::array<GraphFilter, kGraphChannels> filter;
    std::vector<GraphStatistics> statistics;
    std::array<std::vector<double>, kGraphChannels> filtered; // empty unless the filter runs
    std::array<bool, kGraphChannels> filterRuns{};
};

// What one draw draws with: the canvas of the mapped target, the fonts at its scale, the grey pen.
struct CGraView::DrawTools {
    explicit DrawTools(QPainter& target, const QFont& label, const QFont& vertical)
        : painter(target), canvas(target), labelFont(canvas.ScaledFont(label, kLabelHeight)),
          verticalFont(canvas.ScaledFont(vertical, kVerticalHeight / kCellPerEm)),
          greyPen(canvas.Pen(Colour(kGrey), kGreyPenWidth)) {}
    QPainter& painter;
    GraphCanvas canvas;
    const QFont labelFont;
    const QFont verticalFont;
    const QPen greyPen;
};

// Where one plotted channel is drawn and in what colours.
struct CGraView::ChannelBand {
    int channel;
    int top;
    int bottom;
    bool logScale;
    COLORREF light;
};

// The times of the first and the last sample a channel's plotted trace drew (the best fit's ends).
struct CGraView::DrawnTimes {
    std::optional<std::uint64_t> first;
    std::uint64_t last = 0;
};

void CGraView::Draw(QPainter& painter, bool allData) {
    platform::WaitCursor wait;
    DrawTools tools(painter, m_fontLabel, m_fontVertical);
    painter.save();
    PlaceBands();
    DrawFrameAndHeader(tools);
    const QString path = m_pView->GetLogPath();
    if (path.isEmpty() || !m_logCache.Refresh(path)) {
        painter.restore();
        return;
    }
    WindowData window = CollectWindow(allData);
    for (int c = 0; c < kGraphChannels; ++c)
        if (m_pView->m_bPlot[c])
            DrawChannel(tools, window, c);
    HandOverFilter(window);
    if (m_tLatest != m_tEarliest && m_tLatest != 0) {
        DrawTimeAxis(tools);
        DrawTags(tools, allData);
        RollTimeWindow();
    }
    painter.restore();
}

void CGraView::PlaceBands() {
    const BandLines bands = LayoutBands(m_pView->m_bPlot, m_pView->m_nTraceProportion);
    m_nBandTop = bands.top;
    m_nBandBottom = bands.bottom;
}

void CGraView::DrawFrameAndHeader(DrawTools& tools) const {
    tools.painter.setPen(tools.greyPen);
    tools.painter.setBrush(Qt::NoBrush);
    tools.canvas.Line(kLeftLabelX, kPlotTop, kFrameTickEndX, kPlotTop);
    tools.canvas.Line(kLeftLabelX, kPlotBottom, kFrameTickEndX, kPlotBottom);
    tools.canvas.Line(kPlotLeft, kPlotBottom, kPlotLeft, kPlotTop);
    const std::uint64_t now = static_cast<std::uint64_t>(platform::CurrentWallClock().now().tv_sec);
    tools.canvas.Text(kLeftLabelX, kPlotTop,
                      FormatUtcTime(static_cast<std::int64_t>(now), "%H:%M:%S %d/%m/%y UTC") +
                          QLatin1Char(' ') + m_pView->m_strIdentity,
                      LabelAlign::Left, LabelBase::Baseline, tools.labelFont, Qt::black);
}

CGraView::WindowData CGraView::CollectWindow(bool allData) {
    const CChildView& view = *m_pView;
    m_tEarliest = kNoTime;
    m_tLatest = 0;
    m_tFirstSeen = 0;
    WindowData window;
    for (int c = 0; c < kGraphChannels; ++c) {
        window.scale[c] =
            InitialScale(view.m_bHoldMin[c], view.m_bHoldMax[c], view.m_dMin[c], view.m_dMax[c]);
        window.setting[c] = {view.m_dMagnification[c], view.m_dOffset[c]};
        window.filter[c] = {m_dFilterSaved[c], m_dFilterSaved[c]};
        window.filterRuns[c] = FilterRuns(view.m_nFilterMode[c], view.m_dFilterCoeff[c]);
        window.statistics.emplace_back(view.m_bAllanDeviation[c], view.m_bStdDev[c] || view.m_bBestFit[c]);
    }
    // The records in file order.
    const std::vector<GraphLogCache::Block>& blocks = m_logCache.Blocks();
    for (std::uint32_t b = 0; b < blocks.size(); ++b) {
        const GraphLogCache::Block& block = blocks[b];
        // A block wholly outside the window adds only the first and last times seen.
        if (!allData && !block.time.empty() && (m_tFirstSeen != 0 || block.time.front() != 0) &&
            (block.latest < m_tZoomStart || block.earliest > m_tZoomEnd)) {
            if (m_tFirstSeen == 0)
                m_tFirstSeen = block.time.front();
            m_tLastSeen = block.time.back();
            continue;
        }
        for (std::uint32_t i = 0; i < block.time.size(); ++i) {
            const std::uint64_t t = block.time[i];
            if (m_tFirstSeen == 0)
                m_tFirstSeen = t;
            m_tLastSeen = t;
            if (!allData && (t < m_tZoomStart || t > m_tZoomEnd))
                continue;
            m_tEarliest = std::min(m_tEarliest, t);
            m_tLatest = std::max(m_tLatest, t);
            window.refs.push_back({b, i});
            const double tau = static_cast<double>(t - m_tEarliest);
            for (int c = 0; c < kGraphChannels; ++c)
                AddSample(window, c, RawValue(m_logCache, {b, i}, c, window.setting[c]), tau);
        }
    }
    return window;
}

void CGraView::AddSample(WindowData& window, int c, std::optional<double> raw, double tau) const {
    const CChildView& view = *m_pView;
    if (!raw) {
        window.statistics[c].Gap();
        if (window.filterRuns[c])
            window.filtered[c].push_back(kNoValue);
        return;
    }
    const double x = *raw;
    double v = x;
    if (window.filterRuns[c]) {
        v = window.filter[c].Step(x, view.m_dFilterCoeff[c]);
        window.filtered[c].push_back(v);
    }
    UpdateScale(window.scale[c], v, x, view.m_nFilterMode[c] == kFilterBoth, view.m_bHoldMin[c],
                view.m_bHoldMax[c], view.m_dMin[c], view.m_dMax[c]);
    window.statistics[c].Add(x, tau);
}

void CGraView::DrawChannel(DrawTools& tools, WindowData& window, int c) {
    const CChildView& view = *m_pView;
    const ChannelBand band{c, m_nBandTop[c], m_nBandBottom[c], LogScale(c), LightColour(view.m_crTrace[c])};
    DrawnTimes drawn;
    if (view.m_nFilterMode[c] == kFilterBoth)
        DrawTrace(tools, window, band, kRawPass, drawn);
    DrawTrace(tools, window, band, kPlottedPass, drawn);
    const ChannelScale& scale = window.scale[c];
    if (!band.logScale && scale.max - scale.min > kNoRange) {
        const GraphStatisticsResult result = window.statistics[c].Result();
        DrawBestFit(tools, band, scale, result, drawn);
        DrawScaleLabels(tools, band, scale,
                        StatisticsText(result, view.m_bAllanDeviation[c], view.m_bMean[c], view.m_bStdDev[c],
                                       view.m_nPrecision[c]));
    } else if (band.logScale && scale.max - scale.min >= 0) {
        DrawLogScaleLabels(tools, band, window);
    }
    DrawZeroLine(tools, band, scale);
}

void CGraView::DrawTrace(DrawTools& tools, WindowData& window, const ChannelBand& band, int pass,
                         DrawnTimes& drawn) {
    const int c = band.channel;
    const QColor colour = Colour(pass == kRawPass ? band.light : m_pView->m_crTrace[c]);
    QPainter& tracePainter = m_traceLayer.Begin(
        tools.painter,
        QRectF(QPointF(kPlotLeft, band.top), QPointF(kPlotRight, band.bottom - kTraceClipInset)).normalized(),
        tools.canvas.Pen(colour, kTracePenWidth));
    ChannelScale& scale = window.scale[c];
    const std::size_t samples = window.refs.size();
    if (samples > 0 && scale.max == scale.min) {
        scale.max += kWiden;
        scale.min -= kWiden;
    }
    const bool hasRange = scale.max - scale.min > kNoRange;
    {
        GraphTrace trace(
            tracePainter, colour,
            static_cast<int>(std::lround(kMarkerSide * std::fabs(tools.painter.combinedTransform().m11()))),
            m_bEverySegment);
        const bool useFiltered = pass == kPlottedPass && window.filterRuns[c];
        const std::vector<GraphLogCache::Block>& blocks = m_logCache.Blocks();
        for (std::size_t k = 0; k < samples; ++k) {
            const SampleRef ref = window.refs[k];
            const double v = useFiltered ? window.filtered[c][k]
                                         : RawValue(m_logCache, ref, c, window.setting[c]).value_or(kNoValue);
            int y = 0;
            if (v <= kNoValue || !hasRange || !ValueToY(v, scale, band.top, band.bottom, band.logScale, y)) {
                trace.Gap();
                continue;
            }
            const std::uint64_t t = blocks[ref.block].time[ref.index];
            const int x = TimeToX(t, m_tEarliest, m_tLatest);
            if (pass == kPlottedPass) {
                if (!drawn.first)
                    drawn.first = t;
                drawn.last = t;
            }
            if (samples == 1) {
                trace.Line(x, y, x + kPlotWidth, y);
                continue;
            }
            trace.Point(x, y);
        }
    }
    m_traceLayer.End();
}

void CGraView::DrawBestFit(DrawTools& tools, const ChannelBand& band, const ChannelScale& scale,
                           const GraphStatisticsResult& result, const DrawnTimes& drawn) const {
    if (!m_pView->m_bBestFit[band.channel] || !result.hasFit || m_tLatest <= m_tEarliest + 1 || !drawn.first)
        return;
    tools.painter.setPen(tools.canvas.Pen(Colour(kBestFitColour), kBestFitPenWidth));
    tools.painter.setClipRect(
        QRectF(QPointF(kPlotLeft, band.top), QPointF(kPlotRight, band.bottom - kTraceClipInset))
            .normalized());
    const auto end = [&](std::uint64_t t, int& x, int& y) {
        const double tau = static_cast<double>(t - m_tEarliest);
        x = TimeToX(t, m_tEarliest, m_tLatest);
        ValueToY(tau * result.slope + result.intercept, scale, band.top, band.bottom, false, y);
    };
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    end(*drawn.first, x1, y1);
    end(drawn.last, x2, y2);
    tools.canvas.Line(x1, y1, x2, y2);
    tools.painter.setClipping(false);
}

void CGraView::DrawScaleLabels(DrawTools& tools, const ChannelBand& band, const ChannelScale& scale,
                               const QString& statistics) const {
    const int c = band.channel;
    const QString& label = m_pView->m_strLabel[c];
    const int precision = m_pView->m_nPrecision[c];
    const QString a = FormatEngineering(scale.max, precision);
    const QString bottomNumber = FormatEngineering(scale.min, precision);
    const QString span = FormatEngineering(scale.max - scale.min, precision);
    const QColor textColour = Colour(band.light);
    const int top = band.top;
    const int bottom = band.bottom;
    const int middle = (top + bottom) / 2;
    GraphCanvas& canvas = tools.canvas;
    int arrowX = 0;
    if (c < kTraceBands) { // the first channel of its band: labelled on the left
        canvas.Text(kPlotLeft, top, a + QLatin1Char(' ') + label + QLatin1Char(' ') + statistics,
                    LabelAlign::Left, LabelBase::Baseline, tools.labelFont, textColour);
        canvas.Text(kPlotLeft, bottom, bottomNumber, LabelAlign::Left, LabelBase::Top, tools.labelFont,
                    textColour);
        canvas.VerticalText(kFirstSpanX, middle, span, LabelAlign::Centre, LabelBase::Top, tools.verticalFont,
                            textColour);
        arrowX = kFirstArrowX;
    } else {
        canvas.Text(kPlotRight, top, label + QLatin1Char(' ') + a, LabelAlign::Right, LabelBase::Baseline,
                    tools.labelFont, textColour);
        canvas.Text(kPlotRight, bottom, statistics + QLatin1Char(' ') + bottomNumber, LabelAlign::Right,
                    LabelBase::Top, tools.labelFont, textColour);
        canvas.VerticalText(kSecondSpanX, middle, span, LabelAlign::Centre, LabelBase::Baseline,
                            tools.verticalFont, textColour);
        arrowX = kSecondArrowX;
    }
    // Arrows from the band's lines to the span, where the span leaves room for them.
    const double length = canvas.VerticalTextLength(span, tools.verticalFont);
    if (2 * length < top - bottom) {
        const int h = static_cast<int>(length / 2);
        tools.painter.setPen(tools.greyPen);
        canvas.Line(arrowX, top, arrowX - 10, top - 30);
        canvas.Line(arrowX, top, arrowX + 10, top - 30);
        canvas.Line(arrowX, top, arrowX, middle + h + 15);
        canvas.Line(arrowX, bottom, arrowX - 10, bottom + 30);
        canvas.Line(arrowX, bottom, arrowX + 10, bottom + 30);
        canvas.Line(arrowX, bottom, arrowX, middle - h - 15);
    }
}

void CGraView::DrawLogScaleLabels(DrawTools& tools, const ChannelBand& band, const WindowData& window) const {
    const int c = band.channel;
    const QColor textColour = Colour(band.light);
    tools.canvas.Text(kPlotLeft, band.bottom, QStringLiteral("100 ns"), LabelAlign::Left, LabelBase::Top,
                      tools.labelFont, textColour);
    // The top label carries the newest value when it lies between 0 and 1.
    QString topText = QStringLiteral("432 us ") + m_pView->m_strLabel[c] + QLatin1Char(' ');
    const std::size_t samples = window.refs.size();
    if (samples > 0) {
        const double last =
            window.filterRuns[c]
                ? window.filtered[c][samples - 1]
                : RawValue(m_logCache, window.refs[samples - 1], c, window.setting[c]).value_or(kNoValue);
        if (last > 0 && last < 1)
            topText += FormatEngineering(last, m_pView->m_nPrecision[c]);
    }
    tools.canvas.Text(kPlotLeft, band.top, topText, LabelAlign::Left, LabelBase::Baseline, tools.labelFont,
                      textColour);
    tools.canvas.Text(kPlotLeft, (band.top + band.bottom) / 2 - kLogMidLabelDrop, QStringLiteral("6.5 us"),
                      LabelAlign::Left, LabelBase::Baseline, tools.labelFont, textColour);
}

void CGraView::DrawZeroLine(DrawTools& tools, const ChannelBand& band, const ChannelScale& scale) const {
    const int zero = ZeroLineY(scale, band.top, band.bottom);
    if (band.bottom < zero && zero < band.top) {
        tools.painter.setPen(tools.greyPen);
        tools.canvas.Line(kPlotLeft, zero, kPlotRight, zero);
    }
}

void CGraView::HandOverFilter(WindowData& window) {
    // Each plotted filtered channel runs backwards over the window, so the next draw starts from
    // an estimate at the window's oldest sample.
    const CChildView& view = *m_pView;
    for (int c = 0; c < kGraphChannels; ++c) {
        GraphFilter& filter = window.filter[c];
        if (view.m_bPlot[c] && window.filterRuns[c]) {
            for (std::size_t k = window.refs.size(); k-- > 0;)
                if (const std::optional<double> x =
                        RawValue(m_logCache, window.refs[k], c, window.setting[c]))
                    filter.Step(*x, view.m_dFilterCoeff[c]);
            m_dFilterSaved[c] = filter.out;
        } else {
            m_dFilterSaved[c] = kNoValue;
        }
        m_dFilterOut[c] = filter.out;
        m_dFilterIn[c] = filter.in;
        m_dScaleMax[c] = window.scale[c].max;
        m_dScaleMin[c] = window.scale[c].min;
    }
}

void CGraView::DrawTimeAxis(DrawTools& tools) const {
    const QString span = TimeSpanText(m_tLatest - m_tEarliest);
    tools.canvas.Text(kSpanLabelX, kTimeLabelY, span, LabelAlign::Centre, LabelBase::Baseline,
                      tools.labelFont, m_bZoomed ? Colour(kZoomedColour) : QColor(Qt::black));
    const int w = static_cast<int>(tools.canvas.TextWidth(span, tools.labelFont) / 2);
    tools.painter.setPen(tools.greyPen);
    tools.canvas.Line(550, kSpanArrowY, 580, kSpanArrowY - 10);
    tools.canvas.Line(550, kSpanArrowY, 580, kSpanArrowY + 10);
    tools.canvas.Line(550, kSpanArrowY, kSpanLabelX - 15 - w, kSpanArrowY);
    tools.canvas.Line(1050, kSpanArrowY, 1020, kSpanArrowY - 10);
    tools.canvas.Line(1050, kSpanArrowY, 1020, kSpanArrowY + 10);
    tools.canvas.Line(1050, kSpanArrowY, kSpanLabelX + 15 + w, kSpanArrowY);
    if (m_tEarliest > kRealTimes)
        tools.canvas.Text(
            kLeftLabelX, kTimeLabelY,
            FormatUtcTime(static_cast<std::int64_t>(m_tEarliest), "start %H:%M:%S %d/%m/%y UTC"),
            LabelAlign::Left, LabelBase::Baseline, tools.labelFont, Qt::black);
}

void CGraView::DrawTags(DrawTools& tools, bool allData) const {
    // Tags are in record order: the block of each is found walking forward.
    const std::vector<GraphLogCache::Block>& blocks = m_logCache.Blocks();
    std::size_t blockStart = 0;
    std::size_t blockIndex = 0;
    for (const GraphLogTag& tag : m_logCache.Tags()) {
        while (blockIndex < blocks.size() && tag.record >= blockStart + blocks[blockIndex].time.size())
            blockStart += blocks[blockIndex++].time.size();
        if (blockIndex >= blocks.size())
            break;
        const std::uint64_t t = blocks[blockIndex].time[tag.record - blockStart];
        if (!allData && (t < m_tZoomStart || t > m_tZoomEnd))
            continue;
        const int x = TimeToX(t, m_tEarliest, m_tLatest);
        tools.canvas.VerticalText(x, m_nBandBottom[tag.flag], tag.text, LabelAlign::Left, LabelBase::Baseline,
                                  tools.verticalFont, Qt::black);
    }
}

void CGraView::RollTimeWindow() {
    // Unless the user zoomed, the next draw shows the last Graph/Duration minutes of the log.
    if (m_bZoomed)
        return;
    const int minutes = m_pView->m_nGraphDuration;
    const std::uint64_t duration = minutes < 1 ? 0 : static_cast<std::uint64_t>(minutes) * kSecondsPerMinute;
    m_tZoomEnd = kNoTime;
    m_tZoomStart = minutes < 1 || duration > m_tLastSeen ? 0 : m_tLastSeen - duration;
}
