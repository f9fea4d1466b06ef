#include "publishing/ImagePalette.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

namespace {

constexpr int kPaletteEntries = 256;
// Colours seen more than once may take this many entries exactly; the others approximate the
// colours left over, so a picture of rare colours (a gradient, a photograph) keeps its look.
constexpr int kExactEntries = 192;
// Beyond this many left-over colours the median cut works on the means of cells of 8 x 8 x 8
// colour values instead of on every colour.
constexpr std::size_t kColoursCutOneByOne = 32768;
// Colours are looked up in cells of 8 x 8 x 8 colour values: 32 cells along each component.
constexpr int kCellShift = 3;
constexpr int kCellSide = 1 << kCellShift;
constexpr int kCells = 32 * 32 * 32;

struct ColourCount {
    QRgb colour;
    std::uint32_t count;
};

// How often each colour of a picture occurs and the palette entry it takes: an open-addressing
// table, as a picture may hold a million colours. Colours of an RGB32 picture are opaque, so 0
// marks a free slot.
class ColourTable {
public:
    struct Slot {
        QRgb colour = 0;
        std::uint32_t count = 0;
        int entry = -1;
    };

    Slot& operator[](QRgb colour) {
        if (2 * (m_used + 1) > m_slots.size())
            Grow();
        Slot& slot = Find(m_slots, colour);
        if (slot.colour == 0) {
            slot.colour = colour;
            ++m_used;
        }
        return slot;
    }
    const std::vector<Slot>& Slots() const { return m_slots; }
    std::size_t Size() const { return m_used; }

private:
    static Slot& Find(std::vector<Slot>& slots, QRgb colour) {
        const std::size_t mask = slots.size() - 1;
        std::size_t i = (colour * 0x9E3779B1u) & mask;
        while (slots[i].colour != 0 && slots[i].colour != colour)
            i = (i + 1) & mask;
        return slots[i];
    }
    void Grow() {
        std::vector<Slot> bigger(std::max<std::size_t>(1024, 2 * m_slots.size()));
        for (const Slot& slot : m_slots)
            if (slot.colour != 0)
                Find(bigger, slot.colour) = slot;
        m_slots.swap(bigger);
    }

    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

int Component(QRgb colour, int channel) {
    return channel == 0 ? qRed(colour) : channel == 1 ? qGreen(colour) : qBlue(colour);
}

int DistanceSquared(QRgb a, QRgb b) {
    const int r = qRed(a) - qRed(b);
    const int g = qGreen(a) - qGreen(b);
    const int bl = qBlue(a) - qBlue(b);
    return r * r + g * g + bl * bl;
}

// The colours of each scan line counted run by run: flat areas cost one look-up per run.
ColourTable CountColours(const QImage& image) {
    ColourTable table;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int x = 0;
        while (x < image.width()) {
            const QRgb colour = line[x];
            int end = x + 1;
            while (end < image.width() && line[end] == colour)
                ++end;
            table[colour].count += static_cast<std::uint32_t>(end - x);
            x = end;
        }
    }
    return table;
}

// The cell of a colour: 32 x 32 x 32 cells of 8 x 8 x 8 colour values.
std::size_t Cell(QRgb colour) {
    constexpr int kBits = 8 - kCellShift;
    return static_cast<std::size_t>((qRed(colour) >> kCellShift) << (2 * kBits) |
                                    (qGreen(colour) >> kCellShift) << kBits | qBlue(colour) >> kCellShift);
}

// Colours gathered into their cells, each cell given by the count-weighted mean of its colours.
std::vector<ColourCount> CellMeans(const std::vector<ColourCount>& colours) {
    struct Sum {
        std::array<std::uint64_t, 3> component{};
        std::uint64_t count = 0;
    };
    std::vector<Sum> cells(kCells);
    for (const ColourCount& colour : colours) {
        Sum& sum = cells[Cell(colour.colour)];
        for (int channel = 0; channel < 3; ++channel)
            sum.component[channel] +=
                static_cast<std::uint64_t>(Component(colour.colour, channel)) * colour.count;
        sum.count += colour.count;
    }
    std::vector<ColourCount> means;
    for (const Sum& sum : cells) {
        if (sum.count == 0)
            continue;
        const auto mean = [&](int channel) {
            return static_cast<int>((sum.component[channel] + sum.count / 2) / sum.count);
        };
        // A picture has fewer than 2^32 pixels, so no cell's count overflows.
        means.push_back({qRgb(mean(0), mean(1), mean(2)), static_cast<std::uint32_t>(sum.count)});
    }
    return means;
}

// A box of the median cut: a run of colours and the channel over which they spread most.
struct Box {
    std::size_t begin = 0;
    std::size_t end = 0;
    int channel = 0;
    int spread = 0;
};

Box MakeBox(const std::vector<ColourCount>& colours, std::size_t begin, std::size_t end) {
    Box box{begin, end, 0, -1};
    for (int channel = 0; channel < 3; ++channel) {
        int low = 255;
        int high = 0;
        for (std::size_t i = begin; i < end; ++i) {
            low = std::min(low, Component(colours[i].colour, channel));
            high = std::max(high, Component(colours[i].colour, channel));
        }
        if (high - low > box.spread) {
            box.spread = high - low;
            box.channel = channel;
        }
    }
    return box;
}

// Up to `entries` colours standing for the given ones: the box of widest spread is cut at its
// count-weighted median until there are enough boxes, and each box gives its weighted mean.
std::vector<QRgb> MedianCut(std::vector<ColourCount>& colours, int entries) {
    std::vector<Box> boxes;
    if (!colours.empty())
        boxes.push_back(MakeBox(colours, 0, colours.size()));
    while (static_cast<int>(boxes.size()) < entries) {
        const auto widest = std::max_element(boxes.begin(), boxes.end(),
                                             [](const Box& a, const Box& b) { return a.spread < b.spread; });
        if (widest == boxes.end() || widest->spread <= 0)
            break;
        const Box box = *widest;
        const auto first = colours.begin() + static_cast<std::ptrdiff_t>(box.begin);
        const auto last = colours.begin() + static_cast<std::ptrdiff_t>(box.end);
        std::sort(first, last, [&](const ColourCount& a, const ColourCount& b) {
            return Component(a.colour, box.channel) < Component(b.colour, box.channel);
        });
        std::uint64_t total = 0;
        for (auto it = first; it != last; ++it)
            total += it->count;
        // Both halves keep at least one colour: the box holds two or more, as it has a spread.
        std::uint64_t below = 0;
        std::size_t cut = box.begin;
        while (cut + 1 < box.end && 2 * (below + colours[cut].count) <= total)
            below += colours[cut++].count;
        cut = std::max(cut, box.begin + 1);
        *widest = MakeBox(colours, box.begin, cut);
        boxes.push_back(MakeBox(colours, cut, box.end));
    }
    std::vector<QRgb> means;
    for (const Box& box : boxes) {
        std::array<std::uint64_t, 3> sum{};
        std::uint64_t weight = 0;
        for (std::size_t i = box.begin; i < box.end; ++i) {
            for (int channel = 0; channel < 3; ++channel)
                sum[channel] +=
                    static_cast<std::uint64_t>(Component(colours[i].colour, channel)) * colours[i].count;
            weight += colours[i].count;
        }
        const auto mean = [&](int channel) { return static_cast<int>((sum[channel] + weight / 2) / weight); };
        means.push_back(qRgb(mean(0), mean(1), mean(2)));
    }
    return means;
}

// The entries that can be nearest to some colour of a cell, in palette order: no colour of the
// cell is farther from its nearest entry than the smallest of the entries' greatest distances to
// the cell, so an entry whose least distance to the cell is greater is never the nearest.
std::vector<int> CellCandidates(const QList<QRgb>& palette, QRgb cellCorner) {
    std::vector<int> least(static_cast<std::size_t>(palette.size()));
    int bound = INT_MAX;
    for (int i = 0; i < palette.size(); ++i) {
        int nearest = 0;
        int farthest = 0;
        for (int channel = 0; channel < 3; ++channel) {
            const int low = Component(cellCorner, channel);
            const int high = low + kCellSide - 1;
            const int entry = Component(palette[i], channel);
            const int outside = entry < low ? low - entry : entry > high ? entry - high : 0;
            const int across = std::max(entry - low, high - entry);
            nearest += outside * outside;
            farthest += across * across;
        }
        least[static_cast<std::size_t>(i)] = nearest;
        bound = std::min(bound, farthest);
    }
    std::vector<int> candidates;
    for (int i = 0; i < palette.size(); ++i)
        if (least[static_cast<std::size_t>(i)] <= bound)
            candidates.push_back(i);
    return candidates;
}

// The entry nearest to the colour among the candidates; the first of equally near ones.
int NearestEntry(const QList<QRgb>& palette, const std::vector<int>& candidates, QRgb colour) {
    int best = candidates.front();
    int bestDistance = DistanceSquared(palette[best], colour);
    for (std::size_t k = 1; k < candidates.size() && bestDistance > 0; ++k) {
        const int distance = DistanceSquared(palette[candidates[k]], colour);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidates[k];
        }
    }
    return best;
}

