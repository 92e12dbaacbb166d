#include "ui/pointer_tracker.h"

namespace vistrel {

namespace {

// Milliseconds from `earlier` to `later`, correct across the wrap of the tick count.
int64_t elapsed(uint32_t earlier, uint32_t later) {
    return static_cast<int32_t>(later - earlier);
}

}  // namespace

void PointerTracker::reset() {
    m_next = 0;
    m_count = 0;
}

void PointerTracker::add(uint32_t time_ms, Point position) {
    m_samples[m_next] = {time_ms, position};
    m_next = (m_next + 1) % kCapacity;
    if (m_count < kCapacity) ++m_count;
}

const PointerTracker::Sample& PointerTracker::from_newest(size_t i) const {
    return m_samples[(m_next + kCapacity - 1 - i) % kCapacity];
}

Point PointerTracker::last_position() const {
    return m_count ? from_newest(0).position : Point{};
}

Point PointerTracker::last_movement() const {
    if (m_count < 2) return {};
    const Point a = from_newest(1).position;
    const Point b = from_newest(0).position;
    return {b.x - a.x, b.y - a.y};
}

double PointerTracker::velocity_y(uint32_t now_ms) const {
    if (m_count < 2) return 0;
    const Sample& newest = from_newest(0);
    // The last sample may be the release itself at the same place: measure stillness from
    // the last sample that moved.
    size_t moved = 0;
    while (moved + 1 < m_count && from_newest(moved).position == from_newest(moved + 1).position)
        ++moved;
    if (elapsed(from_newest(moved).time, now_ms) > kStillMs) return 0;
    size_t n = 1;
    while (n < m_count && elapsed(from_newest(n).time, newest.time) <= kWindowMs)
        ++n;
    if (n < 2) return 0;
    // Least-squares slope of y over t, times relative to the newest sample.
    double st = 0, sy = 0, stt = 0, sty = 0;
    for (size_t i = 0; i < n; ++i) {
        const Sample& s = from_newest(i);
        const double t = -static_cast<double>(elapsed(s.time, newest.time));
        const double y = s.position.y;
        st += t;
        sy += y;
        stt += t * t;
        sty += t * y;
    }
    const double denominator = n * stt - st * st;
    if (denominator <= 1e-9) return 0;
    return (n * sty - st * sy) / denominator * 1000.0;
}

}  // namespace vistrel
