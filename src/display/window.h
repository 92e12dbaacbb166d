#pragma once
// The program's one top-level window: a message queue with timers and pointer capture,
// the device profile (screen size, dots per inch, device class, the orientation the system
// reports), and the screen memory the user sees. Native input arrives in the screen's own
// coordinates and is turned into the system's orientation before it is queued, as a
// rotated device's system does.
//
// Messages are taken from the queue on the user-interface thread; post_message may be
// called from any thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "display/clock.h"
#include "display/window_message.h"
#include "render/bitmap.h"
#include "render/geometry.h"

namespace vistrel {

// The device the program runs as.
struct DeviceProfile {
    Size screen{480, 640};    // the panel in its own orientation
    int dpi = 192;            // vertical dots per inch
    bool smartphone = false;  // Smartphone-class device (no touch screen, soft keys)
    int orientation = 0;      // 0..3: quarter turns the system shows the screen at
    std::string framebuffer;  // a Linux frame-buffer device (or a file standing in for one)
};

// Sees (and may change) every message before the window procedure does.
class WindowHook {
public:
    virtual ~WindowHook() = default;
    virtual void hook_message(WindowMessage& message) = 0;
};

class WindowProcedure {
public:
    virtual ~WindowProcedure() = default;
    virtual void window_procedure(WindowMessage& message) = 0;
};

class Window {
public:
    Window(const DeviceProfile& profile, Clock& clock);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // --- Device and geometry ---
    const DeviceProfile& profile() const { return m_profile; }
    Clock& clock() { return m_clock; }
    // The orientation the system reports, 0..3.
    int system_orientation() const { return m_profile.orientation; }
    // The screen as the system shows it (the panel turned by the system orientation).
    Size screen_size() const;
    // Turns the device: the screen keeps its memory; a setting-change message tells the
    // program, and the turn takes effect when it is taken from the queue.
    void set_system_orientation(int orientation);
    // Gives the panel a new size (a resized window): like a turn, it takes effect when the
    // message is taken from the queue. Sides are kept to 1..kMaxScreenSide and the area to
    // kMaxScreenPixels, shrinking both sides alike.
    void resize_screen(Size panel);
    static constexpr int kMaxScreenSide = 8192;
    static constexpr int64_t kMaxScreenPixels = 7680 * 4320;
    // The size resize_screen makes of `panel`.
    static Size bounded_screen(Size panel);

    // --- Screen memory: the panel, in its own orientation, as the user sees it ---
    Bitmap& screen() { return *m_screen; }
    const Bitmap& screen() const { return *m_screen; }
    // Shows what changed in `rect` of the screen memory (panel coordinates).
    virtual void screen_changed(Rect rect) {}
    // Shows the whole screen memory again.
    void repaint_screen() { screen_changed({0, 0, m_screen->width(), m_screen->height()}); }
    // Draws `picture` (in the system's orientation) at `position` of the screen, turned
    // into the panel's orientation, and shows it: the windowed-mode drawing path.
    void paint(const Bitmap& picture, Point position);
    // Copies the screen as the system shows it into `target` (as much as fits).
    bool copy_screen(Bitmap& target) const;

    // --- Messages ---
    void set_procedure(WindowProcedure* procedure) { m_procedure = procedure; }
    void add_hook(WindowHook* hook);
    void remove_hook(WindowHook* hook);
    // Through the hooks, then to the procedure.
    void dispatch(WindowMessage& message);
    // From any thread.
    void post_message(WindowMessage message);
    // Waits for the next message (posted, native input or a due timer). With a deadline,
    // false when it passes first. With a simulated clock, waiting moves the clock.
    bool get_message(WindowMessage& message, std::optional<uint32_t> deadline = std::nullopt);
    // The next message if one is ready now.
    bool peek_message(WindowMessage& message);
    // Lets time pass between polls (moves a simulated clock).
    void sleep(uint32_t milliseconds) { m_clock.sleep(milliseconds); }

