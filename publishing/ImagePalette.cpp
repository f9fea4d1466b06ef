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
    std::vector<Slot>& Slots() { return m_slots; }
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

// A palette entry that may be nearest to colours of a cell, with its least distance to the cell.
struct Candidate {
    int least;
    int entry;
    QRgb colour;
};

// The nearest palette entry of each colour, found cell by cell: the entries that can be nearest
// to some colour of a cell are found once, and each colour of the cell is compared with those
// alone, nearest to the cell first.
class NearestEntries {
public:
    explicit NearestEntries(const QList<QRgb>& palette) : m_palette(palette), m_cells(kCells) {
        for (const QRgb entry : palette)
            for (int channel = 0; channel < 3; ++channel)
                m_components[channel].push_back(Component(entry, channel));
    }

    // The nearest entry; the first in the palette of equally near ones. Candidates no nearer to
    // the cell than the best distance so far cannot beat it.
    int operator()(QRgb colour) {
        std::vector<Candidate>& candidates = m_cells[Cell(colour)];
        if (candidates.empty())
            candidates = CellCandidates(colour);
        int best = -1;
        int bestDistance = INT_MAX;
        for (const Candidate& candidate : candidates) {
            if (candidate.least > bestDistance)
                break;
            const int distance = DistanceSquared(candidate.colour, colour);
            if (distance < bestDistance || (distance == bestDistance && candidate.entry < best)) {
                bestDistance = distance;
                best = candidate.entry;
            }
        }
        return best;
    }

private:
    // No colour of the cell is farther from its nearest entry than the smallest of the entries'
    // greatest distances to the cell, so an entry whose least distance to the cell is greater is
    // never the nearest.
    std::vector<Candidate> CellCandidates(QRgb colour) {
        const std::size_t entries = m_palette.size();
        m_least.assign(entries, 0);
        m_greatest.assign(entries, 0);
        for (int channel = 0; channel < 3; ++channel) {
            const int low = Component(colour, channel) >> kCellShift << kCellShift;
            const int high = low + kCellSide - 1;
            const std::vector<int>& components = m_components[channel];
            for (std::size_t i = 0; i < entries; ++i) {
                const int entry = components[i];
                const int outside = std::max({0, low - entry, entry - high});
                const int across = std::max(entry - low, high - entry);
                m_least[i] += outside * outside;
                m_greatest[i] += across * across;
            }
        }
        const int bound = *std::min_element(m_greatest.begin(), m_greatest.end());
        std::vector<Candidate> candidates;
        for (std::size_t i = 0; i < entries; ++i)
            if (m_least[i] <= bound)
                candidates.push_back({m_least[i], static_cast<int>(i), m_palette[static_cast<qsizetype>(i)]});
        std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return a.least != b.least ? a.least < b.least : a.entry < b.entry;
        });
        return candidates;
    }

    const QList<QRgb>& m_palette;
    std::array<std::vector<int>, 3> m_components;
    std::vector<std::vector<Candidate>> m_cells;
    std::vector<int> m_least;
    std::vector<int> m_greatest;
};

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
    colours.erase(colours.begin(), colours.begin() + static_cast<std::ptrdiff_t>(exact));
    std::vector<ColourCount> cutFrom =
        colours.size() > kColoursCutOneByOne ? CellMeans(colours) : std::move(colours);
    for (const QRgb mean : MedianCut(cutFrom, kPaletteEntries - static_cast<int>(exact)))
        palette.push_back(mean);
    // The colours left over (those without an entry of their own) take their nearest one.
    NearestEntries nearest(palette);
    for (ColourTable::Slot& slot : table.Slots())
        if (slot.colour != 0 && slot.entry < 0)
            slot.entry = nearest(slot.colour);

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
