#pragma once
// Numbers of the graph's labels, statistics and read-out with a metric prefix.
#include <QString>

// The value with a metric prefix (T, G, M, k, none, m, u, n, p) and at most `decimals` decimals,
// cut toward zero, not rounded, and written with "%g" (six significant digits at most) in the C
// locale: 2500 with 1 decimal is "2.5k", 0.000432 with 2 is "432u". A magnitude of 1e-12 or less
// is written with "%g" alone; infinity and NaN as "inf" and "nan".
QString FormatEngineering(double value, int decimals);
