#include "simulator/ReceiverModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCyclePeriod = 240.0; // seconds: locked, then holdover, then unlocked
constexpr double kCycleHoldoverStart = 150.0;
constexpr double kCycleUnlockedStart = 200.0;
constexpr int kSatellites = 32;
constexpr int kChannels = 12;
constexpr double kElevationMask = 5.0;

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A repeatable pseudo-random number in [-1, 1] for a seed and a whole step.
double HashUnit(std::uint64_t seed, std::int64_t step) {
    const std::uint64_t h = Mix(Mix(seed) ^ static_cast<std::uint64_t>(step));
    return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

// Noise that wanders smoothly: one random value per unit of x, blended in between.
double SmoothNoise(std::uint64_t seed, double x) {
    const double whole = std::floor(x);
    const double f = x - whole;
    const double blend = f * f * (3.0 - 2.0 * f);
    const auto step = static_cast<std::int64_t>(whole);
    return HashUnit(seed, step) * (1.0 - blend) + HashUnit(seed, step + 1) * blend;
}

// The days since 1970-01-01 as a civil date.
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

UtcFields SplitUnixMilliseconds(std::int64_t ms) {
    UtcFields f;
    std::int64_t days = ms / 86400000;
    std::int64_t rest = ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    CivilFromDays(days, f.year, f.month, f.day);
    f.hour = static_cast<int>(rest / 3600000);
    f.minute = static_cast<int>(rest / 60000 % 60);
    f.second = static_cast<int>(rest / 1000 % 60);
    f.millisecond = static_cast<int>(rest % 1000);
    static constexpr int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    f.dayOfYear = kDaysBefore[f.month - 1] + f.day + (f.month > 2 && IsLeapYear(f.year) ? 1 : 0);
    return f;
}

ReceiverModel::ReceiverModel() : m_now(Clock::now()), m_stateSince(m_now) {}

void ReceiverModel::setNow(Clock::time_point now) {
    m_now = now;
}

void ReceiverModel::setLockState(LockState state) {
    m_cycle = false;
    if (state != m_state)
        m_stateSince = m_now;
    m_state = state;
}

double ReceiverModel::unixSeconds() const {
    return std::chrono::duration<double>(m_now.time_since_epoch()).count();
}

LockState ReceiverModel::lockState() const {
    if (!m_cycle)
        return m_state;
    const double phase = std::fmod(unixSeconds(), kCyclePeriod);
    if (phase < kCycleHoldoverStart)
        return LockState::Locked;
    return phase < kCycleUnlockedStart ? LockState::Holdover : LockState::Unlocked;
}

double ReceiverModel::stateStartSeconds() const {
    if (!m_cycle)
        return std::chrono::duration<double>(m_stateSince.time_since_epoch()).count();
    const double t = unixSeconds();
    const double cycleStart = t - std::fmod(t, kCyclePeriod);
    switch (lockState()) {
    case LockState::Locked:
        return cycleStart;
    case LockState::Holdover:
        return cycleStart + kCycleHoldoverStart;
    case LockState::Unlocked:
        return cycleStart + kCycleUnlockedStart;
    }
    return cycleStart;
}

double ReceiverModel::secondsInState() const {
    return std::max(0.0, unixSeconds() - stateStartSeconds());
}

namespace {
// The control voltage a disciplined oscillator settles at, moving with temperature and age.
double DisciplinedEfc(double t) {
    return 2.5 + 0.015 * std::sin(2.0 * kPi * t / 5400.0) + 0.002 * SmoothNoise(11, t / 30.0) +
           0.0003 * HashUnit(12, static_cast<std::int64_t>(t));
}
} // namespace

double ReceiverModel::efcVolts() const {
    switch (lockState()) {
    case LockState::Locked:
        return DisciplinedEfc(unixSeconds());
    case LockState::Holdover:
        // Holdover keeps the last disciplined value, aging slowly away from it.
        return DisciplinedEfc(stateStartSeconds()) + 1e-6 * secondsInState();
    case LockState::Unlocked:
        return 2.5;
    }
    return 2.5;
}

double ReceiverModel::efcPercent() const {
    return (efcVolts() - 2.5) / 2.5 * 100.0;
}

double ReceiverModel::timeInterval() const {
    const double t = unixSeconds();
    const double jitter = 1e-9 * HashUnit(21, static_cast<std::int64_t>(t));
    switch (lockState()) {
    case LockState::Locked:
        return 3e-9 * SmoothNoise(22, t / 20.0) + jitter;
    case LockState::Holdover:
        return std::min(5e-6, 2e-10 * secondsInState()) + jitter;
    case LockState::Unlocked:
        return 2e-7 * SmoothNoise(23, t / 60.0) + jitter;
    }
    return jitter;
}

double ReceiverModel::temperature() const {
    const double t = unixSeconds();
    return 38.0 + 2.0 * std::sin(2.0 * kPi * t / 1800.0) + 0.05 * HashUnit(31, static_cast<std::int64_t>(t));
}

double ReceiverModel::frequencyError() const {
    const double t = unixSeconds();
    const double scale = lockState() == LockState::Locked ? 2e-12 : 5e-11;
    return scale * SmoothNoise(41, t / 15.0);
}

double ReceiverModel::predictedUncertainty() const {
    const double base = 4.6e-6 + 2e-7 * SmoothNoise(51, unixSeconds() / 600.0);
    return lockState() == LockState::Locked ? base : base + 1e-9 * secondsInState();
}

double ReceiverModel::supplyVolts() const {
    return 12.05 + 0.02 * HashUnit(61, static_cast<std::int64_t>(unixSeconds()));
}

double ReceiverModel::supplyAmps() const {
    return 0.31 + 0.01 * std::sin(2.0 * kPi * unixSeconds() / 1800.0);
}

long ReceiverModel::lifeHours() const {
    return 52000 + static_cast<long>((unixSeconds() - 1.6e9) / 3600.0);
}

std::vector<SimSatellite> ReceiverModel::satellites() const {
    // Each satellite crosses the sky on a pass of its own, repeating every half sidereal day of
    // sky time; the sky runs faster than real time so that movement shows within minutes.
    constexpr double kOrbit = 43082.0;
    constexpr double kVisibleShare = 0.4;
    const double skyTime = unixSeconds() * m_skySpeed;
    const double t = unixSeconds();
    const bool tracking = lockState() != LockState::Unlocked;
    std::vector<SimSatellite> sky;
    int channelsUsed = 0;
    for (int prn = 1; prn <= kSatellites; ++prn) {
        const double offset = (HashUnit(100 + prn, 0) + 1.0) / 2.0;
        const double maxElevation = 15.0 + 37.0 * (HashUnit(200 + prn, 0) + 1.0);
        const double startAzimuth = 180.0 * (HashUnit(300 + prn, 0) + 1.0);
        const double sweep = 120.0 * HashUnit(400 + prn, 0);
        double phase = std::fmod(skyTime / kOrbit + offset, 1.0);
        if (phase >= kVisibleShare)
            continue;
        const double u = phase / kVisibleShare;
        const double elevation = maxElevation * std::sin(kPi * u);
        SimSatellite sat;
        sat.prn = prn;
        sat.elevation = static_cast<int>(std::lround(elevation));
        if (sat.elevation < 1)
            continue;
        double azimuth = std::fmod(startAzimuth + sweep * (u - 0.5) + 360.0, 360.0);
        sat.azimuth = static_cast<int>(std::lround(azimuth)) % 360;
        if (tracking && elevation >= kElevationMask && channelsUsed < kChannels) {
            const double cn =
                32.0 + 18.0 * std::sin(elevation * kPi / 180.0) + 1.5 * SmoothNoise(500 + prn, t / 4.0);
            sat.cn = std::round(cn * 10.0) / 10.0;
            sat.tracked = true;
            ++channelsUsed;
        }
        sky.push_back(sat);
    }
    return sky;
}

UtcFields ReceiverModel::utc() const {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(m_now.time_since_epoch()).count();
    return SplitUnixMilliseconds(ms);
}

UtcFields ReceiverModel::gpsTime() const {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(m_now.time_since_epoch()).count();
    return SplitUnixMilliseconds(ms + leapSeconds() * 1000);
}

std::int64_t ReceiverModel::timeCodeUnixMs(bool comingSecond) const {
    std::int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(m_now.time_since_epoch()).count();
    if (comingSecond)
        ms = (ms / 1000 + 1) * 1000;
    return ms - std::int64_t{m_rolloverWeeks} * 7 * 86'400'000;
}

std::int64_t ReceiverModel::gpsSeconds() const {
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(m_now.time_since_epoch()).count();
    return s - kGpsEpochUnix + leapSeconds();
}

} // namespace sim
