#include "displays/FormatEngineering.h"

#include <cmath>

namespace {

struct Prefix {
    double above;
    double factor;
    const char* letter;
};

constexpr Prefix kPrefixes[] = {{1e12, 1e-12, "T"}, {1e9, 1e-9, "G"}, {1e6, 1e-6, "M"},
                                {1e3, 1e-3, "k"},   {1.0, 1.0, ""},   {1e-3, 1e3, "m"},
                                {1e-6, 1e6, "u"},   {1e-9, 1e9, "n"}, {1e-12, 1e12, "p"}};

} // namespace

QString FormatEngineering(double value, int decimals) {
    const bool negative = value < 0;
    const double a = std::fabs(value);
    double d = 1.0;
    for (int i = 0; i < decimals; ++i)
        d *= 10.0;
    QString text;
    if (std::isinf(a)) {
        text = QStringLiteral("inf");
    } else {
        text = QString::asprintf("%g", a);
        for (const Prefix& prefix : kPrefixes) {
            if (a > prefix.above) {
                // Cut in double: the same as a 32-bit integer cut wherever that fits, and sound
                // where it does not.
                const double cut = std::trunc(a * prefix.factor * d) / d;
                text = QString::asprintf("%g", cut) + QLatin1String(prefix.letter);
                break;
            }
        }
    }
    return negative ? QLatin1Char('-') + text : text;
}
