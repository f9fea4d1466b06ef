#include "receiver/SatelliteParser.h"

#include "app/Globals.h"
#include "receiver/NumberText.h"

namespace {

// Slot changes. Whether the geometry changed is judged by comparing the table after the answer
// with the table before it, so a slot that is emptied on the way (a blank column) and then filled
// with the same satellite does not count as a change.
class SlotWriter {
public:
    explicit SlotWriter(std::array<CSatInfo, kSatelliteSlots>& sats) : m_sats(sats), m_before(sats) {}

    void Empty(int slot) { m_sats[slot].Empty(); }
    void EmptyRange(int first, int last) {
        for (int slot = first; slot <= last; ++slot)
            Empty(slot);
    }
    void Store(int slot, std::uint16_t prn, std::uint8_t elevation, std::uint16_t azimuth) {
        CSatInfo& sat = m_sats[slot];
        sat.m_byPrnLow = static_cast<std::uint8_t>(prn & 0xFF);
        sat.m_byPrnHigh = static_cast<std::uint8_t>(prn >> 8);
        sat.m_byElevation = elevation;
        sat.m_wAzimuth = azimuth;
    }
    // A satellite stored as not tracked that was tracked in this slot before.
    void StoreNotTracked(int slot) {
        if (m_before[slot].m_bySnrWhole != 0)
            m_lostTracking = true;
        m_sats[slot].m_bySnrWhole = 0;
    }
    CSatInfo& operator[](int slot) { return m_sats[slot]; }
    bool Changed() const {
        if (m_lostTracking)
            return true;
        for (int slot = 0; slot < kSatelliteSlots; ++slot) {
            const CSatInfo& before = m_before[slot];
            const CSatInfo& after = m_sats[slot];
            if (before.SatelliteNumber() != after.SatelliteNumber() ||
                before.m_byElevation != after.m_byElevation || before.m_wAzimuth != after.m_wAzimuth)
                return true;
        }
        return false;
    }

private:
    std::array<CSatInfo, kSatelliteSlots>& m_sats;
    const std::array<CSatInfo, kSatelliteSlots> m_before;
    bool m_lostTracking = false;
};

std::uint32_t CheckedOr(QStringView field, std::uint32_t fallback) {
    return ReadCheckedUnsigned(field).value_or(fallback);
}

// ---- Datum 2000: "SAT: " records of the satellite request ----

SatelliteAnswerEnd ParseDatumRecords(const QString& text, SatelliteTable& table, SlotWriter& slots) {
    const QString recordKey = QStringLiteral("SAT: ");
    const QStringView view(text);
    table.satsInReply = 0;
    qsizetype key = text.indexOf(recordKey);
    int slot = 0;
    while (slot < kSatelliteSlots) {
        // Relative to "SAT: ": number at +8, elevation at +13, azimuth at +18, signal at +24,
        // tenths at +27; a record must reach its tenths.
        const qsizetype r = key + 8;
        bool usable = false;
        if (key >= 0) {
            const qsizetype next = text.indexOf(QStringLiteral("SAT:"), r);
            const qsizetype end = next < 0 ? text.size() : next - 2;
            usable = end - r >= 20;
        }
        if (!usable) {
            if (slot <= 11)
                slots.EmptyRange(slot, 11);
            return SatelliteAnswerEnd::Normal;
        }
        const std::uint32_t prn = CheckedOr(view.mid(r, 2), 0);
        const bool emptyNumber = view.mid(r, 2).trimmed().isEmpty();
        const std::uint32_t elevation = CheckedOr(view.mid(r + 5, 2), 100);
        const std::uint32_t azimuth = CheckedOr(view.mid(r + 10, 3), 360);
        const std::uint32_t snrWhole = CheckedOr(view.mid(r + 16, 2), 0);
        const QChar tenthsChar = text[r + 19];
        const std::uint32_t snrTenths =
            tenthsChar >= u'0' && tenthsChar <= u'9' ? tenthsChar.unicode() - u'0' : 0;
        if (emptyNumber || elevation == 0 || elevation > 90 || azimuth >= 360 || prn == 0 ||
            (snrWhole == 0 && snrTenths == 0)) {
            slots.Empty(slot); // a dropped record does not use up the slot
        } else {
            slots.Store(slot, Saturate8(prn), Saturate8(elevation), Saturate16(azimuth));
            slots[slot].m_byPrnHigh = 0;
            slots[slot].m_bySnrWhole = Saturate8(snrWhole);
            slots[slot].m_bySnrTenths = static_cast<std::uint8_t>(snrTenths);
            ++table.satsInReply;
            ++slot;
        }
        key = text.indexOf(recordKey, r + 19);
    }
    return SatelliteAnswerEnd::Normal;
}

// ---- the satellite table of the status screen ----

class TableReader {
public:
    TableReader(const QString& text, SatelliteTable& table, SlotWriter& slots)
        : m_text(text), m_table(table), m_slots(slots) {}

