// Every receiver family end to end: the view, set up with the family's defaults, polls a simulated
// receiver of that family through the real start-up exchange and poll cycle, and must arrive at the
// simulator's position, lock state, leap seconds and sky, the satellite count, one whole track-file
// snapshot, and a status screen that shows the position and the satellites.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "receiver/SatelliteTrackFile.h"
#include "simulator/ReceiverSimulator.h"
#include "support/FixedWallClock.h"
#include "support/StartUpAttempts.h"
#include "support/WaitBounds.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace {

struct FamilyCase {
    const char* name;
    sim::Family family;
    int receiverType;
    int countChannel;      // the channel value that receives the satellite count
    bool listsUntracked;   // whether its satellite answer names satellites that are not tracked
    int channels;          // satellites its answer can hold at most, tracked ones first
    bool marksUnknownTime; // whether its screen shows an unlocked receiver's time as unknown
    const char* latitude;  // the start of the screen's latitude line, from degrees and minutes
    // A tracked satellite's entry as the formatted screen shows it.
    std::function<QString(const CSatInfo&)> trackedEntry;
    int entriesShown; // how many slots the formatted screen shows
};

QString Entry(const char* pattern, int a, int b, int c, int d) {
    return QString::asprintf(pattern, a, b, c, d);
}

// The Hewlett Packard and UCCM screens list a satellite alike.
QString ScpiEntry(const CSatInfo& s) {
    return "\r\n" +
           Entry("%3d %3d %3d %4d", s.SatelliteNumber(), s.m_byElevation, s.m_wAzimuth, s.m_bySnrWhole);
}

const FamilyCase kFamilies[] = {
    {"HewlettPackard", sim::Family::HewlettPackard, RECEIVER_HP, 3, true, 24, true,
     "LAT  N %3d:%02d:", ScpiEntry, 24},
    {"Datum2000", sim::Family::Datum2000, RECEIVER_DATUM, 2, false, 12, true, "LAT N%3d:%02d:",
     [](const CSatInfo& s) {
         return QString::asprintf("%3d %2d %3d %2d.%1d\r\n", s.m_byPrnLow, s.m_byElevation, s.m_wAzimuth,
                                  s.m_bySnrWhole, s.m_bySnrTenths);
     },
     6},
    // The Proteus page shows the time of the receiver's time frame, locked or not.
    {"Proteus", sim::Family::Proteus, RECEIVER_PROTEUS, 3, true, 12, false, "LAT      N%3d:%02d:",
     [](const CSatInfo& s) {
         return "\r\n" + Entry(" %2d  %2d %3d  %3d", s.SatelliteNumber(), s.m_byElevation, s.m_wAzimuth,
                               s.m_bySnrWhole);
     },
     24},
    {"JacksonLabs", sim::Family::JacksonLabs, RECEIVER_JACKSON, 3, true, 24, true, "LAT N %2d:%02d:",
     [](const CSatInfo& s) {
         return Entry("%3d %3d %2d %3d   ", s.SatelliteNumber(), s.m_wAzimuth, s.m_byElevation,
                      s.m_bySnrWhole);
     },
     24},
    {"Uccm", sim::Family::Uccm, RECEIVER_UCCM, 3, true, 24, true, "LAT N %2d:%02d:", ScpiEntry, 24},
};

void PrintTo(const FamilyCase& family, std::ostream* out) {
    *out << family.name;
}

using Param = std::tuple<FamilyCase, sim::LockState>;

struct Sighting {
    int prn, elevation, azimuth;
    bool tracked;
    auto operator<=>(const Sighting&) const = default;
};

// The satellites the family's answer reports for the simulator's sky, in number order.
std::vector<Sighting> ExpectedSky(const FamilyCase& family, sim::LockState state) {
    sim::ReceiverModel model;
    model.setSkySpeed(0.0);
    model.setLockState(state);
    std::vector<Sighting> sky;
    for (const sim::SimSatellite& s : model.satellites())
        if (s.tracked || family.listsUntracked)
            sky.push_back({s.prn, s.elevation, s.azimuth, s.tracked});
    std::stable_partition(sky.begin(), sky.end(), [](const Sighting& s) { return s.tracked; });
    if (sky.size() > static_cast<std::size_t>(family.channels))
        sky.resize(family.channels);
    std::sort(sky.begin(), sky.end());
    return sky;
}

