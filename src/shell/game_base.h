#pragma once
// The application's window part: the one window and its window procedure, the message
// loop, the display mode (windowed drawing every 40 ms, or direct drawing into the display
// only when something changed), the client area, the text-input bridge, and the
// active-object scheduler.
//
// While anything moves, the loop (frame_loop.cpp) steps the frames at its frame rate. Once
// the screens are still, the background work is done and a script waits for time rather
// than frames, it rests: it waits for a message or for the moment the screens said they
// change next, and the frame step after the rest hands the time rested to the screens, so
// timers keep time.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "display/display.h"
#include "display/window.h"
#include "platform/threads.h"
#include "render/render_surface.h"
#include "shell/active.h"
#include "shell/application_listener.h"
#include "shell/frame_stats.h"
#include "shell/screen.h"

namespace vistrel {

class Application;
class ScriptPlayer;

// The screen as the system reports it, and the part of it the application draws in.
struct ScreenArea {
    int width = 0;
    int height = 0;
    int client_left = 0;
    int client_top = 0;
    int client_width = 0;
    int client_height = 0;
    int orientation = 4;  // 0..3; 4 = not yet known
    int dpi = 0;
    friend bool operator==(const ScreenArea&, const ScreenArea&) = default;
};

// The heights of the top and bottom bars of a device class at a screen width.
struct BarHeights {
    int top = 0;
    int bottom = 0;
};
BarHeights bar_heights(bool smartphone, int screen_width, int dpi);

// Private messages and timers of the window.
inline constexpr uint32_t kCommandLineMessage = 1058;
inline constexpr uint32_t kSchedulerMessage = 1029;
// Posted from other threads only to end a rest of the frame loop; it does nothing itself.
inline constexpr uint32_t kWakeMessage = 1030;
inline constexpr uint32_t kFrameTimer = 1;
inline constexpr uint32_t kSchedulerTimer = 2;
inline constexpr uint32_t kFramePeriodMs = 40;
inline constexpr uint32_t kDirectPollMs = 10;
// Frame steps in a row that find everything still before the loop rests: events the
// background work left behind are taken first.
inline constexpr int kStillStepsBeforeRest = 3;
// The longest time one frame step is given after a rest.
inline constexpr double kLongestRestSeconds = 3600;
// The release position meaning "no release seen".
inline constexpr int kNoRelease = -1000000;

// Holds the scheduler; one instance.
class ApplicationBase : private Singleton<ApplicationBase>, public SchedulerHost {
public:
    ApplicationBase(const std::u16string& name, std::unique_ptr<Window> window);
    ~ApplicationBase() override;

    Window& window() { return *m_window; }
    const Window& window() const { return *m_window; }
    const std::u16string& window_class_name() const { return m_class_name; }
    const std::u16string& title() const { return m_title; }
    CActiveScheduler& scheduler() { return *m_scheduler; }

    uint32_t now() override;
    void post_wake() override;
    void start_timer(uint32_t milliseconds) override;
    void stop_timer() override;

private:
    std::unique_ptr<Window> m_window;  // outlives the scheduler
    std::u16string m_class_name;
    std::u16string m_title;
    std::unique_ptr<CActiveScheduler> m_scheduler;
};

class GameBase final : public ApplicationBase, public WindowProcedure {
public:
    GameBase(Application& application, const std::u16string& name, std::unique_ptr<Window> window);
    ~GameBase() override;

    Display* display() { return m_display.get(); }
    bool windowed() const { return m_windowed; }
    bool inactive() const { return m_inactive; }
    const DisplayParams& display_params() const { return m_display_params; }

    void window_procedure(WindowMessage& message) override;
    void run();
    // The frame step of direct mode: update, and draw into the display when needed.
    void direct_frame_step();
    // Frame steps taken so far (either mode).
    uint64_t frame_steps() const { return m_frame_steps; }
    uint64_t frames_drawn() const { return m_frames_drawn; }
    // Processor time and frame counts for the script step `stats`.
    const FrameStats& stats() const { return m_stats; }
    // Starts the frame figures afresh (`stats FILE reset`).
    void reset_stats() { m_stats.reset(); }
    Application& application() { return m_application; }

