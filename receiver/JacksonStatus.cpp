// The Jackson Labs status screen: the receiver's head and tail (from the latitude line on) are
// kept, and its satellite lines give way to a table built from the satellite table with the
// program's values beside it.
#include "receiver/StatusFormatter.h"

#include <QStringList>

namespace {

constexpr int kMaxLines = 40;   // lines of the screen the program builds
constexpr int kShownLines = 23; // lines the text window shows
constexpr int kTableRows = 12;

// The lines of a text, each without its CR LF; the empty piece after a final line feed is no line.
QStringList SplitLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

// Bounds the whole list, however long the receiver's head or tail.
void AddLine(QStringList& lines, const QString& line) {
    if (lines.size() < kMaxLines)
        lines << line;
}

QString HealthLine(const QString& measurements) {
    QString text = measurements;
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    const std::pair<QString, QString> abbreviations[] = {
        {QStringLiteral("oltage"), QStringLiteral("olts")},
        {QStringLiteral("emperature"), QStringLiteral("emp")},
        {QStringLiteral("Power Supply"), QStringLiteral("PSU")},
        {QStringLiteral("Current"), QStringLiteral("Amps")},
    };
    for (const auto& [word, shortWord] : abbreviations) {
        qsizetype pos = 0;
        while (text.size() > word.size() && (pos = text.indexOf(word)) >= 0)
            text.replace(pos, word.size(), shortWord);
    }
    return text;
}

struct Cells {
    QStringList tracked;
    QStringList notTracked;
};

Cells SatelliteCells(const StatusScreenInputs& in, bool saasm) {
    Cells cells;
    const int slots = saasm ? kTableRows : kSatelliteSlots;
    for (int slot = 0; slot < slots; ++slot) {
        const CSatInfo& sat = in.sats[slot];
        if (!sat.InUse())
            continue;
        if (sat.SignalLevel() > 0) {
            if (saasm)
                cells.tracked << (QString::asprintf("%3d %3d %2d %3d ", sat.SatelliteNumber(), sat.m_wAzimuth,
                                                    sat.m_byElevation, sat.m_bySnrWhole) +
                                  in.satExtra[slot])
                                     .leftJustified(30, u' ');
            else
                cells.tracked << QString::asprintf("%3d %3d %2d %3d   ", sat.SatelliteNumber(),
                                                   sat.m_wAzimuth, sat.m_byElevation, sat.m_bySnrWhole)
                                     .leftJustified(17, u' ');
        } else {
            cells.notTracked << QString::asprintf("%3d %3d %2d   ", sat.SatelliteNumber(), sat.m_wAzimuth,
                                                  sat.m_byElevation)
                                    .leftJustified(13, u' ');
        }
    }
    return cells;
}

QString Cell(const QStringList& cells, int index, int blankWidth) {
    return index < cells.size() ? cells[index] : QString(blankWidth, u' ');
}

QString RowTrailer(int row, bool saasm, const StatusScreenInputs& in) {
    // The twelve-slot layout has its first three trailers a row lower and no jamming level.
    if (row == (saasm ? 3 : 2))
        return QString::asprintf(" Leaps: %d", in.leapCorrection);
    if (row == (saasm ? 4 : 3))
        return QStringLiteral("  Life: ") + in.lifeCount;
    if (row == (saasm ? 5 : 4))
        return QStringLiteral("PPS TI: ") + in.ti;
    if (row == 5 && !saasm)
        return QStringLiteral("JAMLVL: ") + in.step3Reply;
    switch (row) {
    case 6:
        return QStringLiteral("   EFC: ") + in.efc;
    case 7:
        return QStringLiteral("   FEE: ") + in.feeReply;
    case 8:
        return QStringLiteral("HEALTH: ") + in.healthReply;
    default:
        return {};
    }
}

// White space only becomes empty; tabs become spaces up to the next multiple of 8; the
// receiver's own health monitor line is dropped.
QString CleanLine(QString line) {
    if (line.trimmed().isEmpty() || line.contains(QStringLiteral("HEALTH MONITOR")))
        return {};
    for (qsizetype pos = 0; pos < line.size(); ++pos) {
        if (line[pos] != u'\t')
            continue;
        const qsizetype spaces = pos % 8 == 0 ? 1 : 8 - pos % 8 + 1;
        line.replace(pos, 1, QString(spaces, u' '));
        pos += spaces - 1;
    }
    return line;
}

} // namespace