    SatelliteAnswerEnd Read();

private:
    enum class Column { Tracked, NotTracked };
    enum class ColumnResult { Blank, Done, WipeOut };

    ColumnResult ReadColumn(qsizetype start, Column column, bool hasSecondColumn);
    // The field starting at pos, up to the next space; false when no space follows.
    bool Field(qsizetype pos, QStringView& field, qsizetype& end) const;
    qsizetype SkipSpaces(qsizetype pos) const;

    const QString& m_text;
    SatelliteTable& m_table;
    SlotWriter& m_slots;
    int m_slot = 0;
};

qsizetype TableReader::SkipSpaces(qsizetype pos) const {
    while (pos < m_text.size() && m_text[pos] == u' ')
        ++pos;
    return pos;
}

bool TableReader::Field(qsizetype pos, QStringView& field, qsizetype& end) const {
    if (pos >= m_text.size())
        return false;
    end = m_text.indexOf(u' ', pos);
    if (end < 0)
        return false;
    field = QStringView(m_text).mid(pos, end - pos);
    return true;
}

TableReader::ColumnResult TableReader::ReadColumn(qsizetype start, Column column, bool hasSecondColumn) {
    if (start >= m_text.size() - 8)
        return ColumnResult::WipeOut;
    qsizetype pos = SkipSpaces(start);
    if (pos < m_text.size() && m_text[pos] == u'*') // the receiver's mark of a satellite in use
        pos = SkipSpaces(pos + 1);
    if (pos >= m_text.size())
        return ColumnResult::WipeOut;
    if (pos - start > 3 || (column == Column::NotTracked && !hasSecondColumn)) {
        m_slots.Empty(m_slot);
        return ColumnResult::Blank;
    }

    QStringView field;
    qsizetype end = 0;
    if (!Field(pos, field, end))
        return ColumnResult::WipeOut;
    const std::optional<std::uint32_t> number = ReadCheckedUnsigned(field);
    const std::uint32_t prn = std::min<std::uint32_t>(Saturate16(number.value_or(0)), 999);
    if (prn == 0) {
        m_slots.Empty(m_slot);
        return ColumnResult::Done;
    }
    if (!Field(SkipSpaces(end), field, end))
        return ColumnResult::WipeOut;
    const std::uint8_t elevation = Saturate8(CheckedOr(field, 100));
    if (!Field(SkipSpaces(end), field, end))
        return ColumnResult::WipeOut;
    const std::uint16_t azimuth = Saturate16(CheckedOr(field, 360));
    std::uint8_t snr = 0;
    if (column == Column::Tracked) {
        if (!Field(SkipSpaces(end), field, end))
            return ColumnResult::WipeOut;
        snr = Saturate8(CheckedOr(field, 0));
        // The rest of the row (the receiver's further columns), with runs of spaces reduced.
        const qsizetype extraStart = end + 1;
        qsizetype extraEnd = m_text.indexOf(u'\r', extraStart);
        if (extraEnd < 0)
            extraEnd = m_text.size() - 1;
        QString extra = m_text.mid(extraStart, extraEnd - extraStart).trimmed();
        while (extra.contains(QStringLiteral("  ")))
            extra.replace(QStringLiteral("  "), QStringLiteral(" "));
        m_table.extra[m_slot] = extra;
    }
    if (elevation > 90 || azimuth >= 360 || prn >= 999) {
        m_slots.Empty(m_slot);
        return ColumnResult::Done;
    }
    m_slots.Store(m_slot, static_cast<std::uint16_t>(prn), elevation, azimuth);
    if (column == Column::Tracked) {
        m_slots[m_slot].m_bySnrWhole = snr;
        ++m_table.satsInReply;
    } else {
        m_slots.StoreNotTracked(m_slot);
    }
    ++m_slot;
    return ColumnResult::Done;
}

SatelliteAnswerEnd TableReader::Read() {
    // The header: "PRN " within the first 25 characters of its line, and not in the first 25
    // characters of the text. The columns are measured from the start of the header's own line,
    // however short the line before it.
    const qsizetype header = m_text.indexOf(QStringLiteral("PRN "));
    if (header < 25)
        return SatelliteAnswerEnd::WipedOut;
    const qsizetype lineFeed = m_text.lastIndexOf(u'\n', header);
    if (lineFeed < header - 25)
        return SatelliteAnswerEnd::WipedOut;
    const qsizetype firstColumn = header - lineFeed <= 6 ? header : lineFeed + 1;
    qsizetype secondColumn = m_text.indexOf(QStringLiteral("PRN "), firstColumn + 1);
    const bool hasSecondColumn = secondColumn >= 0;
    if (!hasSecondColumn)
        secondColumn = firstColumn + 19;
    const qsizetype crLf = m_text.indexOf(QStringLiteral("\r\n"), firstColumn);
    if (crLf < 0)
        return SatelliteAnswerEnd::WipedOut;
    const qsizetype firstOffset = firstColumn - (lineFeed + 1);
    const qsizetype secondOffset = secondColumn - (lineFeed + 1);

    m_table.satsInReply = 0;
    for (QString& extra : m_table.extra)
        extra.clear();

    qsizetype rowStart = crLf + 2;
    for (int row = 0; row < kSatelliteSlots; ++row) {
        if (row > 0) {
            const qsizetype rowEnd = m_text.indexOf(QStringLiteral("\r\n"), rowStart);
            if (rowEnd < 0) {
                m_slots.EmptyRange(m_slot, kSatelliteSlots - 1);
                return SatelliteAnswerEnd::Normal;
            }
            rowStart = rowEnd + 2;
        }
        const ColumnResult first = ReadColumn(rowStart + firstOffset, Column::Tracked, hasSecondColumn);
        if (first == ColumnResult::WipeOut)
            return SatelliteAnswerEnd::WipedOut;
        if (m_slot == kSatelliteSlots)
            return SatelliteAnswerEnd::Normal;
        const ColumnResult second = ReadColumn(rowStart + secondOffset, Column::NotTracked, hasSecondColumn);
        if (second == ColumnResult::WipeOut)
            return SatelliteAnswerEnd::WipedOut;
        if (first == ColumnResult::Blank && second == ColumnResult::Blank) {
            m_slots.EmptyRange(m_slot, kSatelliteSlots - 1);
            return SatelliteAnswerEnd::Normal;
        }
        if (m_slot == kSatelliteSlots)
            return SatelliteAnswerEnd::Normal;
    }
    return SatelliteAnswerEnd::Normal;
}

} // namespace

SatelliteAnswerResult ParseSatelliteAnswer(const QString& text, int receiverType, SatelliteTable table) {
    SatelliteAnswerResult result;
    if (text.isEmpty())
        return result;
    SlotWriter slots(table.sats);
    if (receiverType == RECEIVER_DATUM) {
        result.end = ParseDatumRecords(text, table, slots);
    } else {
        result.end = TableReader(text, table, slots).Read();
        if (result.end == SatelliteAnswerEnd::WipedOut)
            for (CSatInfo& sat : table.sats)
                sat.Empty();
    }
    result.changed = slots.Changed();
    return result;
}
