#pragma once
// One satellite of the satellite table: 12 bytes, the same bytes in memory and in the track file.
#include <QPoint>
#include <array>
#include <cstdint>

#pragma pack(push, 1)
struct CSatInfo {
    std::uint8_t m_byPrnLow = 0;    // satellite number, low 8 bits
    std::uint8_t m_byElevation = 0; // whole degrees
    std::uint16_t m_wAzimuth = 0;   // whole degrees 0-359 (little-endian on disk)
    std::uint8_t m_bySnrWhole = 0;  // signal level, whole units; 0 when not tracked
    std::uint8_t m_bySatCount = 0;  // satellite count of the answer (set when written to the track file)
    std::uint8_t m_bySnrTenths = 0; // signal level, tenths
    std::uint8_t m_byPrnHigh = 0;   // satellite number, high 8 bits
    std::uint32_t m_dwTime = 0; // seconds since 1970 UTC, low 32 bits (set when written to the track file)

    bool InUse() const { return m_byPrnLow != 0 || m_byPrnHigh != 0; }
    int SatelliteNumber() const { return m_byPrnHigh * 256 + m_byPrnLow; }
    double SignalLevel() const { return m_bySnrWhole + m_bySnrTenths / 10.0; }
    void Empty() { *this = CSatInfo{}; }
    // Logical position on the sky map: the horizon is the circle of radius 1000 round the zenith,
    // north up (+y), east right (+x); each coordinate truncated toward zero.
    QPoint ToPoint() const;
    // The satellite number when the record lies within 2 degrees of the direction (the azimuth
    // difference does not wrap at 360); 0 otherwise and for a record not in use.
    std::uint16_t HitTest(double elevation, double azimuth) const;
};
#pragma pack(pop)

constexpr int kSatelliteSlots = 24;
constexpr int kSatRecordBytes = 12;

static_assert(sizeof(CSatInfo) == kSatRecordBytes, "a satellite record is 12 bytes on disk");

// The record's 12 bytes as stored in the track file, multi-byte fields little-endian whatever the
// machine's byte order.
using SatRecordBytes = std::array<std::uint8_t, kSatRecordBytes>;
SatRecordBytes SerialiseSatInfo(const CSatInfo& sat);
CSatInfo DeserialiseSatInfo(const SatRecordBytes& bytes);