// Gives each colour its nearest palette entry: the entries that can be nearest in a cell are
// found once, and each colour of the cell is compared with those alone.
void MapToNearest(const std::vector<ColourCount>& colours, const QList<QRgb>& palette, ColourTable& table) {
    std::vector<std::vector<int>> candidates(colours.empty() ? 0 : kCells);
    for (const ColourCount& colour : colours) {
        std::vector<int>& cell = candidates[Cell(colour.colour)];
        if (cell.empty()) {
            constexpr QRgb kCellCorner = 0xFF000000u | (0xFFu << kCellShift & 0xFFu) * 0x010101u;
            cell = CellCandidates(palette, colour.colour & kCellCorner);
        }
        table[colour.colour].entry = NearestEntry(palette, cell, colour.colour);
    }
}

} // namespace

QImage ToOwnPalette(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return {};
    ColourTable table = CountColours(image);

    // The palette: every colour, or the most frequent ones and stand-ins for the rest.
    std::vector<ColourCount> colours;
    colours.reserve(table.Size());
    for (const ColourTable::Slot& slot : table.Slots())
        if (slot.colour != 0)
            colours.push_back({slot.colour, slot.count});
    const auto moreFrequent = [](const ColourCount& a, const ColourCount& b) {
        return a.count != b.count ? a.count > b.count : a.colour < b.colour;
    };
    std::size_t exact = colours.size();
    if (colours.size() > kPaletteEntries) {
        std::partial_sort(colours.begin(), colours.begin() + kExactEntries, colours.end(), moreFrequent);
        exact = 0;
        while (exact < kExactEntries && colours[exact].count > 1)
            ++exact;
    } else {
        std::sort(colours.begin(), colours.end(), moreFrequent);
    }
    QList<QRgb> palette;
    for (std::size_t i = 0; i < exact; ++i) {
        palette.push_back(colours[i].colour);
        table[colours[i].colour].entry = static_cast<int>(i);
    }
    const std::vector<ColourCount> rest(colours.begin() + static_cast<std::ptrdiff_t>(exact), colours.end());
    std::vector<ColourCount> cutFrom = rest.size() > kColoursCutOneByOne ? CellMeans(rest) : rest;
    for (const QRgb mean : MedianCut(cutFrom, kPaletteEntries - static_cast<int>(exact)))
        palette.push_back(mean);
    MapToNearest(rest, palette, table);

    QImage indexed(image.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* out = indexed.scanLine(y);
        QRgb previous = line[0];
        auto entry = static_cast<std::uint8_t>(table[previous].entry);
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] != previous) {
                previous = line[x];
                entry = static_cast<std::uint8_t>(table[previous].entry);
            }
            out[x] = entry;
        }
    }
    return indexed;
}
