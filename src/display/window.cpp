#include "display/window.h"

#include <algorithm>
#include <cmath>

#include "display/remap.h"
#include "display/rotate.h"
#include "platform/threads.h"

namespace vistrel {

uint32_t SystemClock::now() const {
    return tick_count();
}
void SystemClock::sleep(uint32_t milliseconds) {
    sleep_ms(milliseconds);
}

namespace {

Rect clip_rect(Rect a, Rect b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return r.empty() ? Rect{} : r;
}

// A view of the part `r` of a bitmap (r must lie inside it).
Bitmap view_of(const Bitmap& bitmap, Rect r) {
    auto* first = const_cast<Pixel*>(bitmap.row(r.top)) + r.left;
    return Bitmap(first, r.right - r.left, r.bottom - r.top, bitmap.pitch());
}

}  // namespace

Size Window::bounded_screen(Size panel) {
    Size size{std::clamp(panel.w, 1, kMaxScreenSide), std::clamp(panel.h, 1, kMaxScreenSide)};
    const int64_t area = int64_t(size.w) * size.h;
    if (area > kMaxScreenPixels) {
        const double shrink = std::sqrt(double(kMaxScreenPixels) / double(area));
        size.w = std::max(1, int(size.w * shrink));
        size.h = std::max(1, int(size.h * shrink));
    }
    return size;
}

Window::Window(const DeviceProfile& profile, Clock& clock) : m_profile(profile), m_clock(clock) {
    m_profile.screen = bounded_screen(m_profile.screen);
    m_profile.orientation &= 3;
    m_screen = Bitmap::create(m_profile.screen);
    if (!m_screen) log_fatal("Window::Window()", "no memory for the screen");
    m_screen->clear(0);
    // A window is created visible and active.
    WindowMessage activate;
    activate.kind = MessageKind::Activate;
    activate.code = 1;
    queue(std::move(activate));
}

Window::~Window() = default;

Size Window::screen_size() const {
    return turned_size(m_profile.screen, m_profile.orientation);
}

void Window::set_system_orientation(int orientation) {
    // Takes effect when the message is taken from the queue, so that input queued before
    // the turn is read in the orientation it was made in.
    WindowMessage message;
    message.kind = MessageKind::SettingChange;
    message.code = kSettingReset;
    message.orientation = orientation & 3;
    post_message(std::move(message));
}

void Window::resize_screen(Size panel) {
    const Size size = bounded_screen(panel);
    WindowMessage message;
    message.kind = MessageKind::SettingChange;
    message.code = kSettingReset;
    message.x = size.w;
    message.y = size.h;
    post_message(std::move(message));
}

void Window::apply_setting(const WindowMessage& message) {
    if (message.orientation >= 0) m_profile.orientation = message.orientation & 3;
    if (message.x < 1 || message.y < 1) return;
    const Size size = bounded_screen({message.x, message.y});
    if (size == m_screen->size()) return;
    // Without memory for the new size the screen keeps its old one.
    auto screen = Bitmap::create(size);
    if (!screen) return;
    screen->clear(0);
    m_screen = std::move(screen);
    m_profile.screen = size;
}

void Window::paint(const Bitmap& picture, Point position) {
    const Size logical = screen_size();
    const Rect placed{position.x, position.y, position.x + picture.width(),
                      position.y + picture.height()};
    const Rect shown = clip_rect(placed, {0, 0, logical.w, logical.h});
    if (shown.empty()) return;
    const Bitmap part = view_of(picture, {shown.left - position.x, shown.top - position.y,
                                          shown.right - position.x, shown.bottom - position.y});
    const int turn = (4 - m_profile.orientation) & 3;
    const Rect on_panel = turn_rect(shown, logical, turn);
    Bitmap target = view_of(*m_screen, on_panel);
    rotate_copy(part, {0, 0, part.width(), part.height()}, target, turn);
    screen_changed(on_panel);
}

bool Window::copy_screen(Bitmap& target) const {
    const int turn = m_profile.orientation;
    const Size logical = screen_size();
    if (target.size() == logical) {
        rotate_copy(*m_screen, {0, 0, m_screen->width(), m_screen->height()}, target, turn);
        return true;
    }
    auto turned = Bitmap::create(logical);
    if (!turned) return false;
    rotate_copy(*m_screen, {0, 0, m_screen->width(), m_screen->height()}, *turned, turn);
    const int w = std::min(target.width(), logical.w), h = std::min(target.height(), logical.h);
    for (int y = 0; y < h; ++y)
        std::copy_n(turned->row(y), w, target.row(y));
    return true;
}

void Window::add_hook(WindowHook* hook) {
    if (hook && std::find(m_hooks.begin(), m_hooks.end(), hook) == m_hooks.end())
        m_hooks.push_back(hook);
}

void Window::remove_hook(WindowHook* hook) {
    m_hooks.erase(std::remove(m_hooks.begin(), m_hooks.end(), hook), m_hooks.end());
}

void Window::dispatch(WindowMessage& message) {
    // A hook may remove itself while it runs.
    const std::vector<WindowHook*> hooks = m_hooks;
    for (WindowHook* hook : hooks)
        hook->hook_message(message);
    if (m_procedure) m_procedure->window_procedure(message);
}

void Window::post_message(WindowMessage message) {
    if (message.time == 0) message.time = m_clock.now();
    {
        std::lock_guard lock(m_queue_mutex);
        m_queue.push_back(std::move(message));
    }
    m_queue_cv.notify_all();
    wake_native();
}

void Window::queue(WindowMessage message) {
    message.time = m_clock.now();
    std::lock_guard lock(m_queue_mutex);
    m_queue.push_back(std::move(message));
}

bool Window::take_ready(WindowMessage& message) {
    {
        std::lock_guard lock(m_queue_mutex);
        if (!m_queue.empty()) {
            message = std::move(m_queue.front());
            m_queue.pop_front();
            if (message.kind == MessageKind::SettingChange) apply_setting(message);
            return true;
        }
    }
    const uint32_t now = m_clock.now();
    TimerEntry* due = nullptr;
    for (TimerEntry& timer : m_timers) {
        const int32_t late = static_cast<int32_t>(now - timer.next);
        if (late >= 0 && (!due || late > static_cast<int32_t>(now - due->next))) due = &timer;
    }
    if (!due) return false;
    // Like the system's timers, a late timer fires once, not once per missed period.
    due->next = now + due->period;
    message = WindowMessage{};
    message.kind = MessageKind::Timer;
    message.code = due->id;
    message.time = now;
    return true;
}

bool Window::peek_message(WindowMessage& message) {
    pump_native();
    return take_ready(message);
}

bool Window::get_message(WindowMessage& message, std::optional<uint32_t> deadline) {
    for (;;) {
        pump_native();
        if (take_ready(message)) return true;
        const uint32_t now = m_clock.now();
        std::optional<uint32_t> wait;
        if (deadline) {
            const int32_t left = static_cast<int32_t>(*deadline - now);
            if (left <= 0) return false;
            wait = static_cast<uint32_t>(left);
        }
        for (const TimerEntry& timer : m_timers) {
            const uint32_t left =
                static_cast<uint32_t>(std::max<int32_t>(0, static_cast<int32_t>(timer.next - now)));
            wait = wait ? std::min(*wait, left) : left;
        }
        if (m_clock.simulated() && wait) {
            {
                std::lock_guard lock(m_queue_mutex);
                if (!m_queue.empty()) continue;
            }
            m_clock.sleep(std::max<uint32_t>(*wait, 1));
        } else {
            wait_native(wait);
        }
    }
}

void Window::wait_native(std::optional<uint32_t> milliseconds) {
    std::unique_lock lock(m_queue_mutex);
    if (!m_queue.empty()) return;
    if (milliseconds)
        m_queue_cv.wait_for(lock, std::chrono::milliseconds(*milliseconds));
    else
        m_queue_cv.wait(lock);
}

void Window::set_timer(uint32_t id, uint32_t period_ms) {
    period_ms = std::max<uint32_t>(period_ms, 1);
    const uint32_t next = m_clock.now() + period_ms;
    for (TimerEntry& timer : m_timers) {
        if (timer.id == id) {
            timer.period = period_ms;
            timer.next = next;
            return;
        }
    }
    m_timers.push_back({id, period_ms, next});
}

void Window::kill_timer(uint32_t id) {
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(),
                                  [id](const TimerEntry& t) { return t.id == id; }),
                   m_timers.end());
}

