#pragma once
// What the application needs of a screen on its stack. The element tree's root container
// implements it; the operations keep the names and signatures the element base gives them,
// so the container's own functions override these.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "render/bitmap.h"
#include "render/geometry.h"
#include "render/surface.h"
#include "shell/key_codes.h"

namespace vistrel {

// A pointer event in client coordinates. `time` is the message time in milliseconds.
// Button events also carry pressed (a press, else a release) and cancelled (a release
// that did not come from the button: the capture was lost or the screen was hidden).
struct PointerEvent {
    int x = 0;
    int y = 0;
    uint32_t time = 0;
    bool pressed = false;
    bool cancelled = false;
};

// Mouse-wheel notches at a client point (positive away from the user), with Ctrl held or
// not; a pinch of two fingers by `notches` zoom levels comes the same way, as `pinch`.
struct WheelEvent {
    int x = 0;
    int y = 0;
    double notches = 0;
    bool ctrl = false;
    bool pinch = false;
};

// The animation a screen shows and hides itself with. The application runs a copy of it
// over the whole frame as a change of screens.
class ScreenAnimation {
public:
    virtual ~ScreenAnimation() = default;
    virtual std::unique_ptr<ScreenAnimation> clone() const = 0;
    // Starts over captured pictures: direction +1 brings `picture` in (progress 0 to 1),
    // -1 takes it away (1 to 0). `second`, when given, is drawn adjacent on the opposite
    // side (the picture it replaces).
    virtual void start(int direction, const Bitmap& picture, const Bitmap* second) = 0;
    // +1 showing, -1 hiding, 0 stopped.
    virtual int direction() const = 0;
    virtual void reverse() = 0;
    virtual void animate(double seconds) = 0;
    virtual void draw(Surface& surface, Point origin) = 0;
};

class Screen {
public:
    virtual ~Screen() = default;

    virtual void set_visible(bool visible) = 0;
    // Shows or hides with the screen's visibility animation, when it has one.
    virtual void show_animated(bool show) = 0;
    virtual void set_x_extent(int x, int width) = 0;
    virtual void set_y_extent(int y, int height) = 0;
    virtual void animate(double seconds) = 0;
    virtual void draw(Surface& surface, Point origin) = 0;

    virtual void on_pointer_move(const PointerEvent& event) = 0;
    virtual bool on_pointer_button(const PointerEvent& event) = 0;
    virtual bool on_key(const KeyEvent& event) = 0;
    virtual bool on_text(const std::u16string& text) = 0;
    // Wheel and two-finger input; false when the screen has no use for it.
    virtual bool on_wheel(const WheelEvent& event) { return false; }
    virtual bool on_pan(Point moved) { return false; }

    // The screen's visibility animation; null when it has none.
    virtual ScreenAnimation* animation() = 0;
    // The two flags that ask for a frame: something in the tree changed, or its layout
    // must be worked out again.
    virtual bool dirty() const = 0;
    virtual bool layout_pending() const = 0;
    // Seconds of frame time the screen stays as it is unless input or a message comes: 0
    // while anything on it moves or it waits for the work of other threads, nothing when
    // only input changes it. A screen that does not say is stepped every frame.
    virtual std::optional<double> seconds_to_change() const { return 0.0; }

    // Where input lands now: the rectangles (client coordinates) of the screen's parts that
    // take a tap at this moment, visible and enabled. Random sessions aim at them. None by
    // default.
    virtual std::vector<Rect> input_rects() const { return {}; }
};

}  // namespace vistrel
