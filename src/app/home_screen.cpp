#include "home_screen.h"

#include <algorithm>

namespace vistrel {

namespace {

constexpr Colour kTileColours[] = {
    {220, 60, 60, 255},  {240, 150, 40, 255},  {230, 210, 60, 255},  {90, 200, 80, 255},
    {40, 170, 170, 255}, {60, 120, 230, 255},  {140, 90, 220, 255},  {220, 90, 180, 255},
    {150, 110, 70, 255}, {120, 120, 120, 255}, {200, 200, 200, 255}, {70, 200, 140, 255},
};
constexpr Colour kBackground{16, 24, 48, 255};
constexpr Colour kFrame{255, 255, 255, 255};
constexpr double kPulseSeconds = 0.3;

void frame_rect(Surface& surface, Rect r, int thickness, Colour colour) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    surface.fill({r.left, r.top}, {w, thickness}, colour);
    surface.fill({r.left, r.bottom - thickness}, {w, thickness}, colour);
    surface.fill({r.left, r.top}, {thickness, h}, colour);
    surface.fill({r.right - thickness, r.top}, {thickness, h}, colour);
}

}  // namespace

void SimpleScreen::set_x_extent(int x, int width) {
    if (x == m_rect.left && x + width == m_rect.right) return;
    m_rect.left = x;
    m_rect.right = x + width;
    m_dirty = true;
}

void SimpleScreen::set_y_extent(int y, int height) {
    if (y == m_rect.top && y + height == m_rect.bottom) return;
    m_rect.top = y;
    m_rect.bottom = y + height;
    m_dirty = true;
}

void PanelScreen::draw(Surface& surface, Point origin) {
    const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    const Rect box{origin.x + w / 8, origin.y + h / 3, origin.x + w - w / 8, origin.y + 2 * h / 3};
    surface.fill(box.top_left(), {box.right - box.left, box.bottom - box.top},
                 {240, 240, 240, 255});
    frame_rect(surface, box, 2, {40, 40, 40, 255});
    const int bar = (box.bottom - box.top) / 6;
    for (int i = 0; i < 3; ++i)
        surface.fill({box.left + 12, box.top + bar * (1 + 2 * i) - bar / 2},
                     {(box.right - box.left - 24) * (3 - i) / 3, bar / 2}, {90, 90, 90, 255});
    m_dirty = false;
}

bool PanelScreen::on_pointer_button(const PointerEvent& event) {
    if (!event.pressed && !event.cancelled) Application::instance()->remove_screen(this);
    return true;
}

bool PanelScreen::on_key(const KeyEvent& event) {
    if (event.down) Application::instance()->remove_screen(this);
    return true;
}

Rect HomeScreen::tile_rect(int index) const {
    const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    const int gap = std::max(2, std::min(w, h) / 40);
    const int tile_w = (w - gap * (kColumns + 1)) / kColumns;
    const int tile_h = (h - gap * (kRows + 1) - gap * 3) / kRows;
    const int column = index % kColumns, row = index / kColumns;
    const int left = m_rect.left + gap + column * (tile_w + gap);
    const int top = m_rect.top + gap + row * (tile_h + gap);
    return {left, top, left + tile_w, top + tile_h};
}

void HomeScreen::draw(Surface& surface, Point origin) {
    const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    surface.fill(origin, {w, h}, kBackground);
    for (int i = 0; i < kColumns * kRows; ++i) {
        const Rect r = tile_rect(i);
        surface.fill({origin.x + r.left, origin.y + r.top}, {r.right - r.left, r.bottom - r.top},
                     kTileColours[i]);
    }
    Rect chosen = tile_rect(m_selected);
    chosen = {origin.x + chosen.left, origin.y + chosen.top, origin.x + chosen.right,
              origin.y + chosen.bottom};
    const int thickness = 2 + static_cast<int>(m_pulse / kPulseSeconds * 4);
    frame_rect(surface, chosen, thickness, kFrame);
    // What has been typed, as a growing bar along the bottom.
    const int gap = std::max(2, std::min(w, h) / 40);
    surface.fill({origin.x + gap, origin.y + h - 2 * gap},
                 {std::min(w - 2 * gap, m_typed * 4), gap}, kFrame);
    m_dirty = false;
}

void HomeScreen::animate(double seconds) {
    if (m_pulse <= 0) return;
    m_pulse = std::max(0.0, m_pulse - seconds);
    m_dirty = true;
}

void HomeScreen::select(int index) {
    index = std::clamp(index, 0, kColumns * kRows - 1);
    if (index == m_selected) return;
    m_selected = index;
    m_pulse = kPulseSeconds;
    m_dirty = true;
}

void HomeScreen::open_panel() {
    Application::instance()->push_screen(&m_panel, true);
}

bool HomeScreen::on_pointer_button(const PointerEvent& event) {
    if (!event.pressed) return false;
    for (int i = 0; i < kColumns * kRows; ++i) {
        const Rect r = tile_rect(i);
        if (event.x >= r.left && event.x < r.right && event.y >= r.top && event.y < r.bottom) {
            if (i == m_selected)
                open_panel();
            else
                select(i);
            return true;
        }
    }
    return false;
}

std::vector<Rect> HomeScreen::input_rects() const {
    std::vector<Rect> rects;
    for (int i = 0; i < kColumns * kRows; ++i) rects.push_back(tile_rect(i));
    return rects;
}

bool HomeScreen::on_key(const KeyEvent& event) {
    if (!event.down) return false;
    switch (event.code) {
        case key::Left:
            select(m_selected - 1);
            return true;
        case key::Right:
            select(m_selected + 1);
            return true;
        case key::Up:
            select(m_selected - kColumns);
            return true;
        case key::Down:
            select(m_selected + kColumns);
            return true;
        case key::Enter:
            open_panel();
            return true;
        default:
            return false;
    }
}

bool HomeScreen::on_text(const std::u16string& text) {
    m_typed += static_cast<int>(text.size());
    m_dirty = true;
    return true;
}

void HomeScreen::on_command_line(const std::u16string& text) {
    if (Application* app = Application::instance()) app->window().restore();
}

void HomeScreen::on_resolution_changed() {
    if (Application* app = Application::instance())
        app->set_direct_mode(app->window().system_orientation());
}

}  // namespace vistrel
