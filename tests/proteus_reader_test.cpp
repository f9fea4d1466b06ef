// The Proteus frame reader of the view: a scripted port delivers frames in pieces, and the view's
// channels, leap correction, identity and reply follow.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/SerialPort.h"
#include "receiver/PollSequence.h"
#include "receiver/ProteusPackets.h"
#include "support/ProteusFrameBuilder.h"

#include <QElapsedTimer>
#include <QFile>
#include <deque>
#include <gtest/gtest.h>

namespace {

// Pieces arrive one per wait; a read takes what has arrived, up to its limit.
class ScriptedPort : public platform::SerialPort {
public:
    QString name() const override { return QStringLiteral("scripted"); }
    bool write(const QByteArray&) override { return true; }
    QByteArray readAvailable() override { return std::exchange(m_arrived, {}); }
    std::optional<QByteArray> read(qint64 maxBytes) override {
        const QByteArray out = m_arrived.left(maxBytes);
        m_arrived.remove(0, out.size());
        return out;
    }
    bool waitForReadyRead(int) override {
        ++waits;
        if (streaming)
            m_arrived += QByteArray(7, 'x');
        if (m_pieces.empty())
            return streaming;
        m_arrived += m_pieces.front();
        m_pieces.pop_front();
        return true;
    }
    void purge() override {}

    // The first piece has arrived already; each wait brings the next.
    void deliver(const QByteArray& bytes, qsizetype piece = 1000) {
        for (qsizetype at = 0; at < bytes.size(); at += piece)
            m_pieces.push_back(bytes.mid(at, piece));
        if (m_arrived.isEmpty() && !m_pieces.empty()) {
            m_arrived = m_pieces.front();
            m_pieces.pop_front();
        }
    }

    bool streaming = false;
    int waits = 0;

private:
    QByteArray m_arrived;
    std::deque<QByteArray> m_pieces;
};

QByteArray EfcFrame(std::int32_t efc) {
    ProteusFrameBuilder b(kProteusEfcFrameBytes);
    b.i32(6, 345600).u16(14, 77 << 4).i32(16, 18 << 26).u16(48, 2200).i32(50, 25).i32(56, 65536).i32(66, efc);
    return b.frame();
}

QByteArray StatusFrame() {
    ProteusFrameBuilder b(kProteusStatusFrameBytes);
    b.u8(14, 2).i32(16, 47 * 8388608).u8(82, 0x80 | 9).u8(83, 41).u8(106, 33).u16(130, 120);
    return b.frame();
}

class ProteusReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_nReceiverType = RECEIVER_PROTEUS;
        m_view.m_hActivePort = &m_port;
        m_view.m_nLeapCorrection = 0;
        m_view.m_nFineCorrection = 0;
        m_view.m_strPollCommand[PollStepTimeCode] = ProteusPoll(kProteusEfcPollId);
        m_view.m_nPollStep = 8;
    }
    void TearDown() override { m_view.m_hActivePort = nullptr; }

    bool Read(const QByteArray& frame, qsizetype piece = 1000) {
        m_port.deliver(frame, piece);
        return m_view.ReadProteus(m_reply);
    }

    QString DebugFile() const {
        QFile file(m_view.m_strDebugPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }

    ScriptedPort m_port;
    CChildView m_view;
    QString m_reply;
};

} // namespace

