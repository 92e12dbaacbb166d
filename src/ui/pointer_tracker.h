#pragma once
// Follows the pointer while it is down: its last movement, and its speed over the last
// moments before a release. The speed is a least-squares fit over the samples of a short
// window, so one jittery sample does not turn a flick into a crawl (or the reverse), and a
// pointer held still before the release gives no speed at all.

#include <array>
#include <cstddef>
#include <cstdint>

#include "render/geometry.h"

namespace vistrel {

class PointerTracker {
public:
    // Samples older than this before the newest one take no part in the speed.
    static constexpr int kWindowMs = 100;
    // A release this long after the last movement means the pointer was held still.
    static constexpr int kStillMs = 80;

    void reset();
    void add(uint32_t time_ms, Point position);
    bool empty() const { return m_count == 0; }
    Point last_position() const;
    // The movement between the last two samples.
    Point last_movement() const;
    // Vertical speed in pixels per second at `now_ms` (positive downward).
    double velocity_y(uint32_t now_ms) const;

private:
    struct Sample {
        uint32_t time = 0;
        Point position;
    };
    static constexpr size_t kCapacity = 16;
    const Sample& from_newest(size_t i) const;

    std::array<Sample, kCapacity> m_samples{};
    size_t m_next = 0;
    size_t m_count = 0;
};

}  // namespace vistrel