class FamilyPolling : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        platform::SetTickSource(m_ticks);
        platform::SetWallClock(m_clock);
        const auto& [family, state] = GetParam();
        m_simulator = std::make_unique<sim::ReceiverSimulator>(family.family);
        m_simulator->setSkySpeed(0.0); // a still sky, so that the table can be compared exactly
        m_simulator->setLockState(state);
        ASSERT_TRUE(m_simulator->start());

        g_nReceiverType = family.receiverType;
        m_view.SetReceiverDefaults();
        m_view.m_strComPort = m_simulator->portPath();
        m_view.m_bBeepOnError = false;
        m_view.m_strDumpPath = m_dir.filePath(QStringLiteral("gpsdmp.bin"));
        m_view.m_strDebugPath = m_dir.filePath(QStringLiteral("gpsdebug.txt"));
        m_view.m_strUserPath = m_dir.filePath(QStringLiteral("gpsuser.txt"));
        m_view.m_strHtmlPath = m_dir.filePath(QStringLiteral("gpsstat.htm"));
        m_view.m_strLogPath = m_dir.filePath(QStringLiteral("gpslog.log"));
        // The families whose start-up exchange asks for the leap seconds (Proteus gives them in its
        // frames, Datum 2000 not at all).
        const bool leapSecondsAtStart =
            family.receiverType != RECEIVER_PROTEUS && family.receiverType != RECEIVER_DATUM;
        StartUntilTaken([this] { m_view.OnStart(); },
                        [&] { return !leapSecondsAtStart || m_view.m_nLeapCorrection != 0; },
                        [this] { m_view.OnStop(); });
        ASSERT_TRUE(m_view.IsRunning());
        m_ticks->advance(10001); // the first snapshot may come 10 s after Start
    }
    void TearDown() override {
        m_view.OnStop();
        platform::SetTickSource(nullptr);
        platform::SetWallClock(nullptr);
    }

    // Poll ticks, each receive tick once bytes have come, until `done` holds (bounded). The
    // satellite table as it stood before the last tick is kept in m_satBeforeLastTick.
    bool RunUntil(const std::function<bool()>& done) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (m_view.IsRunning() && !done() && elapsed.elapsed() < kBusyMachineWaitMs) {
            if (m_view.m_nWaitCount > 0 && m_view.m_hActivePort)
                m_view.m_hActivePort->waitForReadyRead(1000); // returns as soon as bytes come
            m_satBeforeLastTick = m_view.m_sat;
            m_view.OnTimer(IDT_POLL);
        }
        return done();
    }

    static constexpr std::uint32_t kNow = 1700000000;
    std::shared_ptr<platform::ManualTickSource> m_ticks = std::make_shared<platform::ManualTickSource>(5000);
    std::shared_ptr<FixedWallClock> m_clock = std::make_shared<FixedWallClock>(kNow);
    QTemporaryDir m_dir;
    std::unique_ptr<sim::ReceiverSimulator> m_simulator;
    CChildView m_view;
    decltype(m_view.m_sat) m_satBeforeLastTick{};
};

} // namespace