TEST_F(ProteusReaderTest, EfcFramesInPiecesFillChannelsLeapAndTime) {
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(Read(EfcFrame(40000), 10));
        EXPECT_TRUE(m_view.m_strChannelValue[0].isEmpty());
    }
    EXPECT_TRUE(m_reply.isEmpty()); // an ordinary EFC step leaves the reply as it is
    ASSERT_TRUE(Read(EfcFrame(40002), 10));
    EXPECT_EQ(m_view.m_strChannelValue[0], QStringLiteral("40000"));
    EXPECT_EQ(m_view.m_strChannelValue[1], QStringLiteral("+2.50000e-08"));
    EXPECT_EQ(m_view.m_strChannelValue[2], QStringLiteral("1.000000e-06"));
    EXPECT_EQ(m_view.m_nLeapCorrection, 18);
    EXPECT_EQ(m_view.m_proteusEfc.shownDateTime, QStringLiteral("09/03/2022 23:59:42"));

    m_view.m_nPollStep = PollStepTime;
    ASSERT_TRUE(Read(EfcFrame(40001)));
    EXPECT_EQ(m_reply, QStringLiteral("23:59:42"));
    // A status frame at the time step is not decoded either: it gives the time of day.
    m_reply.clear();
    ASSERT_TRUE(Read(StatusFrame()));
    EXPECT_EQ(m_reply, QStringLiteral("23:59:42"));
    EXPECT_TRUE(m_view.m_strIdentity.isEmpty());
}

TEST_F(ProteusReaderTest, SetTimeReplyIsTheTimeCode) {
    m_view.m_bSetTimePending = true;
    m_view.m_nPollStep = PollStepUser;
    m_view.m_strRequest = m_view.m_strPollCommand[PollStepTimeCode];
    ASSERT_TRUE(Read(EfcFrame(40000)));
    EXPECT_EQ(m_reply, QStringLiteral("T1#H1330905582\r\n"));
}

TEST_F(ProteusReaderTest, StatusFrameGivesIdentityAndPage) {
    ASSERT_TRUE(Read(EfcFrame(40000)));
    m_view.m_nPollStep = PollStepStatus;
    ASSERT_TRUE(Read(StatusFrame(), 64));
    EXPECT_EQ(m_view.m_strIdentity, QStringLiteral("___ NavSymm Proteus ___  77"));
    EXPECT_TRUE(m_reply.startsWith(QStringLiteral("______________________________ NavSymm Proteus  77 ")));
    EXPECT_TRUE(m_reply.contains(QStringLiteral("LAT      N 47:00: 0.000")));
    EXPECT_TRUE(m_reply.contains(QStringLiteral("\r\n  9  33 120   41")));
    EXPECT_TRUE(m_reply.contains(QStringLiteral("UTC      23:59:42  ")));
}

TEST_F(ProteusReaderTest, RefusedReadsReportAndLeaveTheStateAlone) {
    m_view.m_bDebugEnable = true;
    m_reply = QStringLiteral("before");
    EXPECT_FALSE(m_view.ReadProteus(m_reply)); // nothing arrived
    QByteArray bad = EfcFrame(40000);
    bad[40] = static_cast<char>(bad[40] + 1);
    EXPECT_FALSE(Read(bad));
    EXPECT_FALSE(Read(EfcFrame(40000).left(71)));
    EXPECT_FALSE(Read(StatusFrame() + StatusFrame()));
    EXPECT_EQ(m_reply, QStringLiteral("before"));
    EXPECT_EQ(m_view.m_nLeapCorrection, 0);
    EXPECT_EQ(m_view.m_nProteusEfc, (std::array<int, 4>{}));
    const QString debug = DebugFile();
    EXPECT_TRUE(debug.contains(QStringLiteral("Failed checksum 72")));
    EXPECT_TRUE(debug.contains(QStringLiteral("Wrong length for STATUS or EFC 71")));
    EXPECT_TRUE(debug.contains(QStringLiteral("Overrun buffer")));
    EXPECT_FALSE(debug.contains(QStringLiteral("EFC 0")));
}

TEST_F(ProteusReaderTest, AStreamingLineEndsInAnOverrunWithinBoundedWaits) {
    m_port.streaming = true;
    m_port.deliver(QByteArray(5, 'x'));
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(m_view.ReadProteus(m_reply));
    EXPECT_LE(m_port.waits, 300 / 7 + 1);
    EXPECT_LT(elapsed.elapsed(), 1000);
}
