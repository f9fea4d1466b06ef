#include "app/ChildView.h"
#include "platform/MessageBox.h"
#include "platform/WallClock.h"
#include "support/LoopbackTimeServer.h"
#include "support/LoopbackUdp.h"
#include "support/WaitBounds.h"
#include "timeservice/NtpTime.h"
#include "timeservice/SntpPacket.h"
#include "timeservice/TimeServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <pwd.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Client = LoopbackUdpSocket;

Bytes Request(std::size_t length, NtpTimestamp transmit) {
    Bytes request(length, 0);
    for (std::size_t i = 0; i < length; ++i)
        request[i] = static_cast<std::uint8_t>(0x30 + i);
    request[0] = 0x23; // version 4, client
    if (length >= 48)
        WriteNtpTimestamp(request.data() + 40, transmit);
    return request;
}

NtpTimestamp Now() {
    return TimespecToNtp(platform::CurrentWallClock().now());
}

class TimeServerTest : public ::testing::Test, protected LoopbackTimeServer {
protected:
    void SetUp() override { ASSERT_EQ(m_server.Start(), QString()); }

    std::uint16_t Port() const { return m_server.Port(); }

    // Sends a request and returns the first reply.
    std::optional<Bytes> Exchange(const Bytes& request, int timeoutMs = kBusyMachineWaitMs) const {
        const Client client(Port());
        client.Send(request);
        return client.Receive(timeoutMs);
    }
};

// Sends `datagram` (whose originate field is `marker`) then a good request marked `next`: the
// datagram's answer, if it has one, must come before the good request's.
void ExpectAnsweredInTurn(const Client& client, const Bytes& datagram, NtpTimestamp marker, NtpTimestamp next,
                          bool answerable) {
    client.Send(datagram);
    client.Send(Request(48, next));
    if (answerable) {
        const auto first = client.Receive(kBusyMachineWaitMs);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->size(), 48u);
        EXPECT_EQ(ReadNtpTimestamp(first->data() + 24), marker);
        EXPECT_EQ((*first)[0], 0xDC) << "the answer is a version 3 server reply";
    }
    const auto following = client.Receive(kBusyMachineWaitMs);
    ASSERT_TRUE(following);
    EXPECT_EQ(ReadNtpTimestamp(following->data() + 24), next);
}

} // namespace

TEST_F(TimeServerTest, AnswersOnlyWholeRequestsWithTheirFieldsAndTwoStamps) {
    const NtpTimestamp before = Now();
    const auto reply = Exchange(Request(48, MakeNtp(0x01020304, 0x05060708)));
    const NtpTimestamp after = Now();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), 48u);
    const Bytes request = Request(48, 0);
    EXPECT_EQ((*reply)[0], 0xDC); // never set: alarm, version 3, server
    EXPECT_EQ((*reply)[1], 2);
    EXPECT_EQ((*reply)[2], request[2]); // poll as asked
    EXPECT_EQ((*reply)[3], 0xEC);       // its own precision, 2^-20 s, not the client's
    // Root delay and root dispersion as asked.
    EXPECT_TRUE(std::equal(reply->begin() + 4, reply->begin() + 12, request.begin() + 4));
    EXPECT_EQ(std::string(reply->begin() + 12, reply->begin() + 15), "GPS");
    EXPECT_EQ((*reply)[15], request[15]);
    EXPECT_EQ(ReadNtpTimestamp(reply->data() + 16), 0u);
    EXPECT_EQ(ReadNtpTimestamp(reply->data() + 24), MakeNtp(0x01020304, 0x05060708));
    const NtpTimestamp received = ReadNtpTimestamp(reply->data() + 32);
    const NtpTimestamp transmitted = ReadNtpTimestamp(reply->data() + 40);
    EXPECT_LE(before, received);
    EXPECT_LE(received, transmitted);
    EXPECT_LE(transmitted, after);

    // Sizes: each refused request is followed by a good one, whose answer must come first.
    const Client client(Port());
    for (std::uint32_t length : {1, 47, 48, 60, 68, 69, 200, 1400}) {
        SCOPED_TRACE(length);
        ExpectAnsweredInTurn(client, Request(length, MakeNtp(1, length)), MakeNtp(1, length),
                             MakeNtp(2, length), length >= 48 && length <= 68);
    }
    EXPECT_FALSE(client.Receive(100));
}

