#include "render/surface.h"

#include <algorithm>
#include <cstdint>

#include "render/blit.h"
#include "render/span_op.h"

namespace vistrel {
namespace {

int saturate(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

Surface::Surface(Bitmap* bitmap) : m_bitmap(bitmap) {
    if (bitmap) m_clip = {0, 0, bitmap->width(), bitmap->height()};
}

void Surface::set_clip(Point top_left, Point bottom_right) {
    if (!m_bitmap) return;
    const int left = std::max(0, top_left.x);
    const int top = std::max(0, top_left.y);
    const int right = std::min(m_bitmap->width(), bottom_right.x);
    const int bottom = std::min(m_bitmap->height(), bottom_right.y);
    if (right <= left || bottom <= top)
        m_clip = {left, top, left, top};
    else
        m_clip = {left, top, right, bottom};
}

void Surface::fill(Point position, Size size, Colour colour) {
    fill_pixel(position, size, to_pixel(colour));
}

void Surface::fill_pixel(Point position, Size size, Pixel value) {
    apply(position, size, FillSpan(value));
}

void Surface::apply(Point position, Size size, const SpanOp& span_op) {
    if (m_bitmap) apply_spans(*m_bitmap, position, size, m_clip, span_op);
}

ClipScope::ClipScope(Surface& surface, Point position, Size size)
    : m_surface(surface), m_saved(surface.m_clip) {
    ++m_surface.m_clip_depth;
    const Point end{saturate(int64_t(position.x) + size.w), saturate(int64_t(position.y) + size.h)};
    m_surface.set_clip({std::max(m_saved.left, position.x), std::max(m_saved.top, position.y)},
                       {std::min(m_saved.right, end.x), std::min(m_saved.bottom, end.y)});
}

ClipScope::~ClipScope() {
    m_surface.set_clip(m_saved.top_left(), m_saved.bottom_right());
    --m_surface.m_clip_depth;
}

}  // namespace vistrel
