// The element's drawing: its children in skin order, its cached rendering and its
// visibility animation.

#include "ui/element.h"

#include "render/pixel_op.h"
#include "ui/container.h"
#include "ui/visibility_animation.h"

namespace vistrel {

void Element::animate(double seconds) {
    if (animation_running()) {
        m_animation->animate(seconds);
        mark_dirty();
        return;
    }
    for (size_t i = 0; i < m_children.size(); ++i)
        m_children[i]->animate(seconds);
}

void Element::draw(Surface& surface, Point origin) {
    for (size_t i = 0; i < m_children.size(); ++i) {
        Element& child = *m_children[i];
        child.draw_child(surface, {origin.x + child.m_x - m_x, origin.y + child.m_y - m_y});
    }
}

void Element::set_cache(bool on, int alpha) {
    m_cache = on;
    m_cache_op = on ? op_for_alpha(alpha) : nullptr;
    if (!on) m_cache_surface.release();
    mark_dirty();
}

void Element::set_visibility_animation(std::u16string_view name) {
    m_animation = VisibilityAnimation::from_name(name);
}

bool Element::animation_running() const {
    return m_animation && m_animation->running();
}

void Element::stop_animation() {
    if (!animation_running()) return;
    m_animation->stop();
    mark_dirty();
}

void Element::render_cache() {
    if (m_cache && !m_dirty && m_cache_surface.size() == size()) return;
    m_cache_surface.resize(size());
    if (!m_cache_surface.bitmap()) return;
    m_cache_surface.fill_pixel({0, 0}, size(), kColourKey);
    draw(m_cache_surface, {0, 0});
}

void Element::draw_child(Surface& surface, Point origin) {
    if (animation_running()) {
        m_animation->draw(surface, origin);
        return;
    }
    if (!m_visible) return;
    if (m_cache) {
        render_cache();
        if (m_cache_surface.bitmap()) m_cache_surface.draw_to(surface, origin, *m_cache_op);
    } else {
        draw(surface, origin);
    }
    m_dirty = false;
}

void Element::show_animated(bool show) {
    if (show == m_visible) return;
    if (show) set_visible(true);
    if (m_animation) {
        if (m_animation->running()) {
            m_animation->reverse();
        } else {
            if (Element* top = m_root ? static_cast<Element*>(m_root) : nullptr) {
                top->set_x_extent(top->x(), top->width());
                top->set_y_extent(top->y(), top->height());
            }
            render_cache();
            if (m_cache_surface.bitmap()) {
                m_animation->set_op(m_cache_op ? m_cache_op->clone() : nullptr);
                m_animation->start(show ? 1 : -1, *m_cache_surface.bitmap(), nullptr);
            }
        }
        mark_dirty();
    }
    if (!show) set_visible(false);
}

}  // namespace vistrel
