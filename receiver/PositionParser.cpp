#include "receiver/PositionParser.h"

#include "app/Globals.h"
#include "receiver/NumberText.h"

namespace {

// The letter in either case (ASCII only: no other character stands for a hemisphere).
bool IsLetter(QChar c, char16_t upper) {
    return c.unicode() == upper || c.unicode() == upper + (u'a' - u'A');
}

// Datum 2000: degrees (3 characters at +6) and minutes (5 characters at +10) after "POS:", the
// hemisphere letter at +16.
double DatumAngle(const QString& text, qsizetype pos, char16_t positive) {
    const QStringView view(text);
    double value = ReadNumber(view.mid(pos + 6).left(3)) + ReadNumber(view.mid(pos + 10).left(5)) / 60.0;
    const qsizetype hemisphere = pos + 16;
    const bool isPositive = hemisphere < text.size() && IsLetter(text[hemisphere], positive);
    return isPositive ? value : -value;
}

void ParseDatumPosition(const QString& text, PositionFields& result) {
    const QString key = QStringLiteral("POS:");
    qsizetype pos = text.indexOf(key);
    if (pos < 0)
        return;
    result.latitude = DatumAngle(text, pos, u'N');
    pos = text.indexOf(key, pos + 16);
    if (pos < 0)
        return;
    result.longitude = DatumAngle(text, pos, u'E');
    pos = text.indexOf(key, pos + 16);
    if (pos < 0)
        return;
    result.height = ReadNumber(QStringView(text).mid(pos + 6));
}

// The field of a keyword: from the keyword (or its "AVG " form) to the carriage return after it.
std::optional<QStringView> LineField(const QString& text, const QString& keyword) {
    qsizetype start = text.indexOf(keyword);
    if (start < 0)
        start = text.indexOf(QStringLiteral("AVG ") + keyword);
    if (start < 0)
        return std::nullopt;
    const qsizetype cr = text.indexOf(u'\r', start);
    if (cr < 0)
        return std::nullopt;
    return QStringView(text).mid(start, cr - start);
}

// "N 37:23:45.678" and the like: the first hemisphere letter, then degrees, optional minutes and
// seconds after colons. Numbers are read within the field only.
std::optional<double> HemisphereAngle(QStringView field, char16_t positive, char16_t negative) {
    qsizetype letter = -1;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (IsLetter(field[i], positive) || IsLetter(field[i], negative)) {
            letter = i;
            break;
        }
    }
    if (letter < 0)
        return std::nullopt;
    double value = ReadNumber(field.mid(letter + 1));
    const qsizetype minutes = field.indexOf(u':', letter + 1);
    if (minutes >= 0) {
        value += ReadNumber(field.mid(minutes + 1)) / 60.0;
        const qsizetype seconds = field.indexOf(u':', minutes + 1);
        if (seconds >= 0)
            value += ReadNumber(field.mid(seconds + 1)) / 3600.0;
    }
    return IsLetter(field[letter], positive) ? value : -value;
}

void ParseLinePosition(const QString& text, PositionFields& result) {
    if (const auto field = LineField(text, QStringLiteral("LAT ")))
        result.latitude = HemisphereAngle(*field, u'N', u'S');
    if (const auto field = LineField(text, QStringLiteral("LON ")))
        result.longitude = HemisphereAngle(*field, u'E', u'W');
    if (const auto field = LineField(text, QStringLiteral("HGT "))) {
        static const QString numberStart = QStringLiteral("+-0123456789");
        for (qsizetype i = 0; i < field->size(); ++i) {
            if (numberStart.contains((*field)[i])) {
                result.height = ReadNumber(field->mid(i));
                break;
            }
        }
    }
}

} // namespace

PositionFields ParsePositionText(const QString& text, int receiverType) {
    PositionFields result;
    if (receiverType == RECEIVER_DATUM)
        ParseDatumPosition(text, result);
    else
        ParseLinePosition(text, result);
    return result;
}

bool PositionReadDue(std::uint32_t& callCounter, double latitude, double longitude) {
    const std::uint32_t call = callCounter++;
    return call % 100 == 0 || (latitude == 0.0 && longitude == 0.0);
}