bool Window::has_timer(uint32_t id) const {
    return std::any_of(m_timers.begin(), m_timers.end(),
                       [id](const TimerEntry& t) { return t.id == id; });
}

void Window::set_capture() {
    if (m_capture) return;
    m_capture = true;
    native_capture(true);
}

void Window::release_capture() {
    if (!m_capture) return;
    m_capture = false;
    native_capture(false);
    WindowMessage message;
    message.kind = MessageKind::CaptureChanged;
    message.time = m_clock.now();
    dispatch(message);
}

void Window::lose_capture() {
    if (!m_capture) return;
    m_capture = false;
    WindowMessage message;
    message.kind = MessageKind::CaptureChanged;
    queue(std::move(message));
}

void Window::native_key(uint32_t virtual_key, bool down, bool repeat) {
    WindowMessage message;
    message.kind = down ? MessageKind::KeyDown : MessageKind::KeyUp;
    message.code = remap_arrow_key(virtual_key, m_profile.orientation);
    message.repeat = down && repeat;
    queue(std::move(message));
}

void Window::native_pointer(MessageKind kind, Point panel_point) {
    queue(pointer_message(kind, panel_point));
}

WindowMessage Window::pointer_message(MessageKind kind, Point panel_point) const {
    const Size logical = screen_size();
    const Point p = remap_point(panel_point, m_profile.orientation, logical.w, logical.h);
    WindowMessage message;
    message.kind = kind;
    message.x = p.x;
    message.y = p.y;
    return message;
}

void Window::native_wheel(Point panel_point, double notches) {
    queue_amount(MessageKind::Wheel, panel_point, notches, 100);
}

void Window::native_pinch(Point panel_point, double levels) {
    queue_amount(MessageKind::Pinch, panel_point, levels, 8);
}

void Window::queue_amount(MessageKind kind, Point panel_point, double amount, double limit) {
    if (!std::isfinite(amount) || amount == 0) return;
    WindowMessage message = pointer_message(kind, panel_point);
    message.amount = std::clamp(amount, -limit, limit);
    queue(std::move(message));
}

void Window::native_pan(Point moved) {
    // A movement turns like a position about the origin.
    const Point zero = remap_point({0, 0}, m_profile.orientation, 0, 0);
    const Point p = remap_point(moved, m_profile.orientation, 0, 0);
    WindowMessage message;
    message.kind = MessageKind::Pan;
    message.x = p.x - zero.x;
    message.y = p.y - zero.y;
    queue(std::move(message));
}

void Window::native_text(const std::u16string& text) {
    for (char16_t unit : text) {
        WindowMessage message;
        message.kind = MessageKind::Char;
        message.code = unit;
        queue(std::move(message));
    }
}

}  // namespace vistrel
