#include "receiver/SatInfo.h"

#include "displays/MapGeometry.h"

#include <cmath>

SatRecordBytes SerialiseSatInfo(const CSatInfo& sat) {
    return {sat.m_byPrnLow,
            sat.m_byElevation,
            static_cast<std::uint8_t>(sat.m_wAzimuth & 0xFF),
            static_cast<std::uint8_t>(sat.m_wAzimuth >> 8),
            sat.m_bySnrWhole,
            sat.m_bySatCount,
            sat.m_bySnrTenths,
            sat.m_byPrnHigh,
            static_cast<std::uint8_t>(sat.m_dwTime & 0xFF),
            static_cast<std::uint8_t>((sat.m_dwTime >> 8) & 0xFF),
            static_cast<std::uint8_t>((sat.m_dwTime >> 16) & 0xFF),
            static_cast<std::uint8_t>(sat.m_dwTime >> 24)};
}

CSatInfo DeserialiseSatInfo(const SatRecordBytes& b) {
    CSatInfo sat;
    sat.m_byPrnLow = b[0];
    sat.m_byElevation = b[1];
    sat.m_wAzimuth = static_cast<std::uint16_t>(b[2] | (b[3] << 8));
    sat.m_bySnrWhole = b[4];
    sat.m_bySatCount = b[5];
    sat.m_bySnrTenths = b[6];
    sat.m_byPrnHigh = b[7];
    sat.m_dwTime = static_cast<std::uint32_t>(b[8]) | (static_cast<std::uint32_t>(b[9]) << 8) |
                   (static_cast<std::uint32_t>(b[10]) << 16) | (static_cast<std::uint32_t>(b[11]) << 24);
    return sat;
}

QPoint CSatInfo::ToPoint() const {
    return SkyPoint(m_byElevation, m_wAzimuth);
}

std::uint16_t CSatInfo::HitTest(double elevation, double azimuth) const {
    if (!InUse())
        return 0;
    if (std::fabs(azimuth - m_wAzimuth) <= 2 && std::fabs(elevation - m_byElevation) <= 2)
        return static_cast<std::uint16_t>(SatelliteNumber());
    return 0;
}
