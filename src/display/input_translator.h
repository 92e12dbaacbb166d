#pragma once
// Turns the events of touch screens, mice and keyboards (as a board's input library reports
// them) into the window's native input: pointer moves, left-button presses and releases in
// panel coordinates, virtual keys and typed characters. The first finger down acts as the
// pointer, as on a desktop where a touch screen drives the mouse; other fingers are ignored.
// Coordinates from devices are checked: out-of-range, infinite or NaN values never reach the
// window as positions outside the panel.
//
// Board keyboards send no repeats of their own: a held key repeats here after a delay, and
// the mouse pointer, shown when a mouse moves, hides after a few idle seconds and at a
// touch. Both run on the window's clock: call tick() when next_due() has passed.

#include <cstdint>
#include <optional>
#include <string>

#include "display/clock.h"
#include "display/window_message.h"
#include "render/geometry.h"

namespace vistrel {

struct InputEvent {
    enum class Kind : uint8_t {
        TouchDown,        // slot; x, y: 0..1 across the device's range
        TouchMotion,      // slot; x, y
        TouchUp,          // slot
        TouchCancel,      // every finger lifted without a gesture (device gone, palm)
        PointerMotion,    // x, y: relative movement in pixels
        PointerAbsolute,  // x, y: 0..1 across the device's range
        Button,           // code: Linux button code (BTN_LEFT = 0x110); pressed
        Key,              // code: Linux key code; pressed
        DeviceRemoved,    // a device went away: whatever it held is released
    };
    Kind kind = Kind::Key;
    int32_t slot = 0;
    double x = 0;
    double y = 0;
    uint32_t code = 0;
    bool pressed = false;
};

// Where translated input goes (the window, or a test's recorder).
class InputSink {
public:
    virtual ~InputSink() = default;
    virtual void pointer(MessageKind kind, Point panel_point) = 0;
    // `repeat`: a press repeated while the key is held.
    virtual void key(uint32_t virtual_key, bool down, bool repeat) = 0;
    virtual void text(char16_t unit) = 0;
    // Whether typed characters are wanted (the text input is on).
    virtual bool wants_text() const { return false; }
    // The mouse pointer is to be drawn at `panel_point`, or hidden.
    virtual void pointer_shown(bool shown, Point panel_point) {}
};

// The virtual key of a Linux key code, 0 for keys the program does not use.
uint32_t virtual_key_from_linux(uint32_t code);

class InputTranslator {
public:
    static constexpr uint32_t kRepeatDelayMs = 500;
    static constexpr uint32_t kRepeatPeriodMs = 40;
    static constexpr uint32_t kPointerIdleMs = 3000;

    InputTranslator(Size panel, InputSink& sink, const Clock& clock);
    void feed(const InputEvent& event);
    // Repeats the held key and hides an idle pointer when their time has come.
    void tick();
    // Milliseconds until tick() has something to do; nothing when it has nothing.
    std::optional<uint32_t> next_due() const;

    // The pointer's place on the panel; visible after mouse movement, hidden after a touch.
    Point pointer() const { return m_pointer; }
    bool pointer_visible() const { return m_pointer_visible; }
    bool pressed() const { return m_pressed; }

private:
    bool to_panel(double x, double y, Point& out) const;
    void move_to(Point p);
    void press(bool down);
    void type(uint32_t code);
    // Shows the pointer (after mouse movement) for kPointerIdleMs, or hides it.
    void show_pointer(bool shown);
    void stop_repeat() { m_held_key = 0; }

    Size m_panel;
    InputSink& m_sink;
    const Clock& m_clock;
    uint32_t m_held_key = 0;    // the Linux code of the key repeating, 0 for none
    uint32_t m_next_repeat = 0;  // clock time of its next repeat
    uint32_t m_hide_at = 0;      // clock time the shown pointer hides
    Point m_pointer{0, 0};
    bool m_pointer_visible = false;
    bool m_pressed = false;
    int32_t m_touch_slot = -1;  // the finger acting as the pointer, -1 for none
    bool m_shift = false;
    // Fractions of a pixel left over from relative movement.
    double m_rest_x = 0;
    double m_rest_y = 0;
};

}  // namespace vistrel
