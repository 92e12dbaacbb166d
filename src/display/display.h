#pragma once
// The display: an RGB565 back buffer per frame, put on the screen as fast as the device
// allows, in any of the device's orientations. It detects the ways to reach the screen,
// tries them from the most specific, wraps the chosen driver in a rotation driver when the
// requested orientation differs from the driver's, and hooks the window so that arrow keys
// and pointer positions follow the chosen orientation and drawing stops while the window
// is inactive. On a board it also draws the mouse pointer over the frames.
//
//   if (display->begin_frame()) { draw into *display->back_buffer(); display->present(0); }

#include <memory>
#include <optional>
#include <vector>

#include "display/driver.h"
#include "display/pointer_sprite.h"
#include "display/window.h"

namespace vistrel {

class Display final : public WindowHook {
public:
    // Nothing when the window cannot be hooked, the orientation is not one of the modes, or
    // no driver starts. On success `params` receives the actual size, orientation and swap.
    static std::unique_ptr<Display> Create(Window& window, DisplayParams& params);
    ~Display() override;
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // What the device offers: its native size and the modes it can show.
    static DetectionRecord detect(Window& window);
    // The native mode first, then the other three quarter turns.
    static std::vector<DisplayMode> modes_for(int width, int height, int orientation);

    // False while suspended; otherwise locks the frame memory (once per frame).
    bool begin_frame();
    // Where the frame is drawn; null outside a frame.
    Bitmap* back_buffer();
    // Shows the frame and ends it; false outside a frame. Bit 0 of `flags`: wait for the
    // display's refresh first.
    bool present(uint32_t flags = 0);
    // Limits the next presentation to `rect` (nothing: the whole display).
    void set_dirty(std::optional<Rect> rect);
    Rect dirty() const { return m_dirty; }

    void suspend();
    void resume();
    bool active() const { return m_active; }

    int width() const { return m_width; }
    int height() const { return m_height; }
    int orientation() const { return m_orientation; }
    const std::vector<DisplayMode>& modes() const { return m_record.modes; }
    const DisplayDriver& driver() const { return *m_driver; }

    // What the output shows, in its own orientation (the frame as the user sees it).
    const Bitmap* shown() const { return m_driver->shown(); }
    // Copies the last frame, in the display's orientation, into `target` (as much as fits).
    bool copy_screen(Bitmap& target) const;

    void hook_message(WindowMessage& message) override;

    // The board's mouse pointer (PointerShown and PointerHidden messages): where it is
    // drawn, empty when it is not.
    Rect pointer_drawn() const { return m_pointer.drawn(); }

private:
    explicit Display(Window& window) : m_window(window) {}
    bool initialise(DisplayParams& params);
    // Draws the pointer where it is now (or takes it away) between frames.
    void update_pointer();
    // Shows `rect` of the frame memory besides what the driver is to show anyway.
    void show_also(Rect rect, uint32_t flags);

    Window& m_window;
    DetectionRecord m_record;
    std::unique_ptr<DisplayDriver> m_driver;
    std::unique_ptr<Bitmap> m_own_back_buffer;
    Bitmap* m_locked = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_orientation = 0;
    int m_swap = 1;
    bool m_active = true;
    bool m_hooked = false;
    Rect m_dirty;
    Rect m_driver_dirty;  // what the driver is told to show of each frame
    bool m_full_rows = false;
    PointerSprite m_pointer;  // drawn over the frame memory
    bool m_pointer_shown = false;
    Point m_pointer_at;
};

}  // namespace vistrel
