#pragma once
// The application: the screen stack with overlays, snapshots, dimming and transitions, the
// frame (update, needs_redraw, draw_frame), and input passed to the top screen. Its window
// part, GameBase, owns the window, the message loop and the display mode. One instance.

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/window.h"
#include "render/pixel.h"
#include "render/render_surface.h"
#include "render/surface.h"
#include "shell/application_listener.h"
#include "shell/screen.h"

namespace vistrel {

class GameBase;
class ScriptPlayer;
struct ScreenArea;

class Application {
public:
    // Builds the window part on `window`; `kinds` (optional, not owned) registers the
    // element kinds now and unregisters them at destruction.
    Application(const std::u16string& name, std::unique_ptr<Window> window,
                ElementKinds* kinds = nullptr);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The running application, or null.
    static Application* instance();

    const std::u16string& name() const { return m_name; }

    // --- Screen stack ---
    void push_screen(Screen* screen, bool overlay);
    // False when the screen is not on the stack.
    bool remove_screen(Screen* screen);
    Screen* top_screen() const;
    // The screen at `index` of the stack (0 is the bottom), and whether it is an overlay.
    Screen* screen_at(size_t index) const {
        return index < m_stack.size() ? m_stack[index].screen : nullptr;
    }
    bool overlay_at(size_t index) const { return index < m_stack.size() && m_stack[index].overlay; }
    size_t screen_count() const { return m_stack.size(); }
    void set_listener(ApplicationListener* listener) { m_listener = listener; }
    ApplicationListener* listener() const { return m_listener; }

    // --- The frame ---
    void update(double seconds);
    bool needs_redraw(bool include_last) const;
    // Seconds of frame time until the next frame step can change anything when no input
    // or message comes: 0 while a frame is to be drawn, a change of screens runs or the
    // top screen moves; nothing when only input changes what is shown.
    std::optional<double> seconds_to_change() const;
    void draw_frame(Surface& surface);
    void mark_dirty() { m_dirty = true; }
    int dim_level() const { return m_dim_level; }
    bool transition_running() const { return m_transition != nullptr; }

    // --- Input from the window procedure, passed to the top screen ---
    void dispatch_pointer_move(const PointerEvent& event);
    bool dispatch_pointer_button(const PointerEvent& event);
    bool dispatch_key(const KeyEvent& event);
    bool dispatch_text(const std::u16string& text);
    bool dispatch_wheel(const WheelEvent& event);
    bool dispatch_pan(Point moved);

    // --- The window part ---
    void set_windowed_mode(bool task_bar_shown);
    void set_direct_mode(int orientation);
    void set_direct_input(bool on);
    // `field` null ends text input; `manage_control` keeps the field's text in step with
    // what is typed.
    void set_text_input(TextInputField* field, bool manage_control);
    TextInputField* focused_text_input() const;
    void move_text_input(TextInputField* field);
    ScreenArea client_area() const;
    void fit_to_client(Screen* screen);
    void minimize();
    // Posts the quit message (exit code 0).
    void quit();
    // The message loop; returns when the quit message arrives.
    void run();

    void add_orientation_listener(OrientationListener* listener);
    void remove_orientation_listener(OrientationListener* listener);
    const std::vector<OrientationListener*>& orientation_listeners() const {
        return m_orientation_listeners;
    }

    GameBase& window_part() { return *m_window_part; }
    Window& window();
    // Sets the picture the first overlay is drawn over (a copy of the screen before start).
    RenderSurface& snapshot() { return m_snapshot; }
    // The size of that picture; empty when there is none.
    Size snapshot_size() const { return m_snapshot.bitmap() ? m_snapshot.size() : Size{}; }
    // After a change of screen size: an overlay on top is drawn over a picture of the
    // screens below it taken again at the new size.
    void refresh_backdrop();

private:
    struct Entry {
        Screen* screen;
        bool overlay;
    };
    // Draws `screen` at client size into `target`.
    void picture_of(Screen* screen, RenderSurface& target);
    void snapshot_of(Screen* screen);
    void start_transition(int direction, Screen* pictured);
    void dim(Surface& surface, int level);
    void draw_performance_overlay(Surface& surface);

    Colour m_background{0, 0, 0, 255};
    ApplicationListener* m_listener = nullptr;
    std::u16string m_name;
    std::vector<Entry> m_stack;
    RenderSurface m_snapshot;
    int m_dim_level = 256;
    std::unique_ptr<ScreenAnimation> m_transition;
    Screen* m_transition_screen = nullptr;
    std::unique_ptr<GameBase> m_window_part;
    std::deque<uint32_t> m_frame_times;
    bool m_dirty = true;
    bool m_drew_last_frame = true;
    ElementKinds* m_kinds = nullptr;
    std::vector<OrientationListener*> m_orientation_listeners;
};

}  // namespace vistrel
