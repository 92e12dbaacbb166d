#include "shell/game_base.h"

#include <algorithm>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "render/dib_bitmap.h"
#include "shell/application.h"

namespace vistrel {

namespace {

constexpr char16_t kEmptyCommandLine[] = u"%CommandLineEmpty%";

}  // namespace

BarHeights bar_heights(bool smartphone, int width, int dpi) {
    if (!smartphone) {
        const int a = dpi < 97 ? 26 : 52;
        return {a, a};
    }
    switch (width) {
        case 176:
            return {20, 20};
        case 240:
        case 320:
        case 400:
            return {27, 27};
        case 352:
            return {40, 40};
        case 480:
        case 640:
        case 800:
            return {54, 54};
        default:
            return {0, 0};
    }
}

// --- ApplicationBase ---

ApplicationBase::ApplicationBase(const std::u16string& name, std::unique_ptr<Window> window)
    : m_window(std::move(window)), m_class_name(u"DezivovClass_" + name), m_title(name) {
    m_scheduler = std::make_unique<CActiveScheduler>(*this);
}

ApplicationBase::~ApplicationBase() {
    m_scheduler.reset();
}

uint32_t ApplicationBase::now() {
    return m_window->clock().now();
}

void ApplicationBase::post_wake() {
    WindowMessage message;
    message.kind = MessageKind::User;
    message.code = kSchedulerMessage;
    m_window->post_message(std::move(message));
}

void ApplicationBase::start_timer(uint32_t milliseconds) {
    m_window->set_timer(kSchedulerTimer, milliseconds);
}

void ApplicationBase::stop_timer() {
    m_window->kill_timer(kSchedulerTimer);
}

// --- GameBase ---

GameBase::GameBase(Application& application, const std::u16string& name,
                   std::unique_ptr<Window> window)
    : ApplicationBase(name, std::move(window)), m_application(application) {
    m_last_frame_tick = now();
    read_dword(kTekuKey, kSipPreferenceValue, m_input_panel_wanted);
    trace() << tick_count() << " GameBase 0\n";
    trace() << tick_count() << " GameBase 1\n";
    Window& w = this->window();
    w.set_procedure(this);
    w.set_title(title());
    trace() << tick_count() << " GameBase 2\n";
    trace() << tick_count() << " GameBase 3\n";
    m_screen_info = read_screen_info();
    trace() << tick_count() << " GameBase 4\n";
    // The soft-key bar, the task bar and the input-panel button have nothing on screen
    // here; the bar is kept as state only and the window's layout is its client area.
    m_menu_resource = 1117;
    m_menu_bar_height = 0;
    trace() << tick_count() << " GameBase 5\n";
    w.set_timer(kFrameTimer, kFramePeriodMs);
    DibBitmap::set_screen_source([this](Bitmap& target) { return copy_screen(target); });
}

GameBase::~GameBase() {
    DibBitmap::set_screen_source({});
    window().kill_timer(kFrameTimer);
    window().set_procedure(nullptr);
    if (m_focused_field) window().stop_text_input();
    m_pending_command_lines.clear();
    m_back_buffer.release();
    m_display.reset();
}

ScreenArea GameBase::read_screen_info() const {
    ScreenArea info;
    const Size size = window().screen_size();
    info.width = size.w;
    info.height = size.h;
    info.dpi = window().profile().dpi;
    info.orientation = window().system_orientation();
    return info;
}

ScreenArea GameBase::client_area() const {
    ScreenArea info = m_screen_info;
    if (!m_windowed && !m_focused_field) {
        info.client_left = 0;
        info.client_top = 0;
        info.client_width = m_display_params.width;
        info.client_height = m_display_params.height;
        return info;
    }
    // No input panel is ever up on this platform, so the bottom bar is the top bar's twin.
    const BarHeights bars = bar_heights(window().profile().smartphone, info.width, info.dpi);
    info.client_left = 0;
    info.client_top = m_task_bar_shown ? bars.top : 0;
    info.client_width = std::max(0, info.width - info.client_left);
    info.client_height = std::max(0, info.height - bars.bottom - info.client_top);
    return info;
}

void GameBase::resolution_changed() {
    const ScreenArea info = read_screen_info();
    if (!(info == m_screen_info)) {
        // A new screen size (a resized window) needs a display made for it; a turn alone
        // is the listener's to follow.
        const bool resized = std::min(info.width, info.height) !=
                                 std::min(m_screen_info.width, m_screen_info.height) ||
                             std::max(info.width, info.height) !=
                                 std::max(m_screen_info.width, m_screen_info.height);
        if (resized && m_display && !m_windowed) {
            m_display.reset();
            m_display = Display::Create(window(), m_display_params);
            if (!m_display) trace() << "GameBase: no display for the new screen size\n";
            m_application.mark_dirty();
        }
        if (info.orientation != m_screen_info.orientation) {
            const auto listeners = m_application.orientation_listeners();
            for (OrientationListener* listener : listeners)
                listener->on_orientation_changed();
        }
        m_screen_info = info;
        trace() << "Application::ResolutionChanged 2\n";
        if (ApplicationListener* listener = m_application.listener())
            listener->on_resolution_changed();
        m_application.refresh_backdrop();
    }
}

void GameBase::destroy_window() {
    WindowMessage message;
    message.kind = MessageKind::Destroy;
    window().dispatch(message);
}

void GameBase::window_procedure(WindowMessage& message) {
    ApplicationListener* listener = m_application.listener();
    switch (message.kind) {
        case MessageKind::Destroy:
            m_application.quit();
            break;
        case MessageKind::Activate:
            handle_activate(message.code != 0);
            break;
        case MessageKind::Paint:
            if (!m_display) paint();
            break;
        case MessageKind::Close:
            if (!listener || listener->on_close_request()) destroy_window();
            break;
        case MessageKind::SettingChange:
            if (message.code == kSettingReset || message.code == kSettingWorkArea ||
                message.code == kSettingInputPanel)
                resolution_changed();
            break;
        case MessageKind::CopyData:
            queue_command_line(message.text);
            break;
        case MessageKind::Help:
            if (listener) listener->on_help();
            break;
        case MessageKind::KeyDown:
        case MessageKind::KeyUp:
            handle_key(message);
            break;
        case MessageKind::Char:
            handle_char(static_cast<char16_t>(message.code & 0xFFFF));
            break;
        case MessageKind::EditChanged:
            if (m_focused_field) m_focused_field->set_text(message.text);
            break;
        case MessageKind::Timer:
            handle_timer(message.code);
            break;
        case MessageKind::PointerMove:
        case MessageKind::ButtonDown:
        case MessageKind::ButtonUp:
        case MessageKind::CaptureChanged:
            handle_pointer(message);
            break;
        case MessageKind::HotKey:
            handle_hot_key(message);
            break;
        case MessageKind::Wheel:
        case MessageKind::Pinch:
            handle_wheel(message);
            break;
        case MessageKind::Pan:
            m_application.dispatch_pan({message.x, message.y});
            break;
        case MessageKind::User:
            handle_user_message(message.code);
            break;
        default:
            break;
    }
}

void GameBase::handle_activate(bool active) {
    ApplicationListener* listener = m_application.listener();
    m_inactive = !active;
    if (active) {
        m_last_frame_tick = now();
        if (listener) listener->on_activated();
    } else {
        if (listener) listener->on_deactivated();
    }
}

// A command line handed over by another start of the program: kept, and delivered from the
// queue so that the sender is not held up by its handling.
void GameBase::queue_command_line(const std::u16string& text) {
    m_pending_command_lines.push_back(text == kEmptyCommandLine ? std::u16string() : text);
    WindowMessage note;
    note.kind = MessageKind::User;
    note.code = kCommandLineMessage;
    window().post_message(std::move(note));
}

void GameBase::handle_char(char16_t c) {
    trace() << "WM_CHAR=" << std::u16string(1, c) << " lParam=" << 1 << " ticks=" << tick_count()
            << "\n";
    if (c < 32) return;
    if (m_focused_field && m_manage_control) {
        m_bridge_text.push_back(c);
        bridge_changed();
    } else {
        m_application.dispatch_text(std::u16string(1, c));
    }
}

void GameBase::handle_timer(uint32_t timer) {
    if (timer == kFrameTimer) {
        if (m_display) return;
        if (!m_inactive) {
            windowed_frame_step();
        } else {
            // An inactive window steps no frames: it rests until a message comes.
            window().kill_timer(kFrameTimer);
            m_resting = true;
        }
    } else if (timer == kSchedulerTimer) {
        scheduler().timed_step();
    }
}

void GameBase::handle_pointer(const WindowMessage& message) {
    switch (message.kind) {
        case MessageKind::PointerMove:
            m_application.dispatch_pointer_move({message.x, message.y, message.time});
            break;
        case MessageKind::ButtonDown:
            m_release_x = kNoRelease;
            m_release_y = kNoRelease;
            window().set_capture();
            m_application.dispatch_pointer_button(
                {message.x, message.y, message.time, true, false});
            break;
        case MessageKind::ButtonUp:
            m_release_x = message.x;
            m_release_y = message.y;
            // The release itself is delivered by the capture change that follows.
            window().release_capture();
            break;
        case MessageKind::CaptureChanged: {
            const bool cancelled = m_release_x == kNoRelease && m_release_y == kNoRelease;
            m_application.dispatch_pointer_button(
                {m_release_x, m_release_y, message.time, false, cancelled});
            break;
        }
        default:
            break;
    }
}

void GameBase::deliver_command_lines() {
    for (size_t i = 0; i < m_pending_command_lines.size(); ++i) {
        WindowMessage note;
        note.kind = MessageKind::User;
        note.code = kCommandLineMessage;
        window().post_message(std::move(note));
    }
}

void GameBase::handle_hot_key(const WindowMessage& message) {
    const KeyEvent event{key_from_virtual_key(message.code), !message.key_up, true};
    trace() << "WM_HOTKEY = " << message.code << "(" << KeyName{event.code} << ")"
            << " lParam=" << (message.key_up ? 0x1000 : 0) << " ticks=" << tick_count() << "\n";
    m_application.dispatch_key(event);
}

void GameBase::handle_user_message(uint32_t code) {
    if (code == kCommandLineMessage) {
        // Without a listener yet (the splash is still up) the text waits for one.
        ApplicationListener* listener = m_application.listener();
        if (m_pending_command_lines.empty() || !listener) return;
        std::u16string text = std::move(m_pending_command_lines.front());
        m_pending_command_lines.pop_front();
        listener->on_command_line(text);
    } else if (code == kSchedulerMessage) {
        scheduler().process_actives();
    }
}

void GameBase::handle_wheel(const WindowMessage& message) {
    WheelEvent event;
    event.x = message.x;
    event.y = message.y;
    event.notches = message.amount;
    event.ctrl = m_ctrl_down;
    event.pinch = message.kind == MessageKind::Pinch;
    m_application.dispatch_wheel(event);
}

void GameBase::handle_key(const WindowMessage& message) {
    const bool down = message.kind == MessageKind::KeyDown;
    if (key_from_virtual_key(message.code) == key::Ctrl) m_ctrl_down = down;
    if (m_focused_field && m_manage_control && bridge_key(message)) return;
    const KeyEvent event{key_from_virtual_key(message.code), down, down ? !message.repeat : true,
                         m_ctrl_down};
    const uint32_t lparam = 1u | (message.repeat ? 0x40000000u : 0u) | (down ? 0u : 0xC0000000u);
    trace() << (down ? "WM_KEYDOWN = " : "WM_KEYUP = ") << message.code << "("
            << KeyName{event.code} << ")"
            << " lParam=" << lparam << " ticks=" << tick_count() << "\n";
    ApplicationListener* listener = m_application.listener();
    if (!listener || !listener->on_key_filter(event)) m_application.dispatch_key(event);
}

// While the bridge holds the text, editing keys change it instead of reaching the screens,
// as they would go to a focused edit control.
bool GameBase::bridge_key(const WindowMessage& message) {
    constexpr uint32_t kBackspace = 8, kReturn = 13;
    if (message.code == kBackspace) {
        if (message.kind == MessageKind::KeyDown && !m_bridge_text.empty()) {
            size_t cut = m_bridge_text.size() - 1;
            // A surrogate pair goes as one character.
            if (cut > 0 && m_bridge_text[cut] >= 0xDC00 && m_bridge_text[cut] <= 0xDFFF &&
                m_bridge_text[cut - 1] >= 0xD800 && m_bridge_text[cut - 1] <= 0xDBFF)
                --cut;
            m_bridge_text.erase(cut);
            bridge_changed();
        }
        return true;
    }
    if (message.code == kReturn && m_focused_field->multi_line()) {
        if (message.kind == MessageKind::KeyDown) {
            m_bridge_text.push_back(u'\n');
            bridge_changed();
        }
        return true;
    }
    return false;
}

void GameBase::bridge_changed() {
    WindowMessage changed;
    changed.kind = MessageKind::EditChanged;
    changed.text = m_bridge_text;
    window().dispatch(changed);
}

void GameBase::set_windowed_mode(bool task_bar_shown) {
    if (m_windowed && m_task_bar_shown == task_bar_shown) return;
    m_windowed = true;
    m_task_bar_shown = task_bar_shown;
    if (m_focused_field) return;
    m_application.mark_dirty();
    m_display.reset();
    window().set_timer(kFrameTimer, kFramePeriodMs);
}

void GameBase::set_direct_mode(int orientation) {
    if (!m_windowed && m_display_params.orientation == orientation && m_display) return;
    m_display_params.orientation = orientation;
    m_windowed = false;
    m_display.reset();
    if (m_focused_field) return;
    m_application.mark_dirty();
    m_display = Display::Create(window(), m_display_params);
    if (!m_display) trace() << "GameBase: no display for orientation " << orientation << "\n";
    if (m_application.screen_count() == 0) {
        // The first overlay is drawn over a dimming picture of what the screen showed.
        const Size size = window().screen_size();
        RenderSurface& snapshot = m_application.snapshot();
        snapshot.resize(m_display ? Size{m_display->width(), m_display->height()} : size);
        if (Bitmap* bitmap = snapshot.bitmap()) window().copy_screen(*bitmap);
    }
    window().kill_timer(kFrameTimer);
    m_last_frame_tick = now();
}

void GameBase::set_direct_input(bool on) {
    // Direct hardware-key input has no counterpart: every key arrives as a key message.
    m_direct_input = on;
}

void GameBase::set_text_input(TextInputField* field, bool manage_control) {
    if ((field != nullptr) == (m_focused_field != nullptr)) {
        m_focused_field = field;
        m_manage_control = manage_control;
        if (field && manage_control) m_bridge_text = field->text();
        return;
    }
    m_focused_field = field;
    m_manage_control = manage_control;
    m_application.mark_dirty();
    if (field) {
        m_display.reset();
        window().set_timer(kFrameTimer, kFramePeriodMs);
    } else if (!m_windowed) {
        m_display = Display::Create(window(), m_display_params);
        window().kill_timer(kFrameTimer);
    }
    if (field) {
        window().start_text_input(field->input_rect());
    } else {
        // No input panel shows on this platform; the preference is kept as it was.
        write_dword(kTekuKey, kSipPreferenceValue, m_input_panel_wanted);
        window().stop_text_input();
    }
    if (!manage_control) return;
    if (field) {
        m_bridge_text = field->text();
    } else {
        m_bridge_text.clear();
    }
}

void GameBase::move_text_input(TextInputField* field) {
    if (field && field == m_focused_field && m_manage_control)
        window().start_text_input(field->input_rect());
}

const Bitmap& GameBase::shown_screen() const {
    if (m_display && m_display->shown()) return *m_display->shown();
    return window().screen();
}

bool GameBase::copy_screen(Bitmap& target) const {
    if (m_display) return m_display->copy_screen(target);
    return window().copy_screen(target);
}

}  // namespace vistrel
