#include "simulator/ProteusDialect.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace sim {

namespace {

constexpr int kPollBytes = 4;
constexpr int kCommandBytes = 10;
constexpr int kEfcFrameBytes = 72;
constexpr int kStatusFrameBytes = 180;
constexpr std::uint8_t kStatusPoll = 0xDA;
constexpr std::uint8_t kEfcPoll = 0xA2;
constexpr std::int64_t kSecondsPerWeek = 604800;

std::uint16_t WordSum(const QByteArray& bytes, qsizetype from) {
    std::uint32_t sum = 0;
    for (qsizetype i = from; i + 1 < bytes.size(); i += 2)
        sum += static_cast<std::uint8_t>(bytes[i]) | static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    return static_cast<std::uint16_t>(sum);
}

// A frame being filled: words little-endian, 32-bit values as two words, the high word first.
class FrameWriter {
public:
    explicit FrameWriter(int size) : m_bytes(size, '\0') {}
    void u8(int at, int v) { m_bytes[at] = static_cast<char>(v & 0xFF); }
    void u16(int at, int v) {
        u8(at, v);
        u8(at + 1, v >> 8);
    }
    void i32(int at, std::int64_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        u16(at, static_cast<int>(u >> 16));
        u16(at + 2, static_cast<int>(u & 0xFFFF));
    }
    // The last word makes the words from byte 4 on add up to 0.
    QByteArray finished() {
        u16(static_cast<int>(m_bytes.size()) - 2, 0);
        u16(static_cast<int>(m_bytes.size()) - 2, (0x10000 - WordSum(m_bytes, 4)) & 0xFFFF);
        return m_bytes;
    }

private:
    QByteArray m_bytes;
};

std::int64_t Rounded(double v) {
    return std::llround(v);
}

// Tracked satellites first, then those only in view, at most twelve channels.
std::vector<SimSatellite> Channels(const ReceiverModel& model) {
    std::vector<SimSatellite> sky = model.satellites();
    std::stable_partition(sky.begin(), sky.end(), [](const SimSatellite& s) { return s.tracked; });
    if (sky.size() > 12)
        sky.resize(12);
    return sky;
}

Reply FrameReply(const QByteArray& frame) {
    // The check word goes out last, as the reply's prompt.
    return {{}, frame.left(frame.size() - 2), frame.right(2)};
}

} // namespace

std::optional<QByteArray> ProteusDialect::takeRequest(QByteArray& pending) {
    while (!pending.isEmpty()) {
        const char first = pending[0];
        const int size = first == 0x00 ? kPollBytes : first == 0x50 ? kCommandBytes : 0;
        if (size == 0) {
            pending.remove(0, 1);
            continue;
        }
        if (pending.size() < size)
            return std::nullopt;
        const QByteArray request = pending.left(size);
        if (WordSum(request, 0) == 0) {
            pending.remove(0, size);
            return request;
        }
        pending.remove(0, 1);
    }
    return std::nullopt;
}

Reply ProteusDialect::answer(const QByteArray& request, ReceiverModel& model) {
    if (request.size() == kPollBytes) {
        const auto id = static_cast<std::uint8_t>(request[1]);
        if (id == kStatusPoll)
            return FrameReply(statusFrame(model));
        if (id == kEfcPoll)
            return FrameReply(efcFrame(model));
        return {};
    }
    if (request.size() == kCommandBytes && request.startsWith(QByteArray("\x50\x02\x00\x00", 4))) {
        m_lastCommand = static_cast<std::uint8_t>(request[4]) << 8 | static_cast<std::uint8_t>(request[5]);
        return FrameReply(statusFrame(model));
    }
    return {};
}

QByteArray ProteusDialect::efcFrame(const ReceiverModel& model) {
    FrameWriter f(kEfcFrameBytes);
    f.u8(1, kEfcPoll);
    f.u8(2, kEfcFrameBytes);
    // The second in progress (its part counted apart below), on the GPS scale.
    const std::int64_t gps = model.timeCodeUnixMs(false) / 1000 - kGpsEpochUnix + model.leapSeconds();
    f.i32(6, gps % kSecondsPerWeek);
    f.i32(10, model.utc().millisecond * 10); // ten-thousandths of the second
    f.u16(14, kReceiverNumber << 4 | 0x3);
    f.i32(16, std::int64_t{model.leapSeconds()} << 26);
    std::vector<SimSatellite> tracked;
    for (const SimSatellite& s : model.satellites())
        if (s.tracked && tracked.size() < 4)
            tracked.push_back(s);
    for (int i = 0; i < static_cast<int>(tracked.size()); ++i) {
        const SimSatellite& s = tracked[i];
        f.u8(20 + i, s.prn);
        f.u8(24 + i, 1);
        // Slant delays grow as the satellite sinks; in sixteenths of a metre.
        const double slant = 1.0 / std::max(0.1, std::sin(s.elevation * 3.14159265358979 / 180.0));
        f.u16(28 + 2 * i, static_cast<int>(Rounded(2.4 * slant * 16)));
        f.u16(36 + 2 * i, static_cast<int>(Rounded(3.1 * slant * 16)));
        f.u8(44 + i, (s.prn * 7 + 20) & 0xFF);
    }
    f.u16(48, static_cast<int>(gps / kSecondsPerWeek));
    f.i32(50, Rounded(model.timeInterval() * 1e9));
    f.i32(56, Rounded(model.frequencyError() * 65536000000.0));
    f.u8(61, model.lockState() == LockState::Unlocked ? 0x10 : 0x00); // TCXO flagged when unlocked
    f.i32(66, Rounded((model.efcVolts() + 5.0) * 6553.5));
    return f.finished();
}

QByteArray ProteusDialect::statusFrame(const ReceiverModel& model) {
    FrameWriter f(kStatusFrameBytes);
    const bool unlocked = model.lockState() == LockState::Unlocked;
    f.u8(0, unlocked ? 0x00 : 0x08);
    f.u8(1, kStatusPoll);
    f.u8(14, unlocked ? 0 : 5); // no fix, or time transfer
    f.i32(16, Rounded(model.latitude() * 8388608.0));
    f.i32(20, Rounded(model.longitude() * 8388608.0));
    f.i32(24, Rounded(model.height() * 16.0));
    f.i32(32, 0);
    f.u16(36, 0);
    const int enu[6] = {3, -2, 5, 0, 1, 0};
    for (int i = 0; i < 6; ++i)
        f.i32(44 + 4 * i, enu[i]);
    const int accuracy[3] = {12, 8, 15};
    const int dop[4] = {21, 18, 9, 15};
    for (int i = 0; i < 3; ++i)
        f.u16(68 + 2 * i, accuracy[i]);
    for (int i = 0; i < 4; ++i)
        f.u16(74 + 2 * i, dop[i]);
    const std::vector<SimSatellite> used = Channels(model);
    for (int c = 0; c < static_cast<int>(used.size()); ++c) {
        const SimSatellite& s = used[c];
        f.u8(82 + 2 * c, (s.prn & 0x7F) | (s.tracked ? 0x80 : 0x00));
        f.u8(83 + 2 * c, static_cast<int>(Rounded(s.cn)));
        f.u8(106 + 2 * c, s.elevation);
        f.u16(130 + 2 * c, s.azimuth);
    }
    return f.finished();
}

} // namespace sim