    // --- Timers: a Timer message every period while set ---
    void set_timer(uint32_t id, uint32_t period_ms);
    void kill_timer(uint32_t id);
    bool has_timer(uint32_t id) const;

    // --- Pointer capture: a release (or loss) sends CaptureChanged at once ---
    void set_capture();
    void release_capture();
    bool has_capture() const { return m_capture; }
    // Sets the window title.
    virtual void set_title(const std::u16string& title) {}

    // --- Show state ---
    // Full screen on a desktop (kept as state elsewhere).
    virtual void set_full_screen(bool on) { m_full_screen = on; }
    bool full_screen() const { return m_full_screen; }
    virtual void minimize() { m_minimized = true; }
    // Shows the window restored and in the foreground.
    virtual void restore() { m_minimized = false; }
    bool minimized() const { return m_minimized; }

    // --- Text input (the software keyboard's counterpart) ---
    virtual void start_text_input(Rect area) { m_text_input = true; }
    virtual void stop_text_input() { m_text_input = false; }
    bool text_input() const { return m_text_input; }

    // --- Native input, in panel coordinates and keys as the panel sees them ---
    void native_key(uint32_t virtual_key, bool down, bool repeat);
    void native_pointer(MessageKind kind, Point panel_point);
    void native_text(const std::u16string& text);
    // Wheel notches (positive away from the user) with the pointer at `panel_point`.
    void native_wheel(Point panel_point, double notches);
    // Two fingers: a pinch by `levels` of zoom around `panel_point`, or a pan by `moved`.
    void native_pinch(Point panel_point, double levels);
    void native_pan(Point moved);
    // The capture was taken away (the window lost the input focus with a button down).
    void lose_capture();

    // Whether this window shows on a real desktop.
    virtual bool on_desktop() const { return false; }
    // Shows a box with `text` and an OK button above the window until the user closes it;
    // nothing off the desktop. May run on any thread: restore() from the window's own
    // thread brings the window, and the box with it, to the front meanwhile.
    virtual void show_message_box(const std::u16string& caption, const std::u16string& text) {}

protected:
    // Moves native events into the queue without waiting.
    virtual void pump_native() {}
    // Waits up to `milliseconds` (nullopt: without limit) for native input or a post.
    virtual void wait_native(std::optional<uint32_t> milliseconds);
    // Wakes a wait_native from another thread.
    virtual void wake_native() {}
    // Follows the pointer outside the window while captured.
    virtual void native_capture(bool on) {}
    // The queue, for native input on the user-interface thread.
    void queue(WindowMessage message);

private:
    struct TimerEntry {
        uint32_t id;
        uint32_t period;
        uint32_t next;
    };
    bool take_ready(WindowMessage& message);
    // Queues a wheel or pinch message at a panel point, its amount kept to +-limit.
    void queue_amount(MessageKind kind, Point panel_point, double amount, double limit);
    // A message at a panel point, turned into the screen's coordinates.
    WindowMessage pointer_message(MessageKind kind, Point panel_point) const;
    // Applies a taken setting change to the profile and the screen memory.
    void apply_setting(const WindowMessage& message);

    DeviceProfile m_profile;
    Clock& m_clock;
    std::unique_ptr<Bitmap> m_screen;
    WindowProcedure* m_procedure = nullptr;
    std::vector<WindowHook*> m_hooks;
    mutable std::mutex m_queue_mutex;
    std::condition_variable m_queue_cv;
    std::deque<WindowMessage> m_queue;
    std::vector<TimerEntry> m_timers;
    bool m_capture = false;
    bool m_minimized = false;
    bool m_full_screen = false;
    bool m_text_input = false;
};

// A window with nothing on a desktop: its screen lives in memory only.
class HeadlessWindow final : public Window {
public:
    HeadlessWindow(const DeviceProfile& profile, Clock& clock) : Window(profile, clock) {}
    uint64_t screen_updates() const { return m_updates; }
    void screen_changed(Rect rect) override { ++m_updates; }

private:
    uint64_t m_updates = 0;
};

}  // namespace vistrel
