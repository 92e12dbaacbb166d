#include "ui/progress.h"

#include <cmath>
#include <limits>

namespace vistrel {

void ProgressBar::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_line = find_child(u"#line");
    if (m_line) m_line->set_observer(nullptr);
}

void ProgressBar::set_fraction(double fraction) {
    if (!std::isfinite(fraction)) fraction = 0;
    if (fraction == m_fraction) return;
    m_fraction = fraction;
    invalidate_layout();
}

void ProgressBar::layout_x() {
    Element::layout_x();
    place_line(Axis::X);
}

void ProgressBar::layout_y() {
    Element::layout_y();
    place_line(Axis::Y);
}

void ProgressBar::place_line(Axis axis) {
    if (!m_line) return;
    const AnchorMode mode = m_line->anchor(axis);
    const int bmin = along(m_line->border_min(), axis);
    const int bmax = along(m_line->border_max(), axis);
    const int length = length_on(axis);
    const int outer = anchor_outer_length(mode, 0, bmin, bmax);
    const double wanted = std::trunc((length - outer) * m_fraction);
    constexpr double kLimit = std::numeric_limits<int>::max() / 2;
    const int line = wanted <= 0 ? 0 : static_cast<int>(std::min(wanted, kLimit));
    const int size = anchor_size(mode, line, length, bmin, bmax);
    const int offset = anchor_offset(mode, size, length, bmin, bmax);
    m_line->set_extent(axis, position_on(axis) + offset, size);
}

}  // namespace vistrel
