// Bounded random input for the reply handling: nothing crashes, and what is kept is well formed.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/CommandTables.h"
#include "receiver/ControlNotation.h"
#include "receiver/ReplyText.h"
#include "receiver/ReplyValues.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// Random text biased towards what receivers send: digits, signs, exponent letters, line ends,
// prompts, and now and then any byte.
QString RandomReply(std::mt19937& random, int maxLength) {
    static const QString pieces[] = {QStringLiteral("0123456789"), QStringLiteral("+-.eE"),
                                     QStringLiteral("\r\n"),       QStringLiteral(" ,\t"),
                                     QStringLiteral("scpi > "),    QStringLiteral("RPD: PHASE")};
    std::uniform_int_distribution<int> length(0, maxLength);
    std::uniform_int_distribution<int> kind(0, 7);
    QString text;
    const int n = length(random);
    for (int i = 0; i < n; ++i) {
        const int k = kind(random);
        if (k >= 6) {
            text += QChar(static_cast<char16_t>(random() % 256));
        } else {
            const QString& piece = pieces[k];
            text += piece[static_cast<qsizetype>(random() % piece.size())];
        }
    }
    return text;
}

bool IsNumberText(const QString& text) {
    bool ok = false;
    text.toDouble(&ok);
    return ok;
}

} // namespace

TEST(FuzzReplies, TrimmingNeverGrowsAReplyOrBreaksOnAnyEnd) {
    std::mt19937 random(99);
    for (int i = 0; i < 20000; ++i) {
        const QString reply = RandomReply(random, 40);
        const QString request = RandomReply(random, 4);
        const int matched = MatchReplyEnd(reply, g_ReplyPrompts[RECEIVER_HP]);
        const QString trimmed =
            TrimReply(reply, matched < 0 ? static_cast<int>(random() % 50) : matched, request);
        EXPECT_LE(trimmed.size(), reply.size());
        EXPECT_FALSE(trimmed.endsWith(QLatin1Char('\r')) || trimmed.endsWith(QLatin1Char('\n')));
        ParsePseudoCommand(reply);
        TimeTextFromReply(static_cast<int>(random() % kReceiverFamilies), reply);
        LeapSecondsFromAnswer(reply, request, 3);
        UccmLeapSecondsFromMessages(reply);
    }
}

TEST(FuzzReplies, HandleReplyLeavesChannelsEmptyOrNumeric) {
    std::mt19937 random(7);
    CChildView view;
    for (int i = 0; i < 20000; ++i) {
        g_nReceiverType = static_cast<int>(random() % kReceiverFamilies);
        view.m_nPollStep = static_cast<int>(random() % 20);
        view.m_nAuxIndex = static_cast<int>(random() % 10) - 1;
        view.m_strReply = RandomReply(random, 60);
        view.HandleReply();
        QString number = view.m_strReply;
        const bool valid = CChildView::ValidateNumber(number);
        EXPECT_EQ(valid, !number.isEmpty());
        EXPECT_TRUE(number.isEmpty() || IsNumberText(number)) << number.toStdString();
        for (const QString& value : view.m_strChannelValue)
            EXPECT_TRUE(value.isEmpty() || IsNumberText(value)) << value.toStdString();
    }
}
