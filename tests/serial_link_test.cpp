// The byte-level routines, and suspend and resume.
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "platform/PowerManagement.h"
#include "platform/SerialPort.h"
#include "support/PtyPeer.h"

#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

// A port whose reads hand out a script of results (nullopt = a failed read).
class ScriptedPort : public platform::SerialPort {
public:
    QString name() const override { return QStringLiteral("scripted"); }
    bool write(const QByteArray& bytes) override {
        written += bytes;
        return writable;
    }
    QByteArray readAvailable() override { return {}; }
    std::optional<QByteArray> read(qint64 maxBytes) override {
        if (reads.empty())
            return QByteArray();
        std::optional<QByteArray> next = reads.front();
        reads.erase(reads.begin());
        if (next)
            next->truncate(maxBytes);
        return next;
    }
    bool waitForReadyRead(int) override { return false; }
    void purge() override {}

    QByteArray written;
    bool writable = true;
    std::vector<std::optional<QByteArray>> reads;
};

class SerialLinkTest : public ::testing::Test {
protected:
    SerialLinkTest() {
        m_view.m_pDlgBar = &m_bar;
        m_bar.m_pView = &m_view;
        g_nReceiverType = RECEIVER_JACKSON;
    }
    QString UserWindow() const { return m_bar.UserWindow()->toPlainText(); }

    ScriptedPort m_port;
    CvDlgBar m_bar;
    CChildView m_view;
};

} // namespace

TEST_F(SerialLinkTest, WriteSendsTheWholeCommandAsLowBytes) {
    const QString command = QString(250, QLatin1Char('A')) + QChar(0x20AC) + QChar(0xFF) + QLatin1Char('\r');
    m_view.m_bVerboseDebug = true;
    EXPECT_TRUE(m_view.WriteCommand(&m_port, command));
    EXPECT_EQ(m_port.written, QByteArray(250, 'A') + QByteArray("\xAC\xFF\r", 3));
    EXPECT_TRUE(UserWindow().endsWith(QString(250, QLatin1Char('A')) + QChar(0x20AC) + QChar(0xFF) +
                                      QLatin1Char('\n')));

    // The Proteus tables store 0xFF for a NUL byte; Proteus traffic is not echoed.
    g_nReceiverType = RECEIVER_PROTEUS;
    m_port.written.clear();
    EXPECT_TRUE(m_view.WriteCommand(&m_port, QString(QChar(0xFF)) + QChar(0xDA)));
    EXPECT_EQ(m_port.written, QByteArray("\0\xDA", 2));

    EXPECT_TRUE(m_view.WriteCommand(&m_port, QString()));
    m_port.writable = false;
    m_view.m_bComsDebug = true;
    EXPECT_FALSE(m_view.WriteCommand(&m_port, QStringLiteral("X")));
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Wrong data length written")));
}

TEST_F(SerialLinkTest, ReadBinaryDumpsWholeLinesOfTheBufferAndTheTotal) {
    m_view.m_bVerboseDebug = true;
    QByteArray frame(300, '\x5A');
    m_port.reads = {frame};
    QByteArray bytes;
    EXPECT_TRUE(m_view.ReadBinary(&m_port, bytes, 300));
    EXPECT_EQ(bytes.size(), 300);
    const QString shown = UserWindow();
    EXPECT_EQ(shown.count(QStringLiteral("5A ")), 18 * 16);
    EXPECT_TRUE(shown.contains(QStringLiteral("TOTAL=300")));

    // Three failed reads in a row are a failure.
    m_view.m_bComsDebug = true;
    m_port.reads = {std::nullopt, std::nullopt, std::nullopt};
    EXPECT_FALSE(m_view.ReadBinary(&m_port, bytes, 300));
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Read failed")));
}

TEST(PowerManagement, SuspendStopsPollingAndResumeStartsItAgain) {
    PtyPeer receiver;
    std::vector<bool> keepAwake;
    platform::SetKeepAwakeHandler([&](bool on) { keepAwake.push_back(on); });
    CMainFrame frame;
    CChildView& view = frame.m_wndView;
    g_nReceiverType = RECEIVER_PROTEUS; // no start-up exchange
    view.m_strComPort = receiver.slavePath();
    view.m_bKeepAwake = true;

    // Resume without a suspend, and suspend while stopped, do nothing.
    Q_EMIT platform::PowerManagement::instance().resumed();
    Q_EMIT platform::PowerManagement::instance().suspending();
    EXPECT_FALSE(view.IsRunning());
    EXPECT_FALSE(view.m_bResumeAfterSuspend);

    view.OnStart();
    ASSERT_TRUE(view.IsRunning());
    Q_EMIT platform::PowerManagement::instance().suspending();
    EXPECT_FALSE(view.IsRunning());
    EXPECT_TRUE(view.m_bResumeAfterSuspend);
    Q_EMIT platform::PowerManagement::instance().resumed();
    EXPECT_TRUE(view.IsRunning());
    EXPECT_FALSE(view.m_bResumeAfterSuspend);
    EXPECT_EQ(keepAwake, (std::vector<bool>{true, false, true}));
    view.OnStop();
    platform::SetKeepAwakeHandler({});

    // Without a system bus the lock is simply not taken.
    platform::PowerManagement::instance().setKeepAwake(true);
    platform::PowerManagement::instance().setKeepAwake(false);
    EXPECT_FALSE(platform::PowerManagement::instance().keepingAwake());
}
