#include "ui/table.h"

#include <algorithm>
#include <cstdint>

namespace vistrel {

namespace {

// floor(a * b / c) for c > 0 without overflow.
int64_t scaled(int64_t a, int64_t b, int64_t c) {
    const int64_t n = a * b;
    return n >= 0 ? n / c : -((-n + c - 1) / c);
}

}  // namespace

void TableElement::measure_x(Extent& extent) {
    if (m_axis == Axis::X)
        measure_along(extent);
    else
        measure_axis(Axis::X, extent);
}

void TableElement::measure_y(Extent& extent) {
    if (m_axis == Axis::Y)
        measure_along(extent);
    else
        measure_axis(Axis::Y, extent);
}

void TableElement::layout_x() {
    if (m_axis == Axis::X)
        place_along();
    else
        place_children(Axis::X);
}

void TableElement::layout_y() {
    if (m_axis == Axis::Y)
        place_along();
    else
        place_children(Axis::Y);
}

void TableElement::measure_along(Extent& extent) {
    extent.preferred = std::max(extent.preferred, along(design_size(), m_axis));
    int64_t sum = 0;
    int64_t flex = 0;
    for (const auto& child : children()) {
        if (!child->visible()) continue;
        const Extent c = child->extent(m_axis);
        sum += outer_length(*child, m_axis, c.preferred);
        flex += c.preferred - c.minimum;
    }
    const auto clamp = [](int64_t v) {
        // Far beyond any screen, and far from overflowing when borders are added.
        constexpr int64_t kLimit = int64_t(1) << 24;
        return static_cast<int>(std::clamp<int64_t>(v, -kLimit, kLimit));
    };
    extent.preferred = std::max(extent.preferred, clamp(sum));
    extent.minimum = std::max(extent.minimum, clamp(sum - flex));
}

std::vector<int> TableElement::share(const std::vector<Extent>& extents,
                                     const std::vector<int>& ratios, int available) {
    const size_t count = extents.size();
    std::vector<int> lengths(count, 0);
    int64_t sp = 0;
    int64_t sm = 0;
    for (const Extent& e : extents) {
        sp += e.preferred;
        sm += e.minimum;
    }
    if (available <= 0) return lengths;
    if (sm < available) {
        for (size_t i = 0; i < count; ++i)
            lengths[i] = extents[i].minimum;
        // Rounds: the children still below their preferred length share the extra evenly;
        // what a child cannot take goes round again.
        int64_t extra = std::min<int64_t>(sp, available) - sm;
        while (extra > 0) {
            std::vector<size_t> sharers;
            for (size_t i = 0; i < count; ++i)
                if (lengths[i] < extents[i].preferred) sharers.push_back(i);
            if (sharers.empty()) break;
            const int64_t m = static_cast<int64_t>(sharers.size());
            int64_t collected = 0;
            for (int64_t k = 1; k <= m; ++k) {
                const size_t i = sharers[static_cast<size_t>(k - 1)];
                const int64_t part = scaled(k, extra, m) - scaled(k - 1, extra, m);
                const int64_t room = int64_t(extents[i].preferred) - lengths[i];
                if (part > room) {
                    lengths[i] = extents[i].preferred;
                    collected += part - room;
                } else {
                    lengths[i] += static_cast<int>(part);
                }
            }
            extra = collected;
        }
        // The spare length goes to the children with a ratio.
        const int64_t spare = sp < available ? available - sp : 0;
        int64_t total_ratio = 0;
        for (size_t i = 0; i < count; ++i)
            if (ratios[i] > 0) total_ratio += ratios[i];
        if (spare > 0 && total_ratio > 0) {
            int64_t w = 0;
            for (size_t i = 0; i < count; ++i) {
                if (ratios[i] <= 0) continue;
                lengths[i] += static_cast<int>(scaled(spare, w + ratios[i], total_ratio) -
                                               scaled(spare, w, total_ratio));
                w += ratios[i];
            }
        }
        return lengths;
    }
    // Not even the minimums fit: share in proportion to them.
    int64_t c = 0;
    for (size_t i = 0; i < count; ++i) {
        const int64_t m = std::max(extents[i].minimum, 0);
        lengths[i] = static_cast<int>(scaled(available, c + m, sm) - scaled(available, c, sm));
        c += m;
    }
    return lengths;
}

void TableElement::place_along() {
    std::vector<Element*> shown;
    std::vector<Extent> extents;
    std::vector<int> ratios;
    std::vector<int> borders;
    int64_t available = length_on(m_axis);
    for (const auto& child : children()) {
        if (!child->visible()) continue;
        shown.push_back(child.get());
        Extent e = child->extent(m_axis);
        e.minimum = std::max(e.minimum, 0);
        e.preferred = std::max(e.preferred, 0);
        extents.push_back(e);
        ratios.push_back(child->table_ratio());
        borders.push_back(child->border_total(m_axis));
        available -= borders.back();
    }
    const int start = position_on(m_axis);
    if (available <= 0) {
        for (Element* child : shown)
            child->set_extent(m_axis, start, 0);
        return;
    }
    const std::vector<int> lengths =
        share(extents, ratios, static_cast<int>(std::min<int64_t>(available, INT32_MAX)));
    int slot_start = start;
    for (size_t i = 0; i < shown.size(); ++i) {
        const int slot = lengths[i] + borders[i];
        place_in(*shown[i], m_axis, slot_start, slot, lengths[i]);
        slot_start += slot;
    }
}

}  // namespace vistrel
