#include "displays/GraphStatistics.h"

#include "displays/FormatEngineering.h"

#include <cmath>

namespace {
constexpr double kSmallestCoefficient = 1e-20;
// A result needs more than this many samples (the Allan deviation this many differences).
constexpr std::int64_t kFewestSamples = 2;
} // namespace

double GraphFilter::Step(double x, double coefficient) {
    const double f =
        out > kNoValue ? (1 - coefficient) * out + 0.5 * coefficient * in + 0.5 * coefficient * x : x;
    out = f;
    in = x;
    return f;
}

bool FilterRuns(int mode, double coefficient) {
    return mode != 0 && coefficient > kSmallestCoefficient;
}

void GraphStatistics::Add(double y, double tau) {
    if (!m_haveFirst) {
        m_haveFirst = true;
        m_y0 = y;
    }
    if (m_allan) {
        if (m_havePrevious) {
            const double difference = y - m_previous;
            ++m_differences;
            m_sumSquaredDifferences += difference * difference;
        }
        m_havePrevious = true;
        m_previous = y;
    }
    const double dy = y - m_y0;
    if (m_leastSquares) {
        ++m_fitCount;
        m_sumTau += tau;
        m_sumTau2 += tau * tau;
        m_sumY += dy;
        m_sumTauY += tau * dy;
        m_sumY2 += dy * dy;
    }
    ++m_count;
    m_sum += dy;
}

GraphStatisticsResult GraphStatistics::Result() const {
    GraphStatisticsResult result;
    if (m_allan && m_differences > kFewestSamples) {
        result.hasAllan = true;
        result.allan = std::sqrt(0.5 * m_sumSquaredDifferences / static_cast<double>(m_differences));
    }
    if (m_count > kFewestSamples) {
        result.hasMean = true;
        result.mean = m_y0 + m_sum / static_cast<double>(m_count);
    }
    if (m_leastSquares && m_fitCount > kFewestSamples) {
        const double n = static_cast<double>(m_fitCount);
        const double sty = m_sumTauY - m_sumTau * m_sumY / n;
        const double stt = m_sumTau2 - m_sumTau * m_sumTau / n;
        const double syy = m_sumY2 - m_sumY * m_sumY / n;
        result.hasFit = true;
        if (stt > 0) {
            result.slope = sty / stt;
            // The intercept of the shifted values, shifted back.
            result.intercept =
                m_y0 + (m_sumTau2 * m_sumY - m_sumTauY * m_sumTau) / (m_sumTau2 * n - m_sumTau * m_sumTau);
        } else {
            // All samples in one second: a flat line at the mean.
            result.slope = 0.0;
            result.intercept = m_y0 + m_sumY / n;
        }
        const double variance = (syy - result.slope * sty) / (n - 1);
        result.sd = variance > 0 ? std::sqrt(variance) : 0.0;
    }
    return result;
}

QString StatisticsText(const GraphStatisticsResult& result, bool showAllan, bool showMean, bool showSd,
                       int decimals) {
    QString text;
    const auto append = [&](const char* name, double value) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QLatin1String(name) + FormatEngineering(value, decimals);
    };
    if (showAllan && result.hasAllan)
        append("ad=", result.allan);
    if (showMean && result.hasMean)
        append("av=", result.mean);
    if (showSd && result.hasFit)
        append("sd=", result.sd);
    return text;
}
