#pragma once
// The time the window system runs on: the system's tick count, or a simulated clock that
// only moves when told to, so that a scripted session gives the same frames on any machine.

#include <atomic>
#include <cstdint>

namespace vistrel {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds; wraps like a 32-bit tick count.
    virtual uint32_t now() const = 0;
    // Lets `milliseconds` pass.
    virtual void sleep(uint32_t milliseconds) = 0;
    // True when time passes only through sleep and advance.
    virtual bool simulated() const = 0;
};

class SystemClock final : public Clock {
public:
    uint32_t now() const override;
    void sleep(uint32_t milliseconds) override;
    bool simulated() const override { return false; }
};

class SimulatedClock final : public Clock {
public:
    explicit SimulatedClock(uint32_t start = 0) : m_now(start) {}
    uint32_t now() const override { return m_now.load(); }
    void sleep(uint32_t milliseconds) override { advance(milliseconds); }
    bool simulated() const override { return true; }
    void advance(uint32_t milliseconds) { m_now.fetch_add(milliseconds); }

private:
    std::atomic<uint32_t> m_now;
};

}  // namespace vistrel