    void set_windowed_mode(bool task_bar_shown);
    void set_direct_mode(int orientation);
    void set_direct_input(bool on);
    void set_text_input(TextInputField* field, bool manage_control);
    TextInputField* focused_text_input() const { return m_focused_field; }
    void move_text_input(TextInputField* field);
    ScreenArea client_area() const;
    const ScreenArea& screen_info() const { return m_screen_info; }
    // Reads the screen again and tells the listeners when it changed.
    void resolution_changed();
    void destroy_window();
    // Hands the command lines that arrived while there was no listener to the listener.
    void deliver_command_lines();

    // The frame as the user sees it (the output's own orientation).
    const Bitmap& shown_screen() const;
    // The screen in the system's orientation, as much as fits into `target`.
    bool copy_screen(Bitmap& target) const;

    // Drives the loop from a script; null for none. Not owned.
    void set_script(ScriptPlayer* script) { m_script = script; }

private:
    ScreenArea read_screen_info() const;
    void windowed_frame_step();
    // Update, and draw when needed; true when a frame was drawn.
    bool direct_frame();
    // Updates the screens for the time since the last frame step, kept short; after a rest
    // the time rested first, less one `period`, so that timers keep time and what they
    // start moves from there at the frame rate.
    void update_screens(uint32_t period);
    // After a frame step: true when the loop may rest, `until` then when the rest ends
    // (nothing: at the next message). Rests shorter than `period` are not taken.
    bool may_rest(uint32_t period, std::optional<uint32_t>& until);
    // Whether the script needs frame steps within `period` (it counts frames, settles,
    // sleeps, or has a step due); `due` is when it waits for, when it does.
    bool script_wants_frames(uint32_t period, std::optional<uint32_t>& due);
    // In windowed mode: rests with the frame timer set to the rest's end, or stopped.
    void rest_windowed();
    // A message came while resting: the screens catch up with the time rested before it is
    // dispatched, and the frames go on at their rate.
    void end_rest();
    void paint();
    // The handlers of window_procedure, one per kind of message.
    void handle_activate(bool active);
    void queue_command_line(const std::u16string& text);
    void handle_char(char16_t c);
    void handle_timer(uint32_t timer);
    void handle_pointer(const WindowMessage& message);
    void handle_hot_key(const WindowMessage& message);
    void handle_user_message(uint32_t code);
    void handle_key(const WindowMessage& message);
    void handle_wheel(const WindowMessage& message);
    bool bridge_key(const WindowMessage& message);
    void bridge_changed();

    Application& m_application;
    std::unique_ptr<Display> m_display;
    RenderSurface m_back_buffer;
    TextInputField* m_focused_field = nullptr;
    bool m_manage_control = false;
    std::u16string m_bridge_text;
    bool m_inactive = false;
    int m_release_x = kNoRelease;
    int m_release_y = kNoRelease;
    uint32_t m_input_panel_wanted = 0;
    int m_menu_bar_height = 0;
    int m_menu_resource = 0;
    uint32_t m_last_frame_tick = 0;
    bool m_windowed = true;
    bool m_task_bar_shown = true;
    bool m_direct_input = true;
    bool m_ctrl_down = false;  // for Ctrl with the wheel
    DisplayParams m_display_params{0, 0, 0, 1};
    std::deque<std::u16string> m_pending_command_lines;
    ScreenArea m_screen_info;
    ScriptPlayer* m_script = nullptr;
    uint64_t m_frame_steps = 0;
    uint64_t m_frames_drawn = 0;
    bool m_resting = false;
    std::optional<uint32_t> m_rest_change;  // when the screens change, by their last word
    int m_still_steps = 0;  // frame steps in a row that found everything still
    FrameStats m_stats;
};

}  // namespace vistrel
