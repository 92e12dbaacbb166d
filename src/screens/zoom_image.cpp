#include "screens/zoom_image.h"

#include <algorithm>
#include <cmath>

#include "render/blit.h"
#include "screens/tile_renderer.h"
#include "skin/element_registry.h"
#include "skin/text_draw.h"
#include "ui/container.h"

namespace vistrel {

namespace {

constexpr double kTapDistance = 8;       // a press that moves less is a tap
constexpr double kSpringRate = 12;       // overscroll decays by e^(-rate t)
constexpr uint32_t kVelocityWindow = 100;  // milliseconds of samples for the fling
constexpr double kEpsilon = 1e-6;

Colour inverted(Colour c) {
    return {static_cast<uint8_t>(255 - c.red), static_cast<uint8_t>(255 - c.green),
            static_cast<uint8_t>(255 - c.blue), 255};
}

int ceil_shift(int value, int shift) {
    if (shift <= 0) return value;
    return static_cast<int>((int64_t(value) + (int64_t(1) << shift) - 1) >> shift);
}

}  // namespace

ZoomImage::ZoomImage(Element* parent) : Element(parent) {
    if (root()) root()->add_interactive(this);
}

ZoomImage::~ZoomImage() {
    if (root()) root()->remove_interactive(this);
}

void ZoomImage::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_empty_color = properties.get_color(node, u"empty_color", Colour{0, 0, 0, 255});
    m_empty_text = properties.text_for(properties.get_string(node, u"empty_text"));
    m_font = properties.get_font(node, u"empty_font");
    const int speed = properties.get_integer(node, u"zoom_speed", 4);
    m_zoom_speed = std::clamp(speed, 1, 100);
    prepare_surfaces();
}

void ZoomImage::prepare_surfaces() {
    m_empty.resize(m_tile);
    m_empty.fill({0, 0}, m_tile, m_empty_color);
    if (!m_font || m_empty_text.empty()) return;
    Rect rect{0, 0, m_tile.w, m_tile.h};
    draw_text(m_empty, *m_font, m_empty_text, rect, kTextCenter | kTextVCenter | kTextSingleLine,
              inverted(m_empty_color));
}

// --- The grid ---

void ZoomImage::set_up(Size tile, Size picture, int levels, bool turned) {
    const bool new_tile = !(tile == m_tile);
    m_tile = {std::max(1, tile.w), std::max(1, tile.h)};
    m_picture = picture;
    m_turned = turned;
    m_columns = picture.w > 0 ? (picture.w + m_tile.w - 1) / m_tile.w : 0;
    m_rows = picture.h > 0 ? (picture.h + m_tile.h - 1) / m_tile.h : 0;
    if (m_columns == 0 || m_rows == 0) m_columns = m_rows = 0;
    int level = 0;
    while ((1 << level) < std::max(m_columns, m_rows) && level < 24) ++level;
    m_max_level = std::min(level, std::max(0, levels));
    release_tiles();
    if (new_tile) prepare_surfaces();
    stop_motion();
    m_zoom = m_target_zoom = fit_zoom();
    m_fitted_size = size();
    m_was_fitted = true;
    m_whole_level = static_cast<int>(std::floor(m_zoom));
    m_center[0] = laid_out(0) / 2;
    m_center[1] = laid_out(1) / 2;
    m_shift = {};
    mark_dirty();
}

void ZoomImage::clear() {
    set_up(m_tile, {}, 0, false);
}

int ZoomImage::fit_level() const {
    for (int n = m_max_level; n >= 0; --n)
        if (int64_t(width()) >= int64_t(m_tile.w) << n && int64_t(height()) >= int64_t(m_tile.h) << n)
            return n;
    return 0;
}

double ZoomImage::fit_zoom() const {
    if (!has_picture()) return 0;
    const double w = laid_out(0), h = laid_out(1);
    if (width() < 1 || height() < 1 || w < 1 || h < 1) return fit_level();
    const double ratio = std::min(width() / w, height() / h);
    // Below level 0 the smallest level is drawn reduced, so that every picture fits.
    const double zoom = m_max_level + std::log2(ratio);
    return std::clamp(zoom, double(kMinZoom), double(m_max_level));
}

double ZoomImage::laid_out(int axis) const {
    const bool width_axis = (axis == 0) != m_turned;
    return width_axis ? m_picture.w : m_picture.h;
}

Size ZoomImage::level_size(int level) const {
    const int shift = m_max_level - level;
    return {ceil_shift(m_picture.w, shift), ceil_shift(m_picture.h, shift)};
}

