#pragma once
// Binary frames of the NavSymm Proteus receiver and what the program makes of them: the values
// of graph channels 0-2, the leap-second correction, the time code and the status page text.
//
// Two frames exist, told apart by their length: the 72-byte EFC frame and the 180-byte status
// frame. The 16-bit little-endian words from byte 4 to the end of a frame add up to 0 modulo
// 65536. 32-bit values are sent as two such words, the high word first.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

inline constexpr qsizetype kProteusEfcFrameBytes = 72;
inline constexpr qsizetype kProteusStatusFrameBytes = 180;
// The reader's buffer: a frame of this many bytes or more is an overrun.
inline constexpr qsizetype kProteusReadBuffer = 300;

// ---- reading a frame ----

enum class ProteusReadResult {
    Nothing, // no byte at the first read
    Frame,   // the bytes of one frame (of whatever length)
    Overrun, // the buffer filled up
};

struct ProteusRead {
    ProteusReadResult result = ProteusReadResult::Nothing;
    QByteArray bytes;
};

// Collects one frame: `read` returns what has arrived, at most `room` bytes, or nothing; `wait`
// waits a little for more (up to 20 ms). The frame ends at the first read after a wait that
// brings no byte. Each round adds at least one byte, so there are fewer than 300 rounds.
ProteusRead CollectProteusFrame(const std::function<QByteArray(qsizetype room)>& read,
                                const std::function<void()>& wait);

// ---- checking a frame ----

enum class ProteusFrameKind { Efc, Status, WrongLength, BadChecksum };

ProteusFrameKind CheckProteusFrame(QByteArrayView frame);

// The diagnostic line for a refused read; empty when there is nothing to report.
QString ProteusFailureText(ProteusReadResult read, ProteusFrameKind kind, qsizetype length);

// ---- the EFC frame ----

struct ProteusCorrectionEntry {
    std::uint8_t satellite = 0;
    std::uint8_t value = 0;  // kept in the line, never shown
    std::uint16_t tropo = 0; // 1/16
    std::uint16_t iono = 0;  // 1/16
    std::uint8_t iode = 0;
};

struct ProteusEfcFrame {
    std::uint32_t timeOfWeek = 0; // whole seconds
    std::uint32_t partOfSecond = 0;
    int receiverNumber = 0;        // 12 bits
    std::int32_t gpsUtcOffset = 0; // units of 2^-26 s
    std::array<ProteusCorrectionEntry, 4> corrections{};
    std::uint16_t week = 0;
    std::int32_t timeInterval = 0; // ns
    std::int32_t offset20MHz = 0;  // / 65,536,000,000 = fractional offset
    std::uint8_t health = 0;       // a set bit is a failed unit
    std::int32_t efc = 0;          // control-voltage count
};

// Reads the fields of a 72-byte frame; a shorter frame gives all fields 0.
ProteusEfcFrame DecodeProteusEfcFrame(QByteArrayView frame);

// Values kept from the latest good EFC frame for the status page; one set for the program's life.
struct ProteusEfcState {
    int receiverNumber = 0;
    std::uint32_t timeOfWeek = 0;
    std::uint32_t partOfSecond = 0;
    unsigned week = 0;
    double gpsUtcOffset = 0.0; // s
    std::int32_t timeInterval = 0;
    std::int32_t offset20MHz = 0;
    int efcShown = 0;
    std::uint8_t health = 0;
    std::array<QString, 4> satelliteLines;
    QString shownDateTime; // "dd/mm/yyyy hh:mm:ss" of the latest time code
};

// "%2d %3d %3d %7.4f %7.4f": satellite, value, IODE, tropospheric and ionospheric correction.
QString ProteusSatelliteLine(const ProteusCorrectionEntry& entry);

struct ProteusEfcAcceptance {
    bool accepted = false;
    double mean = 0.0; // of the four previous readings
    int roundedMean = 0;
};

// Judges reading V against the four previous readings (oldest first) and moves the history on.
// V is accepted when no previous reading is 0 and V lies within 5 of both the rounded mean and
// the value predicted from the history's differences.
ProteusEfcAcceptance AcceptProteusEfc(std::array<int, 4>& history, std::int32_t reading);

// Channel values 0 (EFC), 1 (time interval, s) and 2 (20 MHz offset), all empty when the reading
// was not accepted.
struct ProteusChannelValues {
    std::array<QString, 3> values;
};

// Keeps the frame's values in `state`, judges the EFC reading against `history` and gives the
// channel values.
ProteusChannelValues ApplyProteusEfcFrame(const ProteusEfcFrame& frame, ProteusEfcState& state,
                                          std::array<int, 4>& history);

// The leap correction the frame's GPS-UTC offset gives, rounded; `current` when the offset is not
// positive.
int ProteusLeapCorrection(std::int32_t gpsUtcOffset, int current);

// GPS seconds reduced by the leap correction, in unsigned 32-bit arithmetic.
std::uint32_t ProteusGpsSeconds(unsigned week, std::uint32_t timeOfWeek, int leapCorrection);

// "T1#H" followed by the seconds in decimal.
QString ProteusTimeCode(std::uint32_t gpsSeconds);

// ---- the status frame ----

struct ProteusChannel {
    std::uint8_t satellite = 0; // 0: channel unused
    bool tracking = false;
    std::uint8_t cn = 0;
    std::uint8_t elevation = 0;
    std::uint16_t azimuth = 0;
};

struct ProteusStatusFrame {
    bool ppsSynchronised = false;
    int fixMode = 0;                         // 0-15
    std::int32_t latitude = 0;               // 2^-23 degree
    std::int32_t longitude = 0;              // 2^-23 degree
    std::int32_t height = 0;                 // 1/16 m
    std::int32_t speed = 0;                  // m/s
    std::uint16_t heading = 0;               // 65535 = 359.99 degrees
    std::array<std::int32_t, 6> enu{};       // PE PN PU VE VN VU, 1/16
    std::array<std::uint16_t, 3> accuracy{}; // Pos Hor Vert
    std::array<std::uint16_t, 4> dop{};      // GDOP PDOP HDOP VDOP, x10
    std::array<ProteusChannel, 12> channels{};
};

// Reads the fields of a 180-byte frame; a shorter frame gives all fields 0.
ProteusStatusFrame DecodeProteusStatusFrame(QByteArrayView frame);

// The fix mode's name; empty for 7-15.
QString ProteusFixModeName(int fixMode);

// "___ NavSymm Proteus ___ %3d".
QString ProteusIdentity(int receiverNumber);

// "LAT      N%3d:%02d:%6.3f" (S for 0 and below), or LON with E/W.
QString ProteusLatitudeText(std::int32_t latitude);
QString ProteusLongitudeText(std::int32_t longitude);

// The status page, as the status step shows and parses it, from the frame and the values of the
// latest EFC frame.
QString ProteusStatusPage(const ProteusStatusFrame& frame, const ProteusEfcState& efc);
