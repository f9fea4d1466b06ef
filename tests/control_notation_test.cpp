#include "receiver/CommandTables.h"
#include "receiver/ControlNotation.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ControlNamesToChars, DecodesNamesAndLeavesOtherTextAlone) {
    EXPECT_EQ(ControlNamesToChars(u"<CR><LF>"_s), u"\r\n"_s);
    EXPECT_EQ(ControlNamesToChars(u"scpi<SPC>><SPC>"_s), u"scpi > "_s);
    EXPECT_EQ(ControlNamesToChars(u"<SOH><DC1><US><ESC><EM>"_s), u"\x01\x11\x1F\x1B\x19"_s);
    // Unclosed, lower-case and unknown names stay as text.
    EXPECT_EQ(ControlNamesToChars(u"<CR"_s), u"<CR"_s);
    EXPECT_EQ(ControlNamesToChars(u"<CRX>"_s), u"<CRX>"_s);
    EXPECT_EQ(ControlNamesToChars(u"<cr>x<Cr>"_s), u"<cr>x<Cr>"_s);
    EXPECT_EQ(ControlNamesToChars(u"<NUL><DEL>"_s), u"<NUL><DEL>"_s);
    // Only the inner name of a bracketed name is replaced.
    EXPECT_EQ(ControlNamesToChars(u"<<SPC>>"_s), u"< >"_s);
    EXPECT_EQ(ControlNamesToChars(u"<<<CR>"_s), u"<<\r"_s);
}

TEST(ControlCharsToNames, NamesControlCharactersAndSpaceOnly) {
    EXPECT_EQ(ControlCharsToNames(u"A\tB\r\n"_s), u"A<HT>B<CR><LF>"_s);
    // Text that already reads like a name is left alone.
    EXPECT_EQ(ControlCharsToNames(u"<CR>"_s), u"<CR>"_s);
    // NUL, DEL and characters above 0x7F have no name.
    const QString unnamed = QString(QChar(0)) + QChar(0x7F) + QChar(0xFF) + QChar(0xB0);
    EXPECT_EQ(ControlCharsToNames(unnamed), unnamed);
}

TEST(ControlNotation, EveryControlCharacterRoundTrips) {
    QString all;
    for (char16_t c = 1; c <= 0x20; ++c)
        all += QChar(c);
    const QString names = ControlCharsToNames(all);
    EXPECT_EQ(names.count(QLatin1Char('<')), 32);
    EXPECT_TRUE(names.startsWith(u"<SOH><STX><ETX><EOT>"_s));
    EXPECT_TRUE(names.endsWith(u"<RS><US><SPC>"_s));
    EXPECT_EQ(ControlNamesToChars(names), all);
}

TEST(MatchReplyEnd, FamilyPromptsMatchThroughAnyPattern) {
    const QString prompts = g_ReplyPrompts[RECEIVER_HP];
    EXPECT_EQ(MatchReplyEnd(u"+1.234\r\nSCPI > "_s, prompts), 7);
    EXPECT_EQ(MatchReplyEnd(u"xE-113> "_s, prompts), 7);
    EXPECT_EQ(MatchReplyEnd(u"xE-11a> "_s, prompts), kNoReplyEnd);         // "#" wants a digit
    EXPECT_EQ(MatchReplyEnd(u"+1.234\r\nscpi >"_s, prompts), kNoReplyEnd); // prompt not complete
    EXPECT_EQ(MatchReplyEnd(u"scpi > more"_s, prompts), kNoReplyEnd);      // prompt not at the end
    // The first matching pattern gives its decoded length.
    const QString uccm = g_ReplyPrompts[RECEIVER_UCCM];
    EXPECT_EQ(MatchReplyEnd(u"TIME:STR?\r\nCommand complete\r\nUCCM-P > "_s, uccm), 27);
    EXPECT_EQ(MatchReplyEnd(u"junk\r\nUCCM-P > "_s, uccm), 9);
    EXPECT_EQ(MatchReplyEnd(u"junk\r\nUCCM >"_s, uccm), 6);
    EXPECT_EQ(MatchReplyEnd(u"data\x03"_s, g_ReplyPrompts[RECEIVER_DATUM]), 1);
}

TEST(MatchReplyEnd, WildcardsCaseAndShortReplies) {
    EXPECT_EQ(MatchReplyEnd(u"a"_s, u"??"_s), kNoReplyEnd); // reply shorter than the pattern
    EXPECT_EQ(MatchReplyEnd(QString(), u"?"_s), kNoReplyEnd);
    EXPECT_EQ(MatchReplyEnd(u"v1x"_s, u"V##"_s), kNoReplyEnd);
    EXPECT_EQ(MatchReplyEnd(u"x?"_s, u"x#"_s), kNoReplyEnd);
    // Only a-z fold; other letters compare exactly.
    EXPECT_EQ(MatchReplyEnd(u"\u00E9"_s, u"\u00C9"_s), kNoReplyEnd);
}

TEST(MatchReplyEnd, SemicolonStartsAPatternOnlyAfterItsFirstCharacter) {
    EXPECT_EQ(MatchReplyEnd(u"a;X"_s, u";X"_s), 2);
    EXPECT_EQ(MatchReplyEnd(u"X"_s, u";X"_s), kNoReplyEnd);
    // "A;;B" is the pattern "A" and the pattern ";B".
    EXPECT_EQ(MatchReplyEnd(u"z;B"_s, u"A;;B"_s), 2);
    EXPECT_EQ(MatchReplyEnd(u"zB"_s, u"A;;B"_s), kNoReplyEnd);
    EXPECT_EQ(MatchReplyEnd(u"zA"_s, u"A;;B"_s), 1);
    // A trailing ';' adds no empty pattern, and a lone ';' is a pattern of its own.
    EXPECT_EQ(MatchReplyEnd(u"abc"_s, u"Q;"_s), kNoReplyEnd);
    EXPECT_EQ(MatchReplyEnd(u"a;"_s, u";"_s), 1);
}