int ZoomImage::level_in_use() const {
    // The nearest whole level: its tiles are drawn at 0.71 to 1.41 times their size, never
    // enlarged twofold (which looks blocky at the fit zoom of a large picture).
    return std::clamp(static_cast<int>(std::floor(m_zoom + 0.5 + kEpsilon)), 0, m_max_level);
}

double ZoomImage::scale() const {
    return std::exp2(m_zoom - m_max_level);
}

// --- Zoom and position ---

void ZoomImage::set_zoom(double zoom) {
    if (!(zoom >= fit_zoom() - kEpsilon && zoom <= m_max_level + kEpsilon)) zoom = fit_zoom();
    m_zoom = m_target_zoom = zoom;
    m_anchored = false;
    clamp_center();
    mark_dirty();
}

void ZoomImage::zoom_to(double target, Point anchor) {
    target = std::clamp(target, fit_zoom(), double(m_max_level));
    m_target_zoom = target;
    const double s = scale();
    m_anchor_screen = {anchor.x - (x() + m_shift.x + width() / 2),
                       anchor.y - (y() + m_shift.y + height() / 2)};
    m_anchor_picture[0] = m_center[0] + m_anchor_screen.x / s;
    m_anchor_picture[1] = m_center[1] + m_anchor_screen.y / s;
    m_anchored = true;
    mark_dirty();
}

void ZoomImage::set_center(double x, double y) {
    m_center[0] = x;
    m_center[1] = y;
    mark_dirty();
}

double ZoomImage::bound_low(int axis) const {
    const double s = scale();
    const double extent = axis == 0 ? width() : height();
    const double size = laid_out(axis);
    if (size * s <= extent) return size / 2;
    return extent / (2 * s);
}

double ZoomImage::bound_high(int axis) const {
    const double s = scale();
    const double extent = axis == 0 ? width() : height();
    const double size = laid_out(axis);
    if (size * s <= extent) return size / 2;
    return size - extent / (2 * s);
}

void ZoomImage::clamp_center() {
    for (int a = 0; a < 2; ++a) m_center[a] = std::clamp(m_center[a], bound_low(a), bound_high(a));
}

double ZoomImage::overscroll(int axis) const {
    const double c = m_center[axis];
    return (c - std::clamp(c, bound_low(axis), bound_high(axis))) * scale();
}

void ZoomImage::set_overscroll(int axis, double pixels) {
    const double s = scale();
    if (pixels > 0)
        m_center[axis] = bound_high(axis) + pixels / s;
    else if (pixels < 0)
        m_center[axis] = bound_low(axis) + pixels / s;
    else
        m_center[axis] = std::clamp(m_center[axis], bound_low(axis), bound_high(axis));
    mark_dirty();
}

void ZoomImage::set_shift(Point shift) {
    if (shift == m_shift) return;
    m_shift = shift;
    mark_dirty();
}

bool ZoomImage::moving() const {
    if (std::abs(m_zoom - m_target_zoom) > kEpsilon || m_scrolling) return true;
    if (m_down) return false;
    return m_speed > 0 || std::abs(overscroll(0)) > 0.5 || std::abs(overscroll(1)) > 0.5;
}

void ZoomImage::set_scrolling(bool scrolling) {
    if (m_scrolling == scrolling) return;
    m_scrolling = scrolling;
    mark_dirty();
}

void ZoomImage::stop_motion() {
    m_speed = 0;
    m_target_zoom = m_zoom;
    m_anchored = false;
    m_scrolling = false;
}

double ZoomImage::picture_left(Point origin) const {
    return origin.x + width() / 2.0 - m_center[0] * scale();
}

double ZoomImage::picture_top(Point origin) const {
    return origin.y + height() / 2.0 - m_center[1] * scale();
}

Rect ZoomImage::picture_rect() const {
    if (!has_picture()) return {};
    const Point origin{x() + m_shift.x, y() + m_shift.y};
    const int level = level_in_use();
    const double f = std::exp2(m_zoom - level);
    const Size size = level_size(level);
    const double w = (m_turned ? size.h : size.w) * f;
    const double h = (m_turned ? size.w : size.h) * f;
    const double left = picture_left(origin), top = picture_top(origin);
    return {int(std::floor(left)), int(std::floor(top)), int(std::floor(left + w)),
            int(std::floor(top + h))};
}

// --- Motion ---

