#pragma once
// What a simulated receiver knows at a moment: its lock state, the oscillator's values, the sky
// and the time. Every value is a function of the moment (and of how long the current lock state
// has lasted), so answers move with the clock and two answers at the same moment agree.
#include <chrono>
#include <cstdint>
#include <vector>

namespace sim {

enum class LockState { Locked, Holdover, Unlocked };

inline constexpr std::int64_t kGpsEpochUnix = 315964800; // 1980-01-06 00:00:00 UTC

struct SimSatellite {
    int prn = 0;
    int elevation = 0; // whole degrees, 1 to 90
    int azimuth = 0;   // whole degrees, 0 to 359
    double cn = 0.0;   // carrier-to-noise, dB-Hz; 0 when not tracked
    bool tracked = false;
};

struct UtcFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    int dayOfYear = 0;
};

class ReceiverModel {
public:
    using Clock = std::chrono::system_clock;

    ReceiverModel();

    // The moment the next answers describe; the simulator sets it before each answer.
    void setNow(Clock::time_point now);
    Clock::time_point now() const { return m_now; }

    // The lock state, fixed, or cycling through locked, holdover and unlocked over a few minutes.
    void setLockState(LockState state);
    void setLockCycle(bool cycle) { m_cycle = cycle; }
    LockState lockState() const;
    // Seconds spent in the current lock state.
    double secondsInState() const;

    // How many times faster than real time the satellites cross the sky.
    void setSkySpeed(double factor) { m_skySpeed = factor; }

    double efcVolts() const;             // oscillator control voltage
    double efcPercent() const;           // the same as a share of the control range, -100 to 100
    double timeInterval() const;         // 1 PPS against GPS, seconds
    double temperature() const;          // oscillator temperature, degrees C
    double frequencyError() const;       // fractional frequency estimate
    double predictedUncertainty() const; // holdover time uncertainty predicted for a day, seconds
    double supplyVolts() const;
    double supplyAmps() const;
    long lifeHours() const; // hours of operation
    int leapSeconds() const { return 18; }

    // Antenna position: degrees north and east, metres above mean sea level.
    double latitude() const { return 47.376700; }
    double longitude() const { return 8.541000; }
    double height() const { return 408.50; }

    // Satellites above the horizon, in number order; tracked ones carry their signal level.
    std::vector<SimSatellite> satellites() const;

    UtcFields utc() const;
    UtcFields gpsTime() const; // UTC plus the leap seconds
    // Whole seconds since the GPS epoch (1980-01-06), on the GPS time scale.
    std::int64_t gpsSeconds() const;
    // Seconds since 1970 (UTC) as a floating-point number.
    double unixSeconds() const;

    // A receiver that counts the GPS week in ten bits: its time codes give dates this many weeks
    // back (0: none).
    void setRolloverWeeks(int weeks) { m_rolloverWeeks = weeks; }
    // The time a time code gives, in milliseconds since 1970 (UTC): this moment, or for a code
    // that names the second about to begin, the start of that second; moved back by the rollover.
    std::int64_t timeCodeUnixMs(bool comingSecond) const;

private:
    double stateStartSeconds() const;

    Clock::time_point m_now;
    Clock::time_point m_stateSince;
    LockState m_state = LockState::Locked;
    bool m_cycle = false;
    double m_skySpeed = 20.0;
    int m_rolloverWeeks = 0;
};

// Splits a moment into calendar fields (UTC, proleptic Gregorian).
UtcFields SplitUnixMilliseconds(std::int64_t ms);

} // namespace sim
