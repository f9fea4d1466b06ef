// Random and damaged answers through every decoder: no crash, no read past the text, no hang, and
// the satellite table only ever holds satellites in range.
#include "app/Globals.h"
#include "receiver/LockState.h"
#include "receiver/NumberText.h"
#include "receiver/PositionParser.h"
#include "receiver/SatelliteParser.h"
#include "receiver/StatusFormatter.h"
#include "support/StatusScreens.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : m_random(seed) {}
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Below(256)); }

    // The words the decoders look for, numbers, separators, runs of spaces and stray characters.
    QString Fragments(int count) {
        static const QStringList words =
            QStringLiteral(
                "PRN |SAT: |SAT:|POS:|LAT |LON |HGT |AVG |Lat |UTC  |LOCAL |QUISITION|ACQ|-------------|"
                "Time ____|SAASM|HEALTH MONITOR|oltage|\r\n|\r|\n| |*|?|:|N|s|E|w|\t|-|+|.|e|inf|"
                "99999999999|1e999|0|45|360|1000|65537|300")
                .split(u'|');
        QString text;
        for (int i = 0; i < count; ++i) {
            const int pick = Below(56);
            if (pick < words.size())
                text += words[pick];
            else if (pick < 52)
                text += QString(Below(30), u' ');
            else
                text += QChar(static_cast<char16_t>(Below(0x10000)));
        }
        return text;
    }

    // A real screen with a few characters replaced, inserted or removed, possibly cut short.
    QString Damaged(QString text) {
        for (int edits = 1 + Below(6); edits > 0 && !text.isEmpty(); --edits) {
            const int pos = Below(static_cast<int>(text.size()));
            const int kind = Below(4);
            if (kind == 0)
                text[pos] = QChar(static_cast<char16_t>(Below(128)));
            else if (kind == 1)
                text.insert(pos, Fragments(1));
            else
                text.remove(pos, kind == 2 ? 1 + Below(20) : text.size());
        }
        return text;
    }

    CSatInfo Satellite(bool inRange) {
        CSatInfo sat =
            DeserialiseSatInfo({Byte(), Byte(), Byte(), Byte(), Byte(), Byte(), Byte(), Byte(), 0, 0, 0, 0});
        if (inRange) {
            sat.m_byPrnLow = static_cast<std::uint8_t>(1 + Below(255));
            sat.m_byPrnHigh = static_cast<std::uint8_t>(Below(3));
            sat.m_byElevation = static_cast<std::uint8_t>(Below(91));
            sat.m_wAzimuth = static_cast<std::uint16_t>(Below(360));
        }
        return sat;
    }

private:
    std::mt19937 m_random;
};

void CheckAllDecoders(Generator& gen, const QString& text) {
    QString number = text;
    ValidateNumber(number);
    (void)ReadCheckedUnsigned(text);
    ASSERT_TRUE(std::isfinite(ReadNumber(text)));
    const int families[] = {RECEIVER_HP,      RECEIVER_DATUM, RECEIVER_PROTEUS,
                            RECEIVER_JACKSON, RECEIVER_UCCM,  7};
    for (int family : families) {
        const PositionFields position = ParsePositionText(text, family);
        for (const auto& field : {position.latitude, position.longitude, position.height})
            ASSERT_TRUE(!field || std::isfinite(*field));
        (void)TimeValidFromStatus(text, family);

        std::array<CSatInfo, kSatelliteSlots> sats{};
        std::array<QString, kSatelliteSlots> extra;
        for (CSatInfo& sat : sats)
            sat = gen.Below(2) ? gen.Satellite(true) : CSatInfo{};
        int satsInReply = 0;
        ParseSatelliteAnswer(text, family, SatelliteTable{sats, extra, satsInReply});
        ASSERT_TRUE(satsInReply >= 0 && satsInReply <= kSatelliteSlots);
        for (const CSatInfo& sat : sats)
            ASSERT_TRUE(!sat.InUse() ||
                        (sat.SatelliteNumber() < 999 && sat.m_byElevation <= 90 && sat.m_wAzimuth < 360));

        StatusScreenInputs in;
        in.receiverType = family;
        for (int slot = 0; slot < kSatelliteSlots; ++slot) {
            in.sats[slot] = gen.Satellite(false);
            in.satExtra[slot] = gen.Fragments(gen.Below(3));
        }
        in.saasmGps = gen.Below(2);
        in.measReply = gen.Fragments(gen.Below(10));
        in.step3Reply = gen.Fragments(gen.Below(3));
        in.leapCorrection = gen.Below(2) ? -2147483647 - 1 : gen.Below(40);
        const double doubles[] = {0.0, 1e300, -1e300, NAN, INFINITY, -33.5, 2147483648.0};
        in.latitude = doubles[gen.Below(7)];
        in.longitude = doubles[gen.Below(7)];
        in.height = doubles[gen.Below(7)];
        ASSERT_LE(FormatStatusScreen(text, in).text.size(), 64 * (text.size() + 1) + 8192);
    }
}

} // namespace

TEST(FuzzDecoders, EveryDecoderOnDamagedAndRandomAnswers) {
    Generator gen(7);
    const QString screens[] = {HpStatusScreen(),          HpStatusScreen(false), JacksonStatusScreen(),
                               JacksonStatusScreen(true), UccmStatusScreen(),    ProteusPage(),
                               DatumStatusScreen(),       DatumSatAnswer(),      DatumPositionAnswer()};
    for (const QString& screen : screens) // cut off anywhere
        for (qsizetype length = 0; length <= screen.size(); length += 1 + length / 64)
            ASSERT_NO_FATAL_FAILURE(CheckAllDecoders(gen, screen.left(length)));
    // Damaged screens and texts made of the decoders' words, within a bounded time.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 40000 && std::chrono::steady_clock::now() - start < std::chrono::seconds(60); ++i) {
        const QString text =
            i % 2 ? gen.Damaged(screens[gen.Below(std::size(screens))]) : gen.Fragments(gen.Below(120));
        ASSERT_NO_FATAL_FAILURE(CheckAllDecoders(gen, text));
    }
}
