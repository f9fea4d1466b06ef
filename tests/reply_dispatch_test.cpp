#include "app/ChildView.h"
#include "app/Globals.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ReplyDispatchTest : public ::testing::Test {
protected:
    void Dispatch(int family, int step, const QString& answer) {
        g_nReceiverType = family;
        m_view.m_nPollStep = step;
        m_view.m_strReply = answer;
        m_view.HandleReply();
    }
    QString DebugFile() const {
        QFile file(m_view.m_strDebugPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }

    QTemporaryDir m_folder;
    CChildView m_view;
};

} // namespace

TEST_F(ReplyDispatchTest, IdentityKeepsTheFirstLineAndClearsTheZ3816ASetUpForOtherModels) {
    m_view.m_bInitZ3816A = true;
    Dispatch(RECEIVER_HP, 1, QStringLiteral("HEWLETT-PACKARD,Z3816A,0,1\r\nsecond"));
    EXPECT_TRUE(m_view.m_bInitZ3816A);
    EXPECT_EQ(m_view.m_strIdentity, QStringLiteral("HEWLETT-PACKARD,Z3816A,0,1"));
    Dispatch(RECEIVER_HP, 1, QString());
    EXPECT_TRUE(m_view.m_bInitZ3816A);
    EXPECT_EQ(m_view.m_strIdentity, QString());
    Dispatch(RECEIVER_HP, 1, QStringLiteral("HEWLETT-PACKARD,Z3801A,0,1"));
    EXPECT_FALSE(m_view.m_bInitZ3816A);
}

TEST_F(ReplyDispatchTest, StatusAnswersAuxiliaryAnswersAndChannelsGoToTheirPlaces) {
    Dispatch(RECEIVER_JACKSON, 2, QStringLiteral("1234"));
    EXPECT_EQ(m_view.m_strLifeCount, QStringLiteral("1234"));
    Dispatch(RECEIVER_JACKSON, 5, QStringLiteral("0x0"));
    EXPECT_EQ(m_view.m_strHealthReply, QStringLiteral("0x0"));
    m_view.m_nAuxIndex = 4;
    Dispatch(RECEIVER_JACKSON, 19, QStringLiteral("3.3,V\r\nmore"));
    EXPECT_EQ(m_view.m_strAuxAnswer[4], QStringLiteral("3.3,V"));
    Dispatch(RECEIVER_UCCM, 10, QStringLiteral("LOOP 3 abc"));
    EXPECT_EQ(m_view.m_strChannelValue[2], QString());
    // Beyond half a second the time interval is dropped; at the limit it stays.
    Dispatch(RECEIVER_HP, 9, QStringLiteral("+7.0E-01"));
    EXPECT_EQ(m_view.m_strChannelValue[1], QString());
    Dispatch(RECEIVER_HP, 9, QStringLiteral("-0.5"));
    EXPECT_EQ(m_view.m_strChannelValue[1], QStringLiteral("-0.5"));
}

TEST_F(ReplyDispatchTest, AValueThatIsNoNumberIsEmptiedAndReportedToTheDebugFile) {
    m_view.m_strDebugPath = m_folder.filePath(QStringLiteral("debug.txt"));
    m_view.m_bDebugEnable = true;
    m_view.m_strRequest = QStringLiteral("CVT?\r");
    Dispatch(RECEIVER_DATUM, 8, QStringLiteral("CVT:"));
    EXPECT_EQ(m_view.m_strChannelValue[0], QString());
    EXPECT_TRUE(DebugFile().contains(QStringLiteral("Err: [s]CVT?<CR>[r]CVT:")));
    Dispatch(RECEIVER_DATUM, 8, QStringLiteral("CVT: 1234 5678"));
    EXPECT_EQ(m_view.m_strChannelValue[0], QStringLiteral("1234"));
}
