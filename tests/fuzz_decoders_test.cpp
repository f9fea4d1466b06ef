// Random and damaged answers through every decoder: no crash, no read past the text, no hang, and
// the satellite table only ever holds satellites in range.
#include "app/Globals.h"
#include "receiver/LockState.h"
#include "receiver/NumberText.h"
#include "receiver/PositionParser.h"
#include "receiver/SatelliteParser.h"
#include "receiver/SatelliteTrackFile.h"
#include "receiver/StatusFormatter.h"
#include "support/StatusScreens.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr int kFamilies[] = {RECEIVER_HP,      RECEIVER_DATUM, RECEIVER_PROTEUS,
                             RECEIVER_JACKSON, RECEIVER_UCCM,  7};

// Stops a loop after its iteration count or its share of time, whichever comes first.
class Budget {
public:
    Budget(int iterations, std::chrono::seconds time)
        : m_left(iterations), m_deadline(std::chrono::steady_clock::now() + time) {}
    bool Next() { return m_left-- > 0 && std::chrono::steady_clock::now() < m_deadline; }

private:
    int m_left;
    std::chrono::steady_clock::time_point m_deadline;
};

class Generator {
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    // Text made of the words the decoders look for, numbers, separators and stray characters.
    QString Fragments(int count) {
        static const char* const words[] = {"PRN ",
                                            "SAT: ",
                                            "SAT:",
                                            "POS:",
                                            "LAT ",
                                            "LON ",
                                            "HGT ",
                                            "AVG ",
                                            "Lat ",
                                            "UTC  ",
                                            "LOCAL ",
                                            "QUISITION",
                                            "quisition",
                                            "ACQ",
                                            "-------------",
                                            "Time ____",
                                            "SAASM",
                                            "LOCKED TO GPS",
                                            "Synchronized to UTC",
                                            "HEALTH MONITOR",
                                            "oltage",
                                            "Current",
                                            "\r\n",
                                            "\r",
                                            "\n",
                                            " ",
                                            "   ",
                                            "*",
                                            "?",
                                            ":",
                                            "N",
                                            "s",
                                            "E",
                                            "w",
                                            "\t",
                                            "-",
                                            "+",
                                            ".",
                                            "e",
                                            "99999999999",
                                            "1e999",
                                            "0",
                                            "45",
                                            "123",
                                            "360",
                                            "1000",
                                            "65537",
                                            "300"};
        QString text;
        for (int i = 0; i < count; ++i) {
            const int pick = Below(60);
            if (pick < static_cast<int>(std::size(words)))
                text += QString::fromLatin1(words[pick]);
            else if (pick < 55)
                text += QString(Below(30), u' ');
            else
                text += QChar(static_cast<char16_t>(Below(0x10000)));
        }
        return text;
    }

    QString RandomUnits(int length) {
        QString text;
        for (int i = 0; i < length; ++i)
            text += QChar(static_cast<char16_t>(Below(4) == 0 ? Below(0x10000) : Below(128)));
        return text;
    }

    // A real screen with a few characters replaced, inserted or removed, possibly cut short.
    QString Damaged(const QString& screen) {
        QString text = screen;
        const int edits = 1 + Below(6);
        for (int i = 0; i < edits && !text.isEmpty(); ++i) {
            const int pos = Below(static_cast<int>(text.size()));
            switch (Below(4)) {
            case 0:
                text[pos] = QChar(static_cast<char16_t>(Below(128)));
                break;
            case 1:
                text.insert(pos, Fragments(1));
                break;
            case 2:
                text.remove(pos, 1 + Below(20));
                break;
            default:
                text.truncate(pos);
                break;
            }
        }
        return text;
    }

    CSatInfo InRangeSatellite() {
        CSatInfo sat;
        const int prn = 1 + Below(998);
        sat.m_byPrnLow = static_cast<std::uint8_t>(prn & 0xFF);
        sat.m_byPrnHigh = static_cast<std::uint8_t>(prn >> 8);
        sat.m_byElevation = static_cast<std::uint8_t>(1 + Below(90));
        sat.m_wAzimuth = static_cast<std::uint16_t>(Below(360));
        sat.m_bySnrWhole = static_cast<std::uint8_t>(Below(256));
        sat.m_bySnrTenths = static_cast<std::uint8_t>(Below(10));
        return sat;
    }

    CSatInfo AnySatellite() {
        const SatRecordBytes bytes = {static_cast<std::uint8_t>(Below(256)),
                                      static_cast<std::uint8_t>(Below(256)),
                                      static_cast<std::uint8_t>(Below(256)),
                                      static_cast<std::uint8_t>(Below(256)),
                                      static_cast<std::uint8_t>(Below(256)),
                                      static_cast<std::uint8_t>(Below(256)),
                                      static_cast<std::uint8_t>(Below(256)),
                                      static_cast<std::uint8_t>(Below(256)),
                                      0,
                                      0,
                                      0,
                                      0};
        return DeserialiseSatInfo(bytes);
    }

    double AnyDouble() {
        const double values[] = {0.0, -0.0, 1e300, -1e300, NAN, INFINITY, -33.5, 89.999999, 2147483648.0};
        return values[Below(static_cast<int>(std::size(values)))];
    }

private:
    std::mt19937 m_random;
};