StatusScreen FormatJacksonStatus(const QString& raw, const StatusScreenInputs& in) {
    StatusScreen screen{raw, in.saasmGps, in.measReply};
    const QString text = raw + QStringLiteral("\r\n");
    const qsizetype saasmMark = text.indexOf(QStringLiteral("SAASM"));
    if (saasmMark >= 0 && saasmMark <= 19)
        screen.saasmGps = true;
    const bool saasm = screen.saasmGps;

    qsizetype acquisition = text.indexOf(QStringLiteral("QUISITION"));
    if (acquisition < 0)
        acquisition = text.indexOf(QStringLiteral("quisition"));
    if (acquisition < 0)
        return screen;
    const qsizetype acquisitionLine = text.lastIndexOf(u'\n', acquisition) + 1;

    // What follows the acquisition line; the latitude line must come after the satellite lines,
    // which are at least as long as the acquisition line.
    const QString rest = text.mid(acquisitionLine);
    const qsizetype acquisitionLength = rest.indexOf(u'\n') + 1;
    if (acquisitionLength == 0)
        return screen;
    const QString shortened = rest.mid(acquisitionLength);
    qsizetype latitude = shortened.indexOf(QStringLiteral("LAT "));
    if (latitude < 0)
        latitude = shortened.indexOf(QStringLiteral("Lat "));
    if (latitude < 0 || latitude <= acquisitionLength)
        return screen;
    const qsizetype tailLineFeed = shortened.lastIndexOf(u'\n', latitude);
    if (tailLineFeed < acquisitionLength)
        return screen;
    const QString tail = shortened.mid(tailLineFeed + 1);

    QStringList lines;
    for (const QString& line : SplitLines(text.left(acquisitionLine)))
        AddLine(lines, line);
    if (!in.measReply.isEmpty() && !in.measReply.contains(QStringLiteral("rror"))) {
        screen.measReply = HealthLine(in.measReply);
        AddLine(lines, screen.measReply);
    }
    AddLine(lines, QString());
    const TrackingCounts counts = CountTracking(in.sats);
    AddLine(lines, QString::asprintf(saasm ? "Tracking %2d _________________ Not tracking %2d"
                                           : "Tracking %2d ___________________   Not tracking %2d _______",
                                     counts.tracked, counts.notTracked));
    AddLine(lines, saasm ? QStringLiteral("PRN  AZ EL  SS Code  Pvt      PRN  AZ EL")
                         : QStringLiteral("PRN  AZ EL  SS   PRN  AZ EL  SS   PRN  AZ EL   PRN  AZ EL"));
    const Cells cells = SatelliteCells(in, saasm);
    const int trackedWidth = saasm ? 30 : 17;
    for (int row = 0; row < kTableRows; ++row) {
        QString line;
        if (saasm)
            line = Cell(cells.tracked, row, trackedWidth) + Cell(cells.notTracked, row, 13);
        else
            line = Cell(cells.tracked, 2 * row, trackedWidth) +
                   Cell(cells.tracked, 2 * row + 1, trackedWidth) + Cell(cells.notTracked, 2 * row, 13) +
                   Cell(cells.notTracked, 2 * row + 1, 13);
        AddLine(lines, line + RowTrailer(row, saasm, in));
    }
    for (const QString& line : SplitLines(tail))
        AddLine(lines, line);

    for (QString& line : lines)
        line = CleanLine(line);
    // Up to the last line with text; a screen too tall for the window loses empty lines from the
    // bottom up.
    qsizetype count = lines.size();
    while (count > 0 && lines[count - 1].isEmpty())
        --count;
    for (qsizetype pos = count - 1; count > kShownLines && pos >= 0; --pos) {
        if (lines[pos].isEmpty()) {
            lines.removeAt(pos);
            --count;
        }
    }
    screen.text.clear();
    for (qsizetype i = 0; i < count; ++i)
        screen.text += lines[i] + QStringLiteral("\r\n");
    return screen;
}
