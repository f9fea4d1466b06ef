#pragma once
// Whether two failures said of one output give the same reason.
#include <QString>

// The text with the figures of the one try that met the failure taken out: the time a connect or
// a transfer ran before it failed ("after 10001 ms", "after 5000 milliseconds") and the bytes it
// had got by then. Tries that fail the same way then read alike, while the host, the port, the
// path and the error's own words still tell reasons apart.
QString WithoutTryFigures(const QString& text);

inline bool SameReason(const QString& a, const QString& b) {
    return a == b || WithoutTryFigures(a) == WithoutTryFigures(b);
}