// Only time requests are answered: client and symmetric-active datagrams of versions 1 to 4. Each
// refused datagram is followed by a request whose answer must come first.
TEST_F(TimeServerTest, AnswersClientAndSymmetricRequestsOnly) {
    const Client client(Port());
    std::uint32_t marker = 0;
    for (int version = 0; version < 8; ++version) {
        for (int mode = 0; mode < 8; ++mode) {
            SCOPED_TRACE(testing::Message() << "version " << version << ", mode " << mode);
            Bytes datagram = Request(48, MakeNtp(1, ++marker));
            datagram[0] = static_cast<std::uint8_t>(version << 3 | mode);
            ExpectAnsweredInTurn(client, datagram, MakeNtp(1, marker), MakeNtp(2, marker),
                                 (mode == 1 || mode == 3) && version >= 1 && version <= 4);
        }
    }
}

namespace {

// Sends a UDP datagram to 127.0.0.1:toPort that claims to come from 127.0.0.1:fromPort, through a
// raw socket that writes the headers itself (the kernel fills in the IP checksum and length).
// False when raw sockets are refused (no CAP_NET_RAW).
bool SendForged(std::uint16_t fromPort, std::uint16_t toPort, const Bytes& payload) {
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    if (fd < 0)
        return false;
    Bytes packet(28, 0);
    packet[0] = 0x45; // IPv4, 20-byte header
    packet[8] = 64;   // time to live
    packet[9] = IPPROTO_UDP;
    const std::uint32_t loopback = htonl(INADDR_LOOPBACK);
    std::memcpy(&packet[12], &loopback, 4);
    std::memcpy(&packet[16], &loopback, 4);
    const std::uint16_t words[] = {htons(fromPort), htons(toPort),
                                   htons(static_cast<std::uint16_t>(8 + payload.size())), 0};
    std::memcpy(&packet[20], words, sizeof words); // UDP checksum 0: none
    packet.insert(packet.end(), payload.begin(), payload.end());
    const sockaddr_in to = LoopbackAddress(toPort);
    const bool sent = ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                               sizeof to) == static_cast<ssize_t>(packet.size());
    ::close(fd);
    return sent;
}

// Asks a service for the time and waits for its answer: everything that reached it before has
// then been handled.
bool Probe(std::uint16_t port) {
    const Client client(port);
    client.Send(Request(48, MakeNtp(77, 77)));
    const auto reply = client.Receive(kBusyMachineWaitMs);
    return reply && ReadNtpTimestamp(reply->data() + 24) == MakeNtp(77, 77);
}

// The count moves just after an answer has gone out, so a client may hold the answer first.
void ExpectAnswers(const LoopbackTimeServer& service, std::uint64_t count) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.m_server.AnswersSent() >= count; }, kBusyMachineWaitMs));
    EXPECT_EQ(service.m_server.AnswersSent(), count);
}

} // namespace

// One forged datagram must not set two services answering each other, nor one service answering
// itself: a reply is never answered. Counted through probes, each of which a service answers only
// after everything that reached it earlier.
TEST(TimeServerLoop, ForgedDatagramsGetOneAnswerAtMost) {
    LoopbackTimeServer a;
    LoopbackTimeServer b;
    ASSERT_EQ(a.m_server.Start(), QString());
    ASSERT_EQ(b.m_server.Start(), QString());
    const std::uint16_t portA = a.m_server.Port();
    const std::uint16_t portB = b.m_server.Port();

    // A request to B in A's name: B answers A, and A does not answer that answer.
    if (!SendForged(portA, portB, Request(48, MakeNtp(5, 5))))
        GTEST_SKIP() << "raw sockets are refused here: forging a datagram needs root (CAP_NET_RAW)";
    ASSERT_TRUE(Probe(portB)); // B has answered A before this
    ASSERT_TRUE(Probe(portA)); // A has seen B's answer before this
    ASSERT_TRUE(Probe(portB)); // B has seen whatever A sent back before this
    ExpectAnswers(b, 3);
    ExpectAnswers(a, 1);

    // A server reply to B in A's name: no answer at all.
    Bytes reply = Request(48, MakeNtp(6, 6));
    reply[0] = 0x1C; // version 3, server
    ASSERT_TRUE(SendForged(portA, portB, reply));
    ASSERT_TRUE(Probe(portB));
    ASSERT_TRUE(Probe(portA));
    ExpectAnswers(b, 4);
    ExpectAnswers(a, 2);

    // A request to A in its own name: A answers itself once; its own answer is not answered.
    ASSERT_TRUE(SendForged(portA, portA, Request(48, MakeNtp(7, 7))));
    ASSERT_TRUE(Probe(portA)); // A's answer to itself was sent before this one
    ASSERT_TRUE(Probe(portA)); // ... and has been seen before this one
    ExpectAnswers(a, 5);
    EXPECT_TRUE(a.m_server.IsRunning());
    EXPECT_TRUE(b.m_server.IsRunning());
}

