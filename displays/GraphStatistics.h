#pragma once
// The graph's first-order low-pass filter and the statistics of a channel's samples inside the
// time window: Allan deviation between successive samples, mean, and the least-squares line with
// the standard deviation about it. Pure code.
#include "displays/GraphLayout.h"

#include <QString>
#include <cstdint>

// One channel's filter: f = (1 - c) * previous output + c/2 * previous input + c/2 * x, started
// at the first value. The state bridges absent values.
struct GraphFilter {
    double out = kNoValue; // previous output, kNoValue when unset
    double in = kNoValue;  // previous input
    double Step(double x, double coefficient);
};

// Whether a channel's filter runs: modes 1 (smoothed) and 2 (both) with a coefficient above 1e-20.
bool FilterRuns(int mode, double coefficient);

struct GraphStatisticsResult {
    bool hasAllan = false;
    double allan = 0.0;
    bool hasMean = false;
    double mean = 0.0;
    bool hasFit = false; // slope, intercept and sd
    double slope = 0.0;  // per second
    double intercept = 0.0;
    double sd = 0.0;
};

// The sums of one channel over one draw. Values are accumulated relative to the first one, so a
// large constant offset (a counter reading of 10 MHz) does not cancel the digits that matter; the
// results are those of the plain sums.
class GraphStatistics {
public:
    GraphStatistics(bool allan, bool leastSquares) : m_allan(allan), m_leastSquares(leastSquares) {}
    // A present raw value y at tau seconds after the window's earliest time.
    void Add(double y, double tau);
    // An absent value: no difference is taken across it.
    void Gap() { m_havePrevious = false; }
    GraphStatisticsResult Result() const;

private:
    bool m_allan;
    bool m_leastSquares;
    bool m_haveFirst = false;
    double m_y0 = 0.0;
    // Allan
    bool m_havePrevious = false;
    double m_previous = 0.0;
    std::int64_t m_differences = 0;
    double m_sumSquaredDifferences = 0.0;
    // mean
    std::int64_t m_count = 0;
    double m_sum = 0.0;
    // least squares
    std::int64_t m_fitCount = 0;
    double m_sumTau = 0.0, m_sumTau2 = 0.0, m_sumY = 0.0, m_sumTauY = 0.0, m_sumY2 = 0.0;
};

// "ad=", "av=" and "sd=" of the results the channel shows, separated by spaces, each number in
// FormatEngineering with the channel's decimals.
QString StatisticsText(const GraphStatisticsResult& result, bool showAllan, bool showMean, bool showSd,
                       int decimals);
