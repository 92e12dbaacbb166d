#include "ui/container.h"

#include <algorithm>

#include "ui/button.h"

namespace vistrel {

Container::Container() : Element(nullptr) {
    m_root = this;
}

Container::~Container() {
    // The children go while the lists they unregister from still exist.
    destroy_children();
}

namespace {

// Pointer nodes ("ptr..." ids) are focus marks: hidden until key navigation shows the one of
// the focused button. Those of elements that take no focus (spacers) stay hidden.
void hide_pointer_nodes(Element& element) {
    for (const auto& child : element.children()) {
        if (child->id().starts_with(u"ptr"))
            child->set_visible(false);
        else
            hide_pointer_nodes(*child);
    }
}

}  // namespace

void Container::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_outside_color = properties.get_color(node, u"outside_color", Colour{0, 0, 0, 255});
    hide_pointer_nodes(*this);
}

void Container::set_visible(bool visible) {
    if (!visible) cancel_capture();
    Element::set_visible(visible);
}

void Container::show_animated(bool show) {
    Element::show_animated(show);
}

void Container::set_x_extent(int x, int width) {
    Element::set_x_extent(x, width);
}

void Container::set_y_extent(int y, int height) {
    Element::set_y_extent(y, height);
}

void Container::animate(double seconds) {
    Element::animate(seconds);
}

void Container::draw(Surface& surface, Point origin) {
    if (animation_running())
        Element::animation()->draw(surface, origin);
    else
        Element::draw(surface, origin);
    clear_dirty();
}

// --- Input ---

bool Container::takes_input(Element* element) const {
    return element->effectively_visible() && element->effectively_enabled();
}

std::vector<Rect> Container::input_rects() const {
    std::vector<Rect> rects;
    for (Element* element : m_interactive) {
        if (!takes_input(element) || element->width() <= 0 || element->height() <= 0) continue;
        rects.push_back(element->rect());
    }
    return rects;
}

bool Container::still_interactive(Element* element) const {
    return std::find(m_interactive.begin(), m_interactive.end(), element) != m_interactive.end();
}

void Container::cancel_capture() {
    std::vector<Element*> captured = std::move(m_captured);
    m_captured.clear();
    PointerEvent cancel;
    cancel.x = -1;
    cancel.y = -1;
    cancel.cancelled = true;
    for (Element* element : captured)
        if (still_interactive(element)) element->on_pointer_button(cancel);
}

void Container::on_pointer_move(const PointerEvent& event) {
    if (!m_captured.empty()) {
        // Elements that can no longer take input lose the pointer; they hear a cancelled
        // release so that none of them stays pressed.
        std::vector<Element*> captured = m_captured;
        std::vector<Element*> kept;
        std::vector<Element*> dropped;
        for (Element* element : captured) {
            if (!still_interactive(element)) continue;
            if (takes_input(element)) {
                element->on_pointer_move(event);
                kept.push_back(element);
            } else {
                dropped.push_back(element);
            }
        }
        m_captured = kept;
        PointerEvent cancel = event;
        cancel.pressed = false;
        cancel.cancelled = true;
        for (Element* element : dropped)
            if (still_interactive(element)) element->on_pointer_button(cancel);
        return;
    }
    const std::vector<Element*> elements = m_interactive;
    for (Element* element : elements)
        if (still_interactive(element) && takes_input(element) &&
            element->hit_test({event.x, event.y}))
            element->on_pointer_move(event);
}

bool Container::on_pointer_button(const PointerEvent& event) {
    if (!m_captured.empty()) {
        if (!event.pressed) {
            std::vector<Element*> captured = std::move(m_captured);
            m_captured.clear();
            for (Element* element : captured) {
                if (!still_interactive(element)) continue;
                if (takes_input(element)) {
                    element->on_pointer_button(event);
                } else {
                    PointerEvent cancel = event;
                    cancel.cancelled = true;
                    element->on_pointer_button(cancel);
                }
            }
        }
        return !m_captured.empty();
    }
    if (!event.pressed) return false;
    if (m_focus) m_focus->set_focused(false);
    const std::vector<Element*> elements = m_interactive;
    for (Element* element : elements) {
        if (!still_interactive(element) || !takes_input(element) ||
            !element->hit_test({event.x, event.y}))
            continue;
        m_captured.push_back(element);
        if (element->on_pointer_button(event)) break;
    }
    return !m_captured.empty();
}

bool Container::on_key(const KeyEvent& event) {
    const std::vector<Element*> elements = m_interactive;
    for (Element* element : elements)
        if (still_interactive(element) && takes_input(element) && element->on_key(event))
            return true;
    return false;
}

bool Container::on_text(const std::u16string& text) {
    const std::vector<Element*> elements = m_interactive;
    for (Element* element : elements)
        if (still_interactive(element) && takes_input(element) && element->on_text(text))
            return true;
    return false;
}

void Container::add_interactive(Element* element) {
    if (element && !still_interactive(element)) m_interactive.push_back(element);
}

void Container::remove_interactive(Element* element) {
    m_interactive.erase(std::remove(m_interactive.begin(), m_interactive.end(), element),
                        m_interactive.end());
    m_captured.erase(std::remove(m_captured.begin(), m_captured.end(), element), m_captured.end());
}

void Container::move_interactive_to_end(Element* element) {
    if (!still_interactive(element)) return;
    m_interactive.erase(std::remove(m_interactive.begin(), m_interactive.end(), element),
                        m_interactive.end());
    m_interactive.push_back(element);
}

void Container::forget(Element* element) {
    if (element == m_focus) {
        m_focus = nullptr;
        m_focus_down = false;
    }
    if (m_interactive.empty() && m_captured.empty()) return;
    remove_interactive(element);
}

// --- Key focus ---

void Container::set_focus(Button* button) {
    if (m_focus && m_focus != button) {
        if (m_focus_down) m_focus->press_by_key(false);
        m_focus->set_focused(false);
    }
    m_focus_down = false;
    m_focus = button;
    if (m_focus) m_focus->set_focused(true);
}

bool Container::move_focus(int step) {
    std::vector<Button*> stops;
    for (Element* element : m_interactive)
        if (auto* button = dynamic_cast<Button*>(element); button && takes_input(button))
            stops.push_back(button);
    if (stops.empty()) return false;
    const auto count = static_cast<long>(stops.size());
    const long at = std::find(stops.begin(), stops.end(), m_focus) - stops.begin();
    long next;
    if (at == count)
        next = step >= 0 ? 0 : count - 1;  // no focus yet, or it went away
    else if (!m_focus->focused())
        next = at;  // the mark was hidden by the pointer: show it where it was
    else
        next = ((at + step) % count + count) % count;
    set_focus(stops[static_cast<size_t>(next)]);
    return true;
}

bool Container::focus_key(const KeyEvent& event, KeyCode previous, KeyCode next) {
    if (event.code == previous || event.code == next) {
        if (event.down) move_focus(event.code == previous ? -1 : 1);
        return true;
    }
    if (event.code != key::Enter || !m_focus || !m_focus->focused()) return false;
    if (!takes_input(m_focus)) {
        m_focus_down = false;
        return false;
    }
    if (event.down == m_focus_down) return true;
    m_focus_down = event.down;
    m_focus->press_by_key(event.down);
    return true;
}

}  // namespace vistrel
