#include "display/input_translator.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cmath>

namespace vistrel {

namespace {

struct KeyRow {
    uint32_t linux_code;
    uint32_t virtual_key;
};

// The same virtual keys a desktop keyboard gives the window.
constexpr KeyRow kKeyRows[] = {
    {KEY_ENTER, 13},     {KEY_KPENTER, 13},      {KEY_ESC, 27},       {KEY_BACKSPACE, 8},
    {KEY_TAB, 9},        {KEY_SPACE, 32},        {KEY_DELETE, 46},    {KEY_INSERT, 45},
    {KEY_HOME, 36},      {KEY_END, 35},          {KEY_PAGEUP, 33},    {KEY_PAGEDOWN, 34},
    {KEY_LEFT, 37},      {KEY_UP, 38},           {KEY_RIGHT, 39},     {KEY_DOWN, 40},
    {KEY_F1, 112},       {KEY_F2, 113},          {KEY_F3, 114},       {KEY_F4, 115},
    {KEY_F6, 117},       {KEY_F7, 118},          {KEY_F8, 119},       {KEY_F9, 120},
    {KEY_KPASTERISK, 119}, {KEY_COMPOSE, 93},    {KEY_MENU, 93},      {KEY_VOLUMEUP, 117},
    {KEY_VOLUMEDOWN, 118}, {KEY_LEFTCTRL, 17},   {KEY_RIGHTCTRL, 17}, {KEY_LEFTSHIFT, 16},
    {KEY_RIGHTSHIFT, 16},  {KEY_LEFTALT, 18},    {KEY_RIGHTALT, 18},
};

// Letter keys in the order of their Linux codes' rows (QWERTY layout).
constexpr const char* kLetterRows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
constexpr uint32_t kLetterRowStart[] = {KEY_Q, KEY_A, KEY_Z};

char letter_of(uint32_t code) {
    for (int row = 0; row < 3; ++row) {
        const uint32_t start = kLetterRowStart[row];
        const std::string_view letters = kLetterRows[row];
        if (code >= start && code < start + letters.size()) return letters[code - start];
    }
    return 0;
}

char digit_of(uint32_t code) {
    if (code >= KEY_1 && code <= KEY_9) return char('1' + (code - KEY_1));
    if (code == KEY_0) return '0';
    return 0;
}

// Keys that repeat while held: all but the modifiers.
bool repeats(uint32_t virtual_key) {
    return virtual_key != 0 && virtual_key != 16 && virtual_key != 17 && virtual_key != 18;
}

}  // namespace

uint32_t virtual_key_from_linux(uint32_t code) {
    if (const char c = letter_of(code)) return uint32_t(c - 'a' + 'A');
    if (const char d = digit_of(code)) return uint32_t(d);
    for (const KeyRow& row : kKeyRows)
        if (row.linux_code == code) return row.virtual_key;
    return 0;
}

InputTranslator::InputTranslator(Size panel, InputSink& sink, const Clock& clock)
    : m_panel{std::max(panel.w, 1), std::max(panel.h, 1)}, m_sink(sink), m_clock(clock) {}

void InputTranslator::show_pointer(bool shown) {
    if (shown) m_hide_at = m_clock.now() + kPointerIdleMs;
    if (shown == m_pointer_visible) return;
    m_pointer_visible = shown;
    m_sink.pointer_shown(shown, m_pointer);
}

void InputTranslator::tick() {
    const uint32_t now = m_clock.now();
    if (m_held_key && static_cast<int32_t>(now - m_next_repeat) >= 0) {
        m_sink.key(virtual_key_from_linux(m_held_key), true, true);
        type(m_held_key);
        // One repeat a tick: a late tick makes no burst of them.
        m_next_repeat = now + kRepeatPeriodMs;
    }
    if (m_pointer_visible && static_cast<int32_t>(now - m_hide_at) >= 0) show_pointer(false);
}

std::optional<uint32_t> InputTranslator::next_due() const {
    const uint32_t now = m_clock.now();
    std::optional<uint32_t> due;
    auto until = [&](uint32_t when) {
        const uint32_t left = uint32_t(std::max<int32_t>(0, static_cast<int32_t>(when - now)));
        due = due ? std::min(*due, left) : left;
    };
    if (m_held_key) until(m_next_repeat);
    if (m_pointer_visible) until(m_hide_at);
    return due;
}

bool InputTranslator::to_panel(double x, double y, Point& out) const {
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    x = std::clamp(x, 0.0, 1.0);
    y = std::clamp(y, 0.0, 1.0);
    out.x = std::min(int(x * m_panel.w), m_panel.w - 1);
    out.y = std::min(int(y * m_panel.h), m_panel.h - 1);
    return true;
}

void InputTranslator::move_to(Point p) {
    if (p == m_pointer) return;
    m_pointer = p;
    m_sink.pointer(MessageKind::PointerMove, p);
}

void InputTranslator::press(bool down) {
    if (down == m_pressed) return;
    m_pressed = down;
    m_sink.pointer(down ? MessageKind::ButtonDown : MessageKind::ButtonUp, m_pointer);
}

void InputTranslator::type(uint32_t code) {
    if (!m_sink.wants_text()) return;
    char c = letter_of(code);
    if (c && m_shift) c = char(c - 'a' + 'A');
    if (!c) c = digit_of(code);
    if (!c && code == KEY_SPACE) c = ' ';
    if (c) m_sink.text(char16_t(c));
}

void InputTranslator::feed(const InputEvent& e) {
    using Kind = InputEvent::Kind;
    Point p;
    switch (e.kind) {
        case Kind::TouchDown:
            // A finger while the mouse button is held, or a second finger, is ignored.
            if (m_touch_slot >= 0 || m_pressed || !to_panel(e.x, e.y, p)) return;
            m_touch_slot = e.slot;
            show_pointer(false);
            move_to(p);
            press(true);
            return;
        case Kind::TouchMotion:
            if (e.slot != m_touch_slot || !to_panel(e.x, e.y, p)) return;
            move_to(p);
            return;
        case Kind::TouchUp:
            if (e.slot != m_touch_slot) return;
            m_touch_slot = -1;
            press(false);
            return;
        case Kind::DeviceRemoved:
            // A key held on a keyboard unplugged is released.
            if (m_held_key) m_sink.key(virtual_key_from_linux(m_held_key), false, false);
            stop_repeat();
            [[fallthrough]];
        case Kind::TouchCancel:
            m_touch_slot = -1;
            m_shift = false;
            press(false);
            return;
        case Kind::PointerMotion: {
            if (m_touch_slot >= 0 || !std::isfinite(e.x) || !std::isfinite(e.y)) return;
            // Bounded steps: a device reporting huge jumps moves the pointer to an edge.
            const double dx = std::clamp(e.x, -1e6, 1e6) + m_rest_x;
            const double dy = std::clamp(e.y, -1e6, 1e6) + m_rest_y;
            const double whole_x = std::trunc(dx), whole_y = std::trunc(dy);
            m_rest_x = dx - whole_x;
            m_rest_y = dy - whole_y;
            move_to({int(std::clamp(m_pointer.x + whole_x, 0.0, double(m_panel.w - 1))),
                     int(std::clamp(m_pointer.y + whole_y, 0.0, double(m_panel.h - 1)))});
            show_pointer(true);
            return;
        }
        case Kind::PointerAbsolute:
            if (m_touch_slot >= 0 || !to_panel(e.x, e.y, p)) return;
            move_to(p);
            show_pointer(true);
            return;
        case Kind::Button:
            if (m_touch_slot >= 0) return;
            show_pointer(true);
            if (e.code == BTN_LEFT) press(e.pressed);
            return;
        case Kind::Key: {
            if (e.code == KEY_LEFTSHIFT || e.code == KEY_RIGHTSHIFT) m_shift = e.pressed;
            const uint32_t vk = virtual_key_from_linux(e.code);
            if (vk) m_sink.key(vk, e.pressed, false);
            if (e.pressed) type(e.code);
            if (e.pressed && repeats(vk)) {
                m_held_key = e.code;
                m_next_repeat = m_clock.now() + kRepeatDelayMs;
            } else if (!e.pressed && e.code == m_held_key) {
                stop_repeat();
            }
            return;
        }
    }
}

}  // namespace vistrel