void ZoomImage::animate(double seconds) {
    Element::animate(seconds);
    const bool was_moving = moving();
    if (std::abs(m_zoom - m_target_zoom) > kEpsilon) {
        const double levels = std::max(1.0, std::floor(std::abs(m_target_zoom - m_whole_level)));
        const double step = m_zoom_speed * levels * seconds;
        if (std::abs(m_target_zoom - m_zoom) <= step)
            m_zoom = m_target_zoom;
        else
            m_zoom += m_target_zoom > m_zoom ? step : -step;
        if (m_anchored) {
            const double s = scale();
            m_center[0] = m_anchor_picture[0] - m_anchor_screen.x / s;
            m_center[1] = m_anchor_picture[1] - m_anchor_screen.y / s;
        }
        if (std::abs(m_zoom - m_target_zoom) <= kEpsilon) {
            m_anchored = false;
            if (!m_down) clamp_center();
        }
        mark_dirty();
    }
    if (m_speed > 0) {
        if (!m_down) {
            const double s = scale();
            for (int a = 0; a < 2; ++a) {
                if (m_direction[a] == 0) continue;
                m_center[a] -= m_direction[a] * m_speed * seconds / s;
                if (m_center[a] < bound_low(a) || m_center[a] > bound_high(a)) m_direction[a] = 0;
            }
            if (m_direction[0] == 0 && m_direction[1] == 0) m_speed = 0;
        }
        const double friction = m_down ? 5 : 1;
        m_speed = std::max(0.0, m_speed - friction * (2 * m_speed + 9) * seconds);
        mark_dirty();
    }
    if (!m_down && !m_scrolling) {
        for (int a = 0; a < 2; ++a) {
            const double o = overscroll(a);
            if (o == 0) continue;
            const double next = o * std::exp(-kSpringRate * seconds);
            set_overscroll(a, std::abs(next) < 0.5 ? 0 : next);
        }
    }
    // Tiles are asked for again once the picture comes to rest.
    if (was_moving && !moving()) mark_dirty();
}

bool ZoomImage::hit_test(Point point) const {
    return m_active && Element::hit_test(point);
}

bool ZoomImage::on_pointer_button(const PointerEvent& event) {
    const Point point{event.x, event.y};
    if (event.pressed) {
        if (!m_active) return false;
        m_down = true;
        m_dragged = false;
        m_press = m_last = point;
        m_samples.clear();
        m_samples.push_back({point, event.time});
        if (m_listener) m_listener->on_press(*this);
        return true;
    }
    if (!m_down) return false;
    m_down = false;
    mark_dirty();
    if (event.cancelled) return true;
    if (!m_dragged) {
        if (m_listener) m_listener->on_tap(*this, point);
        return true;
    }
    if (m_listener && m_listener->on_release(*this)) return true;
    // Fling with the speed of the last moments of the drag.
    double v[2] = {0, 0};
    while (m_samples.size() > 1 && event.time - m_samples.front().time > kVelocityWindow)
        m_samples.pop_front();
    if (!m_samples.empty()) {
        const Sample& first = m_samples.front();
        const double dt = (event.time - first.time) / 1000.0;
        if (dt > 0) {
            v[0] = (point.x - first.position.x) / dt;
            v[1] = (point.y - first.position.y) / dt;
        }
    }
    for (int a = 0; a < 2; ++a) {
        // A picture moving right lowers the centre: drop what pushes past a touched edge.
        if (v[a] > 0 && m_center[a] <= bound_low(a) + kEpsilon) v[a] = 0;
        if (v[a] < 0 && m_center[a] >= bound_high(a) - kEpsilon) v[a] = 0;
    }
    const double speed = std::hypot(v[0], v[1]);
    if (speed > 0) {
        m_direction[0] = v[0] / speed;
        m_direction[1] = v[1] / speed;
        m_speed = std::min(speed, kMaxFlingSpeed);
    }
    return true;
}

void ZoomImage::on_pointer_move(const PointerEvent& event) {
    if (!m_down) return;
    const Point point{event.x, event.y};
    const double s = scale();
    m_center[0] -= (point.x - m_last.x) / s;
    m_center[1] -= (point.y - m_last.y) / s;
    m_last = point;
    if (std::hypot(point.x - m_press.x, point.y - m_press.y) >= kTapDistance) m_dragged = true;
    m_samples.push_back({point, event.time});
    while (m_samples.size() > 64) m_samples.pop_front();
    mark_dirty();
}

}  // namespace vistrel