TEST_P(FamilyPolling, TheCycleArrivesAtTheSimulatedReceiversState) {
    const auto& [family, state] = GetParam();
    // One round through the satellite answer, then the next status screen, which shows its table.
    QString& count = m_view.m_strChannelValue[family.countChannel];
    ASSERT_TRUE(RunUntil([&] { return !count.isEmpty(); }));
    m_view.m_strRawStatus.clear();
    ASSERT_TRUE(RunUntil([&] { return !m_view.m_strRawStatus.isEmpty(); }));
    EXPECT_EQ(m_view.m_nTimeouts, 0);

    const sim::ReceiverModel model;
    EXPECT_NEAR(m_view.m_dLatitude, model.latitude(), 1.0 / 6000);
    EXPECT_NEAR(m_view.m_dLongitude, model.longitude(), 1.0 / 6000);
    EXPECT_NEAR(m_view.m_dHeight, model.height(), 0.05);
    const bool locked = state == sim::LockState::Locked;
    EXPECT_EQ(m_view.m_bTimeValid, locked || !family.marksUnknownTime);
    // Leap seconds come from the start-up queries or, for Proteus, the frames; Datum 2000 has none.
    EXPECT_EQ(m_view.m_nLeapCorrection, family.receiverType == RECEIVER_DATUM ? 0 : 18);

    // The table: the reported satellites in the first slots, the rest empty.
    const std::vector<Sighting> expected = ExpectedSky(family, state);
    const auto expectedTracked =
        std::count_if(expected.begin(), expected.end(), [](auto& s) { return s.tracked; });
    ASSERT_EQ(expectedTracked > 0, locked);
    ASSERT_EQ(expected.empty(), !locked && !family.listsUntracked);
    std::vector<Sighting> table;
    for (std::size_t slot = 0; slot < m_view.m_sat.size(); ++slot) {
        const CSatInfo& s = m_view.m_sat[slot];
        EXPECT_EQ(s.InUse(), slot < expected.size()) << "slot " << slot;
        if (s.InUse())
            table.push_back({s.SatelliteNumber(), s.m_byElevation, s.m_wAzimuth, s.SignalLevel() > 0});
    }
    std::sort(table.begin(), table.end());
    EXPECT_EQ(table, expected);
    EXPECT_EQ(m_view.m_nSatsInReply, expectedTracked);
    EXPECT_EQ(count, QString::number(expectedTracked));

    // One snapshot: a record per slot in use, as the table holds it (signal levels move on while the
    // sky stands still, and do not call for a snapshot), all of one count and time.
    QFile file(m_view.m_strDumpPath);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    EXPECT_EQ(bytes.size(), static_cast<qsizetype>(expected.size()) * kSatRecordBytes);
    const std::vector<CSatInfo> records = DecodeTrackRecords(bytes);
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].m_dwTime, kNow);
        EXPECT_EQ(records[i].m_bySatCount, expectedTracked);
        const CSatInfo& live = m_view.m_sat[i];
        EXPECT_TRUE(records[i].SatelliteNumber() == live.SatelliteNumber() &&
                    records[i].m_byElevation == live.m_byElevation &&
                    records[i].m_wAzimuth == live.m_wAzimuth &&
                    (records[i].SignalLevel() > 0) == (live.SignalLevel() > 0))
            << "record " << i;
    }

    // The status screen shows the position and every tracked satellite it has room for. The
    // screen is formatted before the status reply's own satellites are decoded, and signal levels
    // move on between two answers: an entry shows the table from before or after that reply.
    const QString& screen = m_view.m_wndText.m_strText;
    const double degrees = std::floor(model.latitude());
    const QString latitudeLine = QString::asprintf(family.latitude, static_cast<int>(degrees),
                                                   static_cast<int>((model.latitude() - degrees) * 60));
    EXPECT_TRUE(screen.contains(latitudeLine)) << qPrintable(latitudeLine) << " in\n" << qPrintable(screen);
    for (int slot = 0; slot < family.entriesShown; ++slot) {
        const CSatInfo& s = m_view.m_sat[slot];
        if (s.InUse() && s.SignalLevel() > 0) {
            EXPECT_TRUE(screen.contains(family.trackedEntry(s)) ||
                        screen.contains(family.trackedEntry(m_satBeforeLastTick[slot])))
                << qPrintable(family.trackedEntry(s)) << " in\n"
                << qPrintable(screen);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, FamilyPolling,
                         ::testing::Combine(::testing::ValuesIn(kFamilies),
                                            ::testing::Values(sim::LockState::Locked,
                                                              sim::LockState::Unlocked)),
                         [](const ::testing::TestParamInfo<Param>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == sim::LockState::Locked ? "Locked"
                                                                                       : "Unlocked");
                         });