bool InRange(const CSatInfo& sat) {
    return sat.SatelliteNumber() < 999 && sat.m_byElevation <= 90 && sat.m_wAzimuth < 360;
}

void CheckAllDecoders(Generator& gen, const QString& text) {
    QString number = text;
    ValidateNumber(number);
    (void)ReadCheckedUnsigned(text);
    ASSERT_TRUE(std::isfinite(ReadNumber(text)));

    for (int family : kFamilies) {
        const PositionFields position = ParsePositionText(text, family);
        for (const auto& field : {position.latitude, position.longitude, position.height})
            ASSERT_TRUE(!field || std::isfinite(*field));
        (void)TimeValidFromStatus(text, family);

        std::array<CSatInfo, kSatelliteSlots> sats{};
        std::array<QString, kSatelliteSlots> extra;
        for (CSatInfo& sat : sats)
            if (gen.Below(2))
                sat = gen.InRangeSatellite();
        int satsInReply = gen.Below(30);
        const SatelliteAnswerResult result =
            ParseSatelliteAnswer(text, family, SatelliteTable{sats, extra, satsInReply});
        if (result.end == SatelliteAnswerEnd::Normal) {
            ASSERT_TRUE(satsInReply >= 0 && satsInReply <= kSatelliteSlots);
        }
        for (const CSatInfo& sat : sats)
            ASSERT_TRUE(!sat.InUse() || InRange(sat))
                << sat.SatelliteNumber() << " " << int(sat.m_byElevation);

        StatusScreenInputs in;
        in.receiverType = family;
        for (int slot = 0; slot < kSatelliteSlots; ++slot) {
            in.sats[slot] = gen.AnySatellite();
            in.satExtra[slot] = gen.Below(4) ? QString() : gen.Fragments(gen.Below(8));
        }
        in.saasmGps = gen.Below(2);
        in.measReply = gen.Fragments(gen.Below(10));
        in.step3Reply = gen.Fragments(gen.Below(3));
        in.lifeCount = gen.Fragments(gen.Below(3));
        in.leapCorrection = gen.Below(2) ? -2147483647 - 1 : gen.Below(40);
        in.latitude = gen.AnyDouble();
        in.longitude = gen.AnyDouble();
        in.height = gen.AnyDouble();
        const StatusScreen screen = FormatStatusScreen(text, in);
        ASSERT_LE(screen.text.size(), 64 * (text.size() + 1) + 8192);
    }
}

} // namespace

TEST(FuzzDecoders, RandomTextsNeverCrashOrLeaveRange) {
    Generator gen(20240115);
    Budget budget(30000, std::chrono::seconds(40));
    while (budget.Next()) {
        const QString text = gen.Below(3) ? gen.Fragments(gen.Below(120)) : gen.RandomUnits(gen.Below(400));
        ASSERT_NO_FATAL_FAILURE(CheckAllDecoders(gen, text));
    }
}

TEST(FuzzDecoders, DamagedAndTruncatedScreens) {
    Generator gen(7);
    const QString screens[] = {HpStatusScreen(),          HpStatusScreen(false), JacksonStatusScreen(),
                               JacksonStatusScreen(true), UccmStatusScreen(),    ProteusStatusPage(),
                               DatumStatusScreen(),       DatumSatAnswer(),      DatumPositionAnswer()};
    // Every prefix of every screen: an answer cut off anywhere.
    for (const QString& screen : screens)
        for (qsizetype length = 0; length <= screen.size(); length += 1 + length / 64)
            ASSERT_NO_FATAL_FAILURE(CheckAllDecoders(gen, screen.left(length)));
    Budget budget(20000, std::chrono::seconds(40));
    while (budget.Next())
        ASSERT_NO_FATAL_FAILURE(CheckAllDecoders(gen, gen.Damaged(screens[gen.Below(std::size(screens))])));
}

TEST(FuzzDecoders, TrackFileStaysOnTheRecordGrid) {
    Generator gen(99);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("track.bin"));
    Budget budget(300, std::chrono::seconds(20));
    while (budget.Next()) {
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(gen.Below(3000), static_cast<char>(gen.Below(256))));
        }
        std::array<CSatInfo, kSatelliteSlots> sats{};
        int inUse = 0;
        for (CSatInfo& sat : sats)
            if (gen.Below(3) == 0) {
                sat = gen.InRangeSatellite();
                ++inUse;
            }
        const int maxKb = gen.Below(4) - 1; // -1 to 2
        ASSERT_TRUE(AppendTrackSnapshot(path, sats, gen.Below(1000), 1234, maxKb));
        const qint64 size = QFileInfo(path).size();
        ASSERT_EQ(size % kSatRecordBytes, 0);
        if (maxKb > 0) {
            ASSERT_LE(size, TrackTrimThreshold(maxKb) + inUse * kSatRecordBytes);
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const std::vector<CSatInfo> records = DecodeTrackRecords(file.readAll());
        ASSERT_GE(records.size(), static_cast<std::size_t>(inUse));
        for (std::size_t i = records.size() - inUse; i < records.size(); ++i)
            ASSERT_EQ(records[i].m_dwTime, 1234u);
    }
}
