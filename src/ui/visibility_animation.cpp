#include "ui/visibility_animation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "render/blit.h"

namespace vistrel {

namespace {

struct KindName {
    std::u16string_view name;
    AnimationKind kind;
};

constexpr KindName kKinds[] = {
    {u"scale", AnimationKind::Scale}, {u"pop", AnimationKind::Pop},
    {u"right", AnimationKind::Right}, {u"bottom", AnimationKind::Bottom},
    {u"left", AnimationKind::Left},   {u"top", AnimationKind::Top},
    {u"flip", AnimationKind::Flip},
};

void copy_into(RenderSurface& target, const Bitmap* source) {
    if (!source || source->size().empty()) {
        target.release();
        return;
    }
    target.resize(source->size());
    if (target.bitmap()) blit(target, {0, 0}, source->size(), *source, {0, 0}, CopyOp());
}

}  // namespace

VisibilityAnimation::VisibilityAnimation(AnimationKind kind)
    : m_kind(kind), m_op(std::make_unique<KeyedCopyOp>()) {
    m_speed = kind == AnimationKind::Pop || kind == AnimationKind::Flip ? 0.5 : 0.125;
}

std::unique_ptr<VisibilityAnimation> VisibilityAnimation::from_name(std::u16string_view name) {
    for (const KindName& k : kKinds)
        if (k.name == name) return std::make_unique<VisibilityAnimation>(k.kind);
    return nullptr;
}

void VisibilityAnimation::set_op(std::unique_ptr<PixelOp> op) {
    m_op = op ? std::move(op) : std::make_unique<KeyedCopyOp>();
}

std::unique_ptr<ScreenAnimation> VisibilityAnimation::clone() const {
    auto copy = std::make_unique<VisibilityAnimation>(m_kind);
    copy->m_op = m_op->clone();
    return copy;
}

void VisibilityAnimation::start(int direction, const Bitmap& picture, const Bitmap* second) {
    m_direction = direction > 0 ? 1 : direction < 0 ? -1 : 0;
    m_progress = m_direction > 0 ? 0.0 : 1.0;
    copy_into(m_image, &picture);
    copy_into(m_second, second);
    if (!m_image.bitmap()) stop();
}

void VisibilityAnimation::stop() {
    m_direction = 0;
    m_image.release();
    m_second.release();
}

void VisibilityAnimation::animate(double seconds) {
    if (m_direction == 0) return;
    m_progress += m_direction * m_speed * seconds * 5;
    if (m_direction > 0 && m_progress >= 1) {
        m_progress = 1;
        stop();
    } else if (m_direction < 0 && m_progress <= 0) {
        m_progress = 0;
        stop();
    }
}

double VisibilityAnimation::pop_factor(double p) {
    p = std::clamp(p, 0.0, 1.0);
    // A swing that settles: the remaining distance (1 - p)^2 turned by a cosine, so the
    // image grows past its size once and comes back.
    const double rest = (1 - p) * (1 - p);
    return 1 - rest * std::cos(2.5 * std::numbers::pi * p);
}

void VisibilityAnimation::draw_scaled(Surface& surface, const RenderSurface& image, Point origin,
                                      double fx, double fy) const {
    const Size full = image.size();
    const int w = static_cast<int>(full.w * fx);
    const int h = static_cast<int>(full.h * fy);
    if (w < 1 || h < 1) return;
    const Point at{origin.x + (full.w - w) / 2, origin.y + (full.h - h) / 2};
    if (w == full.w && h == full.h)
        image.draw_to(surface, at, *m_op);
    else
        image.draw_scaled_to(surface, at, {w, h}, *m_op);
}

void VisibilityAnimation::draw(Surface& surface, Point origin) {
    if (!m_image.bitmap()) return;
    const double p = std::clamp(m_progress, 0.0, 1.0);
    const Size size = m_image.size();
    switch (m_kind) {
        case AnimationKind::Scale:
            draw_scaled(surface, m_image, origin, p * p, p * p);
            break;
        case AnimationKind::Pop: {
            const double f = pop_factor(p);
            draw_scaled(surface, m_image, origin, f, f);
            break;
        }
        case AnimationKind::Right:
        case AnimationKind::Bottom:
        case AnimationKind::Left:
        case AnimationKind::Top: {
            const bool horizontal = m_kind == AnimationKind::Right || m_kind == AnimationKind::Left;
            const int length = horizontal ? size.w : size.h;
            int shift = static_cast<int>((1 - p) * length);
            if (m_kind == AnimationKind::Left || m_kind == AnimationKind::Top) shift = -shift;
            const int other = shift > 0 ? shift - length : shift + length;
            const Point at =
                horizontal ? Point{origin.x + shift, origin.y} : Point{origin.x, origin.y + shift};
            const Point second_at =
                horizontal ? Point{origin.x + other, origin.y} : Point{origin.x, origin.y + other};
            if (m_second.bitmap() && shift != 0) m_second.draw_to(surface, second_at, *m_op);
            m_image.draw_to(surface, at, *m_op);
            break;
        }
        case AnimationKind::Flip: {
            // The picture turns about its vertical centre line: its width follows the
            // cosine of the angle. With a second picture, that one turns away first.
            const double angle = (1 - p) * std::numbers::pi / (m_second.bitmap() ? 1 : 2);
            const double c = std::cos(angle);
            if (c >= 0)
                draw_scaled(surface, m_image, origin, c, 1);
            else
                draw_scaled(surface, m_second, origin, -c, 1);
            break;
        }
    }
}

}  // namespace vistrel
