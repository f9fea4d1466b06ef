// Random texts and pattern lists through the notation and the reply-end matcher: no crash, and the
// results keep the invariants the poll cycle and the traces rely on.
#include "receiver/ControlNotation.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <random>

namespace {

// Characters biased toward what matters: brackets, name letters, wildcards, separators, controls.
QString RandomText(std::mt19937& rng, int maxLength) {
    static const QString alphabet = QStringLiteral("<>;?#CRLFSPCETXHTUSDC1aexz0123456789 ");
    static const char16_t* const fragments[] = {u"<CR>",  u"<LF>", u"<SPC>", u"<ETX>",
                                                u"<DC4>", u"<US>", u"<cr>"};
    std::uniform_int_distribution<int> length(0, maxLength);
    std::uniform_int_distribution<int> kind(0, 9);
    QString text;
    const int n = length(rng);
    while (text.size() < n) {
        const int k = kind(rng);
        if (k == 0)
            text += QString::fromUtf16(fragments[rng() % std::size(fragments)]);
        else if (k <= 2) // a control or blank, or any UTF-16 unit
            text += QChar(static_cast<char16_t>(rng() % (k == 1 ? 0x21 : 0x10000)));
        else
            text += alphabet[rng() % alphabet.size()];
    }
    return text;
}

// Name decoding done the slow way: every occurrence of each name in turn, in decoding order.
QString DecodeByReplacing(QString text) {
    static const char16_t order[] = {0x0D, 0x20, 0x03, 0x02, 0x0A, 0x01, 0x04, 0x05, 0x06, 0x07, 0x08,
                                     0x09, 0x0B, 0x0C, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15,
                                     0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F};
    for (char16_t code : order)
        text.replace(ControlCharsToNames(QString(QChar(code))), QString(QChar(code)));
    return text;
}

bool ContainsName(const QString& text) {
    return ControlNamesToChars(text) != text;
}

QString LowerAscii(QString text) {
    for (QChar& c : text)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 0x20);
    return text;
}

} // namespace

TEST(FuzzNotation, RandomInputsKeepTheInvariants) {
    std::mt19937 rng(20240611);
    QElapsedTimer clock;
    clock.start();
    int iterations = 0;
    for (; iterations < 300000 && clock.elapsed() < 20000; ++iterations) {
        const QString text = RandomText(rng, 24);

        // Names of every control character decode back to the text, unless the text itself
        // already held a name (which is then decoded too).
        const QString named = ControlCharsToNames(text);
        if (!ContainsName(text)) {
            ASSERT_EQ(ControlNamesToChars(named), text);
        }
        for (QChar c : named)
            ASSERT_FALSE(c.unicode() >= 1 && c.unicode() <= 0x20);

        // Decoding never lengthens a text; a text without controls or blanks is its own names.
        const QString decoded = ControlNamesToChars(text);
        ASSERT_EQ(decoded, DecodeByReplacing(text));
        ASSERT_LE(decoded.size(), text.size());
        if (named == text) { // no controls or blanks
            ASSERT_EQ(ControlCharsToNames(decoded), text);
        }

        // A match is the decoded length of one pattern, never longer than the reply; a reply that
        // ends with the decoded list's first pattern always matches.
        const QString patterns = RandomText(rng, 16);
        const QString reply = RandomText(rng, 32);
        const int matched = MatchReplyEnd(reply, patterns);
        ASSERT_TRUE(matched == kNoReplyEnd || (matched >= 1 && matched <= reply.size()));
        if (patterns.isEmpty()) {
            ASSERT_EQ(matched, kNoReplyEnd);
        }
        const qsizetype cut = patterns.indexOf(QLatin1Char(';'), 1);
        const QString first = ControlNamesToChars(patterns.left(cut < 0 ? patterns.size() : cut));
        if (!first.isEmpty()) {
            QString concrete = first;
            concrete.replace(QLatin1Char('?'), QLatin1Char('x')).replace(QLatin1Char('#'), QLatin1Char('7'));
            ASSERT_EQ(MatchReplyEnd(reply + LowerAscii(concrete), patterns), first.size());
        }
    }
    EXPECT_GT(iterations, 10000);
}
