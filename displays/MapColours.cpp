#include "displays/MapColours.h"

#include <algorithm>
#include <cmath>

const std::array<QRgb, kSignalColourTop + 1> g_SignalColours = {
    qRgb(19, 4, 198),  qRgb(29, 106, 250), qRgb(22, 250, 158), qRgb(31, 250, 36), qRgb(166, 251, 9),
    qRgb(252, 239, 3), qRgb(252, 149, 10), qRgb(244, 24, 0),   qRgb(0, 0, 0)};

namespace {
std::array<QRgb, 256> PrnColourTable() {
    constexpr int L4[] = {255, 191, 127, 63};
    constexpr int L5[] = {255, 191, 127, 63, 0};
    constexpr int M4[] = {223, 159, 95, 31};
    constexpr int kSecondRed[] = {191, 127};
    std::array<QRgb, 256> table{};
    for (int i = 0; i < 100; ++i)
        table[i] = qRgb(L5[i / 20], L5[(i / 4) % 5], L4[i % 4]);
    for (int i = 100; i < 119; ++i)
        table[i] = table[i - 99];
    for (int i = 119; i < 199; ++i) {
        const int j = i - 119;
        table[i] = qRgb(M4[j / 20], L5[(j / 4) % 5], L4[j % 4]);
    }
    for (int i = 199; i < 239; ++i) {
        const int k = i - 199;
        const int m = k % 20;
        table[i] =
            m < 16 ? qRgb(kSecondRed[k / 20], M4[m / 4], L4[m % 4]) : qRgb(kSecondRed[k / 20], 0, M4[m - 16]);
    }
    for (int i = 239; i < 256; ++i)
        table[i] = qRgb(0, 0, 0);
    return table;
}
} // namespace

const std::array<QRgb, 256> g_PrnColours = PrnColourTable();

int SignalColourIndex(double level, double min, double max) {
    if (!(max > min))
        return 0;
    const double index = std::trunc(kSignalColourTop * (level - min) / (max - min));
    return static_cast<int>(std::clamp(index, 0.0, static_cast<double>(kSignalColourTop)));
}