TEST_F(TimeServerTest, LeapIndicatorWarnsUntilTheClockIsSetAndAgainWhenTheSettingIsOld) {
    auto leapIndicator = [this] {
        const auto reply = Exchange(Request(48, Now()));
        return reply ? (*reply)[0] : 0;
    };
    EXPECT_EQ(leapIndicator(), 0xDC);
    m_lastCorrected = Now();
    EXPECT_EQ(leapIndicator(), 0x1C);
    m_lastCorrected = Now() - MakeNtp(86'401, 0);
    EXPECT_EQ(leapIndicator(), 0xDC);
    m_unreliableAfter = 90'000;
    EXPECT_EQ(leapIndicator(), 0x1C);
    const auto reply = Exchange(Request(48, Now()));
    ASSERT_TRUE(reply);
    EXPECT_EQ(ReadNtpTimestamp(reply->data() + 16), m_lastCorrected.load());

    // Across the rollover of the seconds field in 2036: a setting 240 s before it is fresh, one
    // 24 days before it is old two days after it, and "never set" stays old in the new era.
    const Bytes request = Request(48, 0);
    auto leapFor = [&](std::uint32_t referenceSeconds, std::uint32_t receiveSeconds) {
        return BuildSntpReply(request, MakeNtp(receiveSeconds, 0), MakeNtp(referenceSeconds, 0), 86'400)[0];
    };
    EXPECT_EQ(leapFor(0xFFFF'FF00u, 0xFFFF'FFF0u), 0x1C);
    EXPECT_EQ(leapFor(0xFFFF'FF00u, 0x0000'0100u), 0x1C);
    EXPECT_EQ(leapFor(0xFFE0'0000u, 0x0002'A300u), 0xDC);
    EXPECT_EQ(leapFor(0, 100), 0xDC);
}

TEST_F(TimeServerTest, BurstOfMalformedDatagramsLeavesItAnswering) {
    const Client client(Port());
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        const bool shortOne = random() % 2 == 0;
        const std::size_t length = shortOne ? random() % 48 : 69 + random() % 1400;
        Bytes junk(length);
        for (auto& byte : junk)
            byte = static_cast<std::uint8_t>(random());
        client.Send(junk);
    }
    // The burst may fill the socket's queue and push a good request out, so ask a few times.
    bool answered = false;
    for (std::uint32_t attempt = 0; attempt < 20 && !answered; ++attempt) {
        client.Send(Request(48, MakeNtp(42, attempt)));
        while (const auto reply = client.Receive(500)) {
            if (NtpSeconds(ReadNtpTimestamp(reply->data() + 24)) == 42) {
                answered = true;
                break;
            }
        }
    }
    EXPECT_TRUE(answered);
    EXPECT_TRUE(m_server.IsRunning());
}

TEST_F(TimeServerTest, StopFreesThePortAtOnceAndAClosedPortEndsTheService) {
    m_port = Port();
    for (int i = 0; i < 20; ++i) {
        m_server.Stop();
        EXPECT_FALSE(m_server.IsRunning());
        ASSERT_EQ(m_server.Start(), QString()) << i;
        ASSERT_TRUE(Exchange(Request(48, Now()))) << i;
    }
    // The worker notices a closed port within an interval, without Stop.
    m_portOpen = false;
    for (int i = 0; i < 100 && m_server.IsRunning(); ++i)
        QThread::msleep(10);
    EXPECT_FALSE(m_server.IsRunning());
    EXPECT_FALSE(Exchange(Request(48, Now()), 100));
    m_portOpen = true;
    ASSERT_EQ(m_server.Start(), QString());
    EXPECT_TRUE(Exchange(Request(48, Now())));
}

TEST_F(TimeServerTest, PythonNtpClientGetsAnAccurateAnswer) {
    const QString python = QStringLiteral("/usr/bin/python3");
    const QString script = QStringLiteral(
        "import ntplib, sys\n"
        "r = ntplib.NTPClient().request('127.0.0.1', version=3, port=int(sys.argv[1]), timeout=2)\n"
        "print(r.leap, r.stratum, ntplib.ref_id_to_text(r.ref_id, r.stratum), repr(r.offset),\n"
        "      repr(r.recv_time - r.orig_time), repr(r.tx_time - r.recv_time), repr(r.dest_time - "
        "r.orig_time))\n");
    auto run = [&](const QStringList& arguments, QString* output) {
        QProcess process; // killed by its destructor if it hangs
        process.start(python, arguments);
        const bool finished = process.waitForFinished(20000);
        *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    };
    QString output;
    if (!QFile::exists(python) || !run({"-c", "import ntplib"}, &output))
        GTEST_SKIP() << "python3-ntplib is not installed";
    auto query = [&] {
        return run({"-c", script, QString::number(Port())}, &output) ? output.split(u' ') : QStringList();
    };
    const QStringList unset = query();
    ASSERT_EQ(unset.size(), 7) << qPrintable(unset.join(u' '));
    EXPECT_EQ(unset[0], QStringLiteral("3")); // alarm: never set
    EXPECT_EQ(unset[1], QStringLiteral("2"));

    m_lastCorrected = Now();
    const QStringList set = query();
    ASSERT_EQ(set.size(), 7) << qPrintable(set.join(u' '));
    EXPECT_EQ(set[0], QStringLiteral("0"));
    EXPECT_EQ(set[1], QStringLiteral("2"));
    EXPECT_EQ(set[2], QStringLiteral("71.80.83.0")); // "GPS" and the request's zero
    // The server's stamps lie between the client's send and receipt: the offset is within half
    // the round trip (however long a busy machine makes that).
    EXPECT_LE(std::abs(set[3].toDouble()), set[6].toDouble() / 2 + 1e-4) << "offset";
    // Originate is the client's own transmit time, so every step forward is small and positive
    // (the client's clock has 2^-32 s steps, its float arithmetic a few microseconds of noise).
    EXPECT_GT(set[4].toDouble(), -1e-5);
    EXPECT_GE(set[5].toDouble(), 0.0);
    EXPECT_LE(set[5].toDouble(), set[6].toDouble() + 1e-4) << "the server's time lies within the round trip";
    EXPECT_LT(set[6].toDouble(), 0.5);
}

TEST_F(TimeServerTest, ChronyQueryFindsTheClockRight) {
    // scripts/test.sh unpacks chronyd into the build folder rather than install chrony, which
    // would replace the machine's own time service.
    QString chronyd = QStringLiteral(ORVANE_BINARY_DIR "/chrony/usr/sbin/chronyd");
    if (!QFileInfo(chronyd).isExecutable())
        chronyd = QStandardPaths::findExecutable(QStringLiteral("chronyd"), {"/usr/sbin", "/sbin"});
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (chronyd.isEmpty() || setpriv.isEmpty())
        GTEST_SKIP() << "chronyd is neither unpacked into the build folder (scripts/unpack-chronyd.sh) nor "
                        "installed, or setpriv is missing";
    // chronyd drops to the user its package adds (_chrony) unless told otherwise; an unpacked one
    // has no such user, so it runs as whoever runs the test.
    const passwd* const user = getpwuid(geteuid());
    ASSERT_NE(user, nullptr);
    m_lastCorrected = Now(); // a client ignores a server that says it is not synchronised
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    QFile config(dir.filePath(QStringLiteral("client.conf")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("server 127.0.0.1 port %1 iburst\ncmdport 0\npidfile %2\n")
                     .arg(Port())
                     .arg(dir.filePath(QStringLiteral("chronyd.pid")))
                     .toLocal8Bit());
    config.close();
    // -Q only measures and prints the offset; the clock capability is taken away all the same.
    QProcess chrony; // killed by its destructor if it hangs
    chrony.setProcessChannelMode(QProcess::MergedChannels);
    chrony.start(setpriv, {"--inh-caps=-sys_time", "--bounding-set=-sys_time", "--", chronyd, "-Q", "-u",
                           QString::fromLocal8Bit(user->pw_name), "-f", config.fileName()});
    ASSERT_TRUE(chrony.waitForFinished(60000)) << "chronyd did not finish";
    const QString output = QString::fromLocal8Bit(chrony.readAll());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("System clock wrong by (-?[0-9.]+) seconds")).match(output);
    ASSERT_TRUE(match.hasMatch()) << qPrintable(output);
    EXPECT_LT(std::abs(match.captured(1).toDouble()), 0.002) << qPrintable(output);
}

// The view shows a start failure of the service in a message box once Start has returned, from
// the user-interface thread.
TEST(TimeServerInView, BindFailureIsShownAfterStart) {
    QStringList boxes;
    platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& request) {
        boxes << request.text;
        return platform::MessageResult::Ok;
    });
    const LoopbackUdpSocket holder(0, true);
    ASSERT_NE(holder.OwnPort(), 0);

    CChildView view;
    view.m_bSntpEnabled = true;
    view.m_bPortOpen = true;
    view.m_nSntpPort = holder.OwnPort();
    view.StartTimeServer();
    EXPECT_TRUE(boxes.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes, QStringList{"Failed to bind socket for time server. The specified port may be in use."});
    view.StopTimeServer();
}
