// The graph window: the cached picture and the draw of the data log.
#include "displays/GraView.h"

#include "app/ChildView.h"
#include "app/Globals.h"
#include "displays/FormatEngineering.h"
#include "displays/GraphCanvas.h"
#include "displays/GraphStatistics.h"
#include "displays/GraphTrace.h"
#include "platform/WaitCursor.h"
#include "platform/WallClock.h"

#include "publishing/DataLogFormat.h"
#include "publishing/ExportedImage.h"
#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <optional>

namespace {

// The logical plane: x from -1070 to 1070, y from 1069 down to -1071.
constexpr int kPlaneLeft = -1070;
constexpr int kPlaneTop = 1069;
constexpr int kPlaneSize = 2140;
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

QColor Colour(COLORREF colour) {
    return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

// Where a sample of the window is in the parsed copy.
struct SampleRef {
    std::uint32_t block;
    std::uint32_t index;
};

// One draw's samples inside the time window, with the filter's output of the filtered channels.
struct WindowSamples {
    std::vector<SampleRef> refs;
    std::array<std::vector<double>, kGraphChannels> filtered; // empty unless the filter runs
    std::array<bool, kGraphChannels> filterRuns{};
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

CGraView::CGraView(CChildView* view) : m_pView(view) {
    setAutoFillBackground(false);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    m_fontLabel = QFont(QStringLiteral("DejaVu Sans"));
    m_fontVertical = QFont(QStringLiteral("DejaVu Sans"));
}

void CGraView::CreateCachedBitmap() {
    m_bmpCache = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_bmpCache.fill(Qt::white);
    m_bCacheValid = false;
}

void CGraView::RenderToBitmap() {
    if (!g_bUseBitmap)
        return;
    if (m_bmpCache.size() != size().expandedTo(QSize(1, 1)))
        CreateCachedBitmap();
    m_bmpCache.fill(Qt::white);
    QPainter painter(&m_bmpCache);
    SetMapping(painter, m_bmpCache.rect());
    Draw(painter, false);
    painter.end();
    m_bCacheValid = true;
}

void CGraView::SetMapping(QPainter& painter, const QRect& target) const {
    painter.setWindow(kPlaneLeft, kPlaneTop, kPlaneSize, -kPlaneSize);
    painter.setViewport(target.left(), target.top(), target.width() - 1, target.height() - 1);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
}

bool CGraView::LogScale(int c) const {
    const CChildView& view = *m_pView;
    return UsesLogScale(c + 1, g_nReceiverType, view.m_strLabel[c], view.m_bHoldMin[c], view.m_bHoldMax[c],
                        view.m_dMin[c], view.m_dMax[c], view.m_dMagnification[c], view.m_dOffset[c]);
}

QImage CGraView::RenderExportImage(QSize size, bool blit, bool allData) {
    if (blit) {
        if (g_bUseBitmap) {
            if (!m_bCacheValid)
                RenderToBitmap();
            return m_bmpCache.copy();
        }
        // Without a cache the screen picture is drawn afresh at the window's size.
        size = this->size();
        allData = false;
    }
    const GraphDrawState kept = *this;
    QImage image(size.expandedTo(QSize(2, 2)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    SetMapping(painter, image.rect());
    Draw(painter, allData);
    painter.end();
    static_cast<GraphDrawState&>(*this) = kept;
    return image;
}

void CGraView::Draw(QPainter& painter, bool allData) {
    platform::WaitCursor wait;
    const CChildView& view = *m_pView;
    GraphCanvas canvas(painter);
    const QFont labelFont = canvas.ScaledFont(m_fontLabel, kLabelHeight);
    const QFont verticalFont = canvas.ScaledFont(m_fontVertical, kVerticalHeight / kCellPerEm);
    const QPen greyPen = canvas.Pen(Colour(kGrey), kGreyPenWidth);
    painter.save();

    // Bands.
    const BandLines bands = LayoutBands(view.m_bPlot, view.m_nTraceProportion);
    m_nBandTop = bands.top;
    m_nBandBottom = bands.bottom;

    // Frame and header.
    painter.setPen(greyPen);
    painter.setBrush(Qt::NoBrush);
    canvas.Line(-1050, kPlotTop, -900, kPlotTop);
    canvas.Line(-1050, kPlotBottom, -900, kPlotBottom);
    canvas.Line(kPlotLeft, kPlotBottom, kPlotLeft, kPlotTop);
    const std::uint64_t now = static_cast<std::uint64_t>(platform::CurrentWallClock().now().tv_sec);
    canvas.Text(-1050, kPlotTop,
                FormatUtcTime(static_cast<std::int64_t>(now), "%H:%M:%S %d/%m/%y UTC") + QLatin1Char(' ') +
                    view.m_strIdentity,
                LabelAlign::Left, LabelBase::Baseline, labelFont, Qt::black);

    // The log.
    const QString path = view.GetLogPath();
    if (path.isEmpty() || !m_logCache.Refresh(path)) {
        painter.restore();
        return;
    }

    // Reset the range, the scales, the filter and the sums.
    m_tEarliest = kNoTime;
    m_tLatest = 0;
    m_tFirstSeen = 0;
    std::array<ChannelScale, kGraphChannels> scale;
    std::array<ChannelSetting, kGraphChannels> setting{};
    std::array<GraphFilter, kGraphChannels> filter;
    std::vector<GraphStatistics> statistics;
    WindowSamples window;
    for (int c = 0; c < kGraphChannels; ++c) {
        scale[c] = InitialScale(view.m_bHoldMin[c], view.m_bHoldMax[c], view.m_dMin[c], view.m_dMax[c]);
        setting[c] = {view.m_dMagnification[c], view.m_dOffset[c]};
        filter[c] = {m_dFilterSaved[c], m_dFilterSaved[c]};
        window.filterRuns[c] = FilterRuns(view.m_nFilterMode[c], view.m_dFilterCoeff[c]);
        statistics.emplace_back(view.m_bAllanDeviation[c], view.m_bStdDev[c] || view.m_bBestFit[c]);
    }

    // Walk the records in file order.
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
            for (int c = 0; c < kGraphChannels; ++c) {
                const std::optional<double> raw = RawValue(m_logCache, {b, i}, c, setting[c]);
                if (!raw) {
                    statistics[c].Gap();
                    if (window.filterRuns[c])
                        window.filtered[c].push_back(kNoValue);
                    continue;
                }
                const double x = *raw;
                double v = x;
                if (window.filterRuns[c]) {
                    v = filter[c].Step(x, view.m_dFilterCoeff[c]);
                    window.filtered[c].push_back(v);
                }
                UpdateScale(scale[c], v, x, view.m_nFilterMode[c] == 2, view.m_bHoldMin[c],
                            view.m_bHoldMax[c], view.m_dMin[c], view.m_dMax[c]);
                statistics[c].Add(x, tau);
            }
        }
    }

    // Plot each channel: the raw trace in the light colour first in the both-traces mode, then
    // the plotted value in the trace colour.
    const std::size_t samples = window.refs.size();
    for (int c = 0; c < kGraphChannels; ++c) {
        if (!view.m_bPlot[c])
            continue;
        const int top = m_nBandTop[c];
        const int bottom = m_nBandBottom[c];
        const bool logScale = LogScale(c);
        const COLORREF light = LightColour(view.m_crTrace[c]);
        std::optional<std::uint64_t> firstDrawn;
        std::uint64_t lastDrawn = 0;
        for (int pass = view.m_nFilterMode[c] == 2 ? 0 : 1; pass <= 1; ++pass) {
            const QColor colour = Colour(pass == 0 ? light : view.m_crTrace[c]);
            QPainter& tracePainter = m_traceLayer.Begin(
                painter, QRectF(QPointF(kPlotLeft, top), QPointF(kPlotRight, bottom - 15)).normalized(),
                canvas.Pen(colour, kTracePenWidth));
            if (samples > 0 && scale[c].max == scale[c].min) {
                scale[c].max += kWiden;
                scale[c].min -= kWiden;
            }
            const bool hasRange = scale[c].max - scale[c].min > kNoRange;
            {
                GraphTrace trace(
                    tracePainter, colour,
                    static_cast<int>(std::lround(2 * std::fabs(painter.combinedTransform().m11()))),
                    m_bEverySegment);
                const bool useFiltered = pass == 1 && window.filterRuns[c];
                for (std::size_t k = 0; k < samples; ++k) {
                    const SampleRef ref = window.refs[k];
                    const double v = useFiltered
                                         ? window.filtered[c][k]
                                         : RawValue(m_logCache, ref, c, setting[c]).value_or(kNoValue);
                    int y = 0;
                    if (v <= kNoValue || !hasRange || !ValueToY(v, scale[c], top, bottom, logScale, y)) {
                        trace.Gap();
                        continue;
                    }
                    const std::uint64_t t = blocks[ref.block].time[ref.index];
                    const int x = TimeToX(t, m_tEarliest, m_tLatest);
                    if (pass == 1) {
                        if (!firstDrawn)
                            firstDrawn = t;
                        lastDrawn = t;
                    }
                    if (samples == 1) {
                        trace.Line(x, y, x + kPlotWidth, y);
                        continue;
                    }
                    trace.Point(x, y);
                }
            }
            m_traceLayer.End();
            if (pass == 0)
                continue;

            // Labels and statistics.
            const double max = scale[c].max;
            const double min = scale[c].min;
            const int precision = view.m_nPrecision[c];
            const bool first = c < kTraceBands;
            if (!logScale && max - min > kNoRange) {
                const GraphStatisticsResult result = statistics[c].Result();
                const QString stats = StatisticsText(result, view.m_bAllanDeviation[c], view.m_bMean[c],
                                                     view.m_bStdDev[c], precision);
                if (view.m_bBestFit[c] && result.hasFit && m_tLatest > m_tEarliest + 1 && firstDrawn) {
                    painter.setPen(canvas.Pen(Colour(kBestFitColour), kBestFitPenWidth));
                    painter.setClipRect(
                        QRectF(QPointF(kPlotLeft, top), QPointF(kPlotRight, bottom - 15)).normalized());
                    const auto end = [&](std::uint64_t t, int& x, int& y) {
                        const double tau = static_cast<double>(t - m_tEarliest);
                        x = TimeToX(t, m_tEarliest, m_tLatest);
                        ValueToY(tau * result.slope + result.intercept, scale[c], top, bottom, false, y);
                    };
                    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
                    end(*firstDrawn, x1, y1);
                    end(lastDrawn, x2, y2);
                    canvas.Line(x1, y1, x2, y2);
                    painter.setClipping(false);
                }
                const QString a = FormatEngineering(max, precision);
                const QString bottomNumber = FormatEngineering(min, precision);
                const QString span = FormatEngineering(max - min, precision);
                const QColor textColour = Colour(light);
                const int middle = (top + bottom) / 2;
                int arrowX = 0;
                if (first) {
                    canvas.Text(kPlotLeft, top,
                                a + QLatin1Char(' ') + view.m_strLabel[c] + QLatin1Char(' ') + stats,
                                LabelAlign::Left, LabelBase::Baseline, labelFont, textColour);
                    canvas.Text(kPlotLeft, bottom, bottomNumber, LabelAlign::Left, LabelBase::Top, labelFont,
                                textColour);
                    canvas.VerticalText(-1070, middle, span, LabelAlign::Centre, LabelBase::Top, verticalFont,
                                        textColour);
                    arrowX = -1030;
                } else {
                    canvas.Text(kPlotRight, top, view.m_strLabel[c] + QLatin1Char(' ') + a, LabelAlign::Right,
                                LabelBase::Baseline, labelFont, textColour);
                    canvas.Text(kPlotRight, bottom, stats + QLatin1Char(' ') + bottomNumber,
                                LabelAlign::Right, LabelBase::Top, labelFont, textColour);
                    canvas.VerticalText(1050, middle, span, LabelAlign::Centre, LabelBase::Baseline,
                                        verticalFont, textColour);
                    arrowX = 1030;
                }
                const double length = canvas.VerticalTextLength(span, verticalFont);
                if (2 * length < top - bottom) {
                    const int h = static_cast<int>(length / 2);
                    painter.setPen(greyPen);
                    canvas.Line(arrowX, top, arrowX - 10, top - 30);
                    canvas.Line(arrowX, top, arrowX + 10, top - 30);
                    canvas.Line(arrowX, top, arrowX, middle + h + 15);
                    canvas.Line(arrowX, bottom, arrowX - 10, bottom + 30);
                    canvas.Line(arrowX, bottom, arrowX + 10, bottom + 30);
                    canvas.Line(arrowX, bottom, arrowX, middle - h - 15);
                }
            } else if (logScale && max - min >= 0) {
                const QColor textColour = Colour(light);
                canvas.Text(kPlotLeft, bottom, QStringLiteral("100 ns"), LabelAlign::Left, LabelBase::Top,
                            labelFont, textColour);
                QString topText = QStringLiteral("432 us ") + view.m_strLabel[c] + QLatin1Char(' ');
                if (samples > 0) {
                    const double last = window.filterRuns[c]
                                            ? window.filtered[c][samples - 1]
                                            : RawValue(m_logCache, window.refs[samples - 1], c, setting[c])
                                                  .value_or(kNoValue);
                    if (last > 0 && last < 1)
                        topText += FormatEngineering(last, precision);
                }
                canvas.Text(kPlotLeft, top, topText, LabelAlign::Left, LabelBase::Baseline, labelFont,
                            textColour);
                canvas.Text(kPlotLeft, (top + bottom) / 2 - 30, QStringLiteral("6.5 us"), LabelAlign::Left,
                            LabelBase::Baseline, labelFont, textColour);
            }
            // The zero line.
            const int zero = ZeroLineY(scale[c], top, bottom);
            if (bottom < zero && zero < top) {
                painter.setPen(greyPen);
                canvas.Line(kPlotLeft, zero, kPlotRight, zero);
            }
        }
    }

    // Filter hand-over: each plotted filtered channel runs backwards over the window, so the
    // next draw starts from an estimate at the window's oldest sample.
    for (int c = 0; c < kGraphChannels; ++c) {
        if (view.m_bPlot[c] && window.filterRuns[c]) {
            for (std::size_t k = samples; k-- > 0;)
                if (const std::optional<double> x = RawValue(m_logCache, window.refs[k], c, setting[c]))
                    filter[c].Step(*x, view.m_dFilterCoeff[c]);
            m_dFilterSaved[c] = filter[c].out;
        } else {
            m_dFilterSaved[c] = kNoValue;
        }
        m_dFilterOut[c] = filter[c].out;
        m_dFilterIn[c] = filter[c].in;
        m_dScaleMax[c] = scale[c].max;
        m_dScaleMin[c] = scale[c].min;
    }

    // The time axis, the tags and the rolling window.
    if (m_tLatest != m_tEarliest && m_tLatest != 0) {
        const QString span = TimeSpanText(m_tLatest - m_tEarliest);
        canvas.Text(800, -1060, span, LabelAlign::Centre, LabelBase::Baseline, labelFont,
                    m_bZoomed ? Colour(kZoomedColour) : QColor(Qt::black));
        const int w = static_cast<int>(canvas.TextWidth(span, labelFont) / 2);
        painter.setPen(greyPen);
        canvas.Line(550, -1040, 580, -1050);
        canvas.Line(550, -1040, 580, -1030);
        canvas.Line(550, -1040, 785 - w, -1040);
        canvas.Line(1050, -1040, 1020, -1050);
        canvas.Line(1050, -1040, 1020, -1030);
        canvas.Line(1050, -1040, 815 + w, -1040);
        if (m_tEarliest > kRealTimes)
            canvas.Text(-1050, -1060,
                        FormatUtcTime(static_cast<std::int64_t>(m_tEarliest), "start %H:%M:%S %d/%m/%y UTC"),
                        LabelAlign::Left, LabelBase::Baseline, labelFont, Qt::black);
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
            canvas.VerticalText(x, m_nBandBottom[tag.flag], tag.text, LabelAlign::Left, LabelBase::Baseline,
                                verticalFont, Qt::black);
        }
        if (!m_bZoomed) {
            const std::uint64_t duration =
                view.m_nGraphDuration < 1
                    ? 0
                    : static_cast<std::uint64_t>(view.m_nGraphDuration) * kSecondsPerMinute;
            m_tZoomEnd = kNoTime;
            m_tZoomStart = view.m_nGraphDuration < 1 || duration > m_tLastSeen ? 0 : m_tLastSeen - duration;
        }
    }
    painter.restore();
}

void CGraView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (g_bUseBitmap) {
        if (!m_bCacheValid)
            RenderToBitmap();
        painter.drawImage(0, 0, m_bmpCache);
    } else {
        // The combining raster operation needs an image to draw on.
        QImage picture(size().expandedTo(QSize(2, 2)), QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter imagePainter(&picture);
        SetMapping(imagePainter, picture.rect());
        Draw(imagePainter, false);
        imagePainter.end();
        painter.drawImage(0, 0, picture);
    }
    if (m_hover)
        DrawCursor(painter, rect(), *m_hover, true);
}

void CGraView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    CreateCachedBitmap();
}

void CGraView::ExportImage(const QString& path, bool blit, bool allData, QRect rect) {
    const QImage picture = RenderExportImage(rect.size(), blit, allData);
    if (const ImageWriteResult result = WriteExportedImage(picture, path); !result.ok)
        m_pView->Diagnostic(result.error);
}
