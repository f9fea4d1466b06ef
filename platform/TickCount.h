#pragma once
// The program's millisecond tick count: 32 bits, from a monotonic clock, wrapping after about
// 49.7 days. Due-tests subtract two counts as unsigned numbers, so they survive the wrap.
#include <cstdint>
#include <memory>

namespace platform {

class TickSource {
public:
    virtual ~TickSource() = default;
    virtual std::uint32_t ticks() const = 0;
};

// The monotonic clock of the machine.
class MonotonicTickSource : public TickSource {
public:
    std::uint32_t ticks() const override;
};

// A count that only moves when told to; tests install it.
class ManualTickSource : public TickSource {
public:
    explicit ManualTickSource(std::uint32_t start = 0) : m_now(start) {}
    std::uint32_t ticks() const override { return m_now; }
    void advance(std::uint32_t ms) { m_now += ms; }
    void set(std::uint32_t now) { m_now = now; }

private:
    std::uint32_t m_now;
};

// The tick count used everywhere in the program.
std::uint32_t GetTickCount();

// Replaces the source (nullptr restores the monotonic clock).
void SetTickSource(std::shared_ptr<TickSource> source);

} // namespace platform
