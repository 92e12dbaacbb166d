#include "ui/edit_field.h"

#include <algorithm>
#include <cmath>

#include "shell/application.h"
#include "ui/container.h"

namespace vistrel {

namespace {

EditField* g_focus_without_application = nullptr;

constexpr double kCaretHalfCycle = 0.5;
constexpr double kCaretCycle = 1.0;

bool is_low_surrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
bool is_high_surrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

EditField::EditField(Element* parent) : TextElement(parent) {
    take_input();
}

EditField::~EditField() {
    unfocus();
}

EditField* EditField::focused_without_application() {
    return g_focus_without_application;
}

void EditField::load(Properties& properties, NodeHandle node) {
    TextElement::load(properties, node);
    m_background = properties.get_color(node, u"background_color", Colour{0, 0, 0, 255});
    m_caret = TextElement::text().size();
}

bool EditField::has_focus() const {
    if (Application* app = Application::instance())
        return app->focused_text_input() == static_cast<const TextInputField*>(this);
    return g_focus_without_application == this;
}

void EditField::focus() {
    if (has_focus()) return;
    if (Application* app = Application::instance())
        app->set_text_input(this, m_caret_off);
    else
        g_focus_without_application = this;
    reset_caret();
    const int space = style().font ? style().font->text_width(u" ") : 0;
    m_caret_width = std::max(1, static_cast<int>(std::floor(space / 4.0 + 0.5)));
    mark_dirty();
}

void EditField::unfocus() {
    if (!has_focus()) return;
    if (Application* app = Application::instance())
        app->set_text_input(nullptr, false);
    else
        g_focus_without_application = nullptr;
    m_caret_timer = kCaretCycle;
    m_caret_phase = false;
    mark_dirty();
}

void EditField::on_visibility_changed(bool visible) {
    TextElement::on_visibility_changed(visible);
    if (!visible) unfocus();
}

void EditField::set_caret_off(bool off) {
    m_caret_off = off;
    mark_dirty();
}

void EditField::set_caret(size_t position) {
    m_caret = std::min(position, TextElement::text().size());
    keep_caret_in_view();
    mark_dirty();
}

void EditField::reset_caret() {
    m_caret_timer = 0;
    m_caret_phase = false;
}

void EditField::changed() {
    if (Application* app = Application::instance(); app && has_focus()) app->move_text_input(this);
    if (m_listener) m_listener->edit_changed(*this);
}

void EditField::set_text(const std::u16string& text) {
    if (text == TextElement::text()) return;
    TextElement::set_text(text);
    m_caret = text.size();
    keep_caret_in_view();
    changed();
}

void EditField::keep_caret_in_view() {
    const Spot spot = spot_of(m_caret);
    scroll_into_view(line_left(spot.line) + spot.x, spot.line * line_height(), line_height());
}

// --- Caret ---

void EditField::animate(double seconds) {
    TextElement::animate(seconds);
    if (m_caret_off) return;
    if (!has_focus()) {
        m_caret_timer = kCaretCycle;
        m_caret_phase = false;
        return;
    }
    m_caret_timer += seconds;
    if (m_caret_timer >= kCaretCycle) {
        m_caret_timer = 0;
        m_caret_phase = false;
        mark_dirty();
    } else if (m_caret_timer >= kCaretHalfCycle && !m_caret_phase) {
        m_caret_phase = true;
        mark_dirty();
    }
}

void EditField::draw(Surface& surface, Point origin) {
    TextElement::draw(surface, origin);
    if (m_caret_off || m_caret_phase || !has_focus() || !style().font) return;
    const Spot spot = spot_of(m_caret);
    const int lh = line_height();
    int left = line_left(spot.line);
    if (line_count() == 0) {
        // No lines yet: where an empty line would be aligned.
        const HAlign h = style().halign;
        left = h == HAlign::Center ? area_width() / 2 : h == HAlign::Right ? area_width() : 0;
    }
    const int top = line_count() == 0 ? (style().valign == VAlign::Top      ? 0
                                         : style().valign == VAlign::Bottom ? height() - lh
                                                                            : (height() - lh) / 2)
                                      : block_top() + spot.line * lh;
    const Point at{origin.x + area_left() + left + scroll_x() + spot.x,
                   origin.y + top - static_cast<int>(std::lround(scroll_y()))};
    ClipScope clip(surface, origin, size());
    surface.fill(at, {m_caret_width, lh}, style().color);
}

// --- Input ---

bool EditField::on_pointer_button(const PointerEvent& event) {
    if (event.pressed && !event.cancelled) {
        if (root()) root()->move_interactive_to_end(this);
        const size_t at = index_at({event.x - x(), event.y - y()});
        if (!has_focus()) focus();
        m_caret = at;
        reset_caret();
        mark_dirty();
    }
    TextElement::on_pointer_button(event);
    return true;
}

void EditField::move_line(int direction) {
    if (line_count() == 0) return;
    const Spot spot = spot_of(m_caret);
    const int target = spot.line + direction;
    if (target < 0 || target >= line_count()) return;
    const int lh = line_height();
    const Point local{
        area_left() + line_left(target) + scroll_x() + spot.x,
        block_top() - static_cast<int>(std::lround(scroll_y())) + target * lh + lh / 2};
    m_caret = index_at(local);
}

bool EditField::on_key(const KeyEvent& event) {
    if (!event.down || !has_focus()) return false;
    reset_caret();
    const std::u16string& text = TextElement::text();
    switch (event.code) {
        case key::Backspace: {
            if (text.empty()) return false;
            if (m_caret > 0) {
                size_t from = m_caret - 1;
                if (from > 0 && is_low_surrogate(text[from]) && is_high_surrogate(text[from - 1]))
                    --from;
                std::u16string changed_text = text;
                changed_text.erase(from, m_caret - from);
                const size_t caret = from;
                TextElement::set_text(changed_text);
                m_caret = caret;
                keep_caret_in_view();
                changed();
            }
            mark_dirty();
            return true;
        }
        case key::Enter:
            on_text(u"\n");
            return true;
        case key::Left:
            if (m_caret > 0) {
                --m_caret;
                if (m_caret > 0 && is_low_surrogate(text[m_caret]) &&
                    is_high_surrogate(text[m_caret - 1]))
                    --m_caret;
            }
            break;
        case key::Right:
            if (m_caret < text.size()) {
                ++m_caret;
                if (m_caret < text.size() && is_low_surrogate(text[m_caret]) &&
                    is_high_surrogate(text[m_caret - 1]))
                    ++m_caret;
            }
            break;
        case key::Up:
        case key::Down:
            if (!style().wrap) return false;
            move_line(event.code == key::Up ? -1 : 1);
            break;
        default:
            return false;
    }
    keep_caret_in_view();
    mark_dirty();
    return true;
}

bool EditField::on_text(const std::u16string& typed) {
    if (!has_focus() || typed.empty()) return false;
    std::u16string text = TextElement::text();
    const size_t at = std::min(m_caret, text.size());
    text.insert(at, typed);
    TextElement::set_text(text);
    m_caret = at + typed.size();
    reset_caret();
    keep_caret_in_view();
    changed();
    return true;
}

}  // namespace vistrel
