#include "shell/application.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "platform/trace.h"
#include "render/blit.h"
#include "render/pixel_op.h"
#include "render/span_op.h"
#include "shell/game_base.h"
#include "shell/overlay_text.h"

namespace vistrel {

namespace {

std::atomic<Application*> g_application{nullptr};

constexpr int kDimLowest = 128;
constexpr int kDimNone = 256;
constexpr int kDimStep = 16;
constexpr size_t kFrameTimesKept = 20;

}  // namespace

Application::Application(const std::u16string& name, std::unique_ptr<Window> window,
                         ElementKinds* kinds)
    : m_name(name), m_kinds(kinds) {
    Application* expected = nullptr;
    if (!g_application.compare_exchange_strong(expected, this))
        log_fatal("Application::Application", "instance != 0");
    if (m_kinds) m_kinds->register_kinds();
    m_window_part = std::make_unique<GameBase>(*this, name, std::move(window));
    trace() << "Application::Application() this=" << reinterpret_cast<uintptr_t>(this) << "\n";
}

Application::~Application() {
    trace() << "Application::~Application()\n";
    m_frame_times.clear();
    m_window_part.reset();
    m_transition.reset();
    m_snapshot.release();
    m_stack.clear();
    if (m_kinds) m_kinds->unregister_kinds();
    g_application.store(nullptr);
}

Application* Application::instance() {
    return g_application.load();
}

Window& Application::window() {
    return m_window_part->window();
}

Screen* Application::top_screen() const {
    return m_stack.empty() ? nullptr : m_stack.back().screen;
}

// --- The frame ---

void Application::update(double seconds) {
    if (m_transition) {
        m_transition->animate(seconds);
        if (m_transition->direction() == 0) {
            m_transition.reset();
            m_transition_screen = nullptr;
        }
        m_dirty = true;
        if (m_transition) return;
    }
    if (Screen* top = top_screen()) {
        fit_to_client(top);
        top->animate(seconds);
    }
}

bool Application::needs_redraw(bool include_last) const {
    if (const Screen* top = top_screen(); top && (top->dirty() || top->layout_pending()))
        return true;
    if (m_dirty) return true;
    return include_last && m_drew_last_frame;
}

std::optional<double> Application::seconds_to_change() const {
    if (m_transition || needs_redraw(true)) return 0.0;
    const Screen* top = top_screen();
    return top ? top->seconds_to_change() : 0.0;
}

void Application::dim(Surface& surface, int level) {
    if (level >= kDimNone || !surface.bitmap()) return;
    surface.apply({0, 0}, surface.bitmap()->size(), DimSpan(level));
}

void Application::draw_frame(Surface& surface) {
    m_drew_last_frame = needs_redraw(false);
    m_dirty = false;
    const Size size = surface.bitmap() ? surface.bitmap()->size() : Size{};
    const bool overlay_on_top = !m_stack.empty() && m_stack.back().overlay;
    if (m_transition) {
        surface.fill({0, 0}, size, m_background);
        m_transition->draw(surface, {0, 0});
    } else if (m_stack.empty()) {
        surface.fill({0, 0}, size, m_background);
    } else {
        Screen* top = m_stack.back().screen;
        fit_to_client(top);
        if (overlay_on_top) {
            if (const Bitmap* picture = m_snapshot.bitmap())
                blit(surface, {0, 0}, picture->size(), *picture, {0, 0}, CopyOp());
            else
                surface.fill({0, 0}, size, m_background);
            dim(surface, m_dim_level);
            if (m_dim_level != kDimLowest) {
                m_dirty = true;
                m_dim_level = std::max(kDimLowest, m_dim_level - kDimStep);
            }
        }
        top->draw(surface, {0, 0});
    }
    if (!overlay_on_top) {
        dim(surface, m_dim_level);
        if (m_dim_level != kDimNone) {
            m_dirty = true;
            m_dim_level = std::min(kDimNone, m_dim_level + kDimStep);
        }
    }
    if (trace().enabled()) draw_performance_overlay(surface);
}

void Application::draw_performance_overlay(Surface& surface) {
    m_frame_times.push_back(m_window_part->now());
    while (m_frame_times.size() > kFrameTimesKept)
        m_frame_times.pop_front();
    surface.apply({0, 0}, {150, 20}, DimSpan(128));
    if (m_frame_times.size() < 2) return;
    const bool extra = !m_drew_last_frame;
    const double m = static_cast<int32_t>(m_frame_times.back() - m_frame_times.front()) /
                     double(m_frame_times.size() - 1);
    const long tenths = static_cast<long>(m * 10);
    char text[64];
    std::snprintf(text, sizeof text, "%s%ld.%ld ms%s %lld Kp", extra ? "[" : "", tenths / 10,
                  tenths % 10, extra ? "]" : "",
                  static_cast<long long>(surface_pixel_count() / 1000));
    Colour colour{64, 255, 64, 255};
    if (m > 60) {
        colour = {255, 64, 64, 255};
    } else if (m > 40) {
        colour = {255, static_cast<uint8_t>(64 + 191 * (1 - (m - 40) * 0.05)), 64, 255};
    } else if (m > 20) {
        colour = {static_cast<uint8_t>(64 + 191 * (m - 20) * 0.05), 255, 64, 255};
    }
    ClipScope clip(surface, {0, 0}, {160, 20});
    draw_overlay_text(surface, {2, 5}, text, to_pixel(colour));
    if (extra) m_frame_times.clear();
}

// --- Screen stack ---

void Application::fit_to_client(Screen* screen) {
    if (!screen) return;
    const ScreenArea info = client_area();
    screen->set_x_extent(0, info.client_width);
    screen->set_y_extent(0, info.client_height);
}

void Application::picture_of(Screen* screen, RenderSurface& target) {
    const ScreenArea info = client_area();
    target.resize({info.client_width, info.client_height});
    if (!target.bitmap()) return;
    fit_to_client(screen);
    target.fill({0, 0}, target.size(), m_background);
    screen->draw(target, {0, 0});
}

void Application::snapshot_of(Screen* screen) {
    picture_of(screen, m_snapshot);
}

void Application::refresh_backdrop() {
    if (m_stack.empty() || !m_stack.back().overlay || !m_snapshot.bitmap()) return;
    const ScreenArea info = client_area();
    if (m_snapshot.size() == Size{info.client_width, info.client_height}) return;
    // The screen under the overlays, then the overlays between it and the top over it.
    size_t base = m_stack.size() - 1;
    while (base > 0 && m_stack[base].overlay)
        --base;
    if (m_stack[base].overlay) {
        m_snapshot.release();
        return;
    }
    snapshot_of(m_stack[base].screen);
    for (size_t i = base + 1; i + 1 < m_stack.size() && m_snapshot.bitmap(); ++i) {
        fit_to_client(m_stack[i].screen);
        m_stack[i].screen->draw(m_snapshot, {0, 0});
    }
    m_dirty = true;
}

void Application::start_transition(int direction, Screen* pictured) {
    RenderSurface picture;
    picture_of(pictured, picture);
    if (!picture.bitmap()) {
        m_transition.reset();
        m_transition_screen = nullptr;
        return;
    }
    m_transition->start(direction, *picture.bitmap(), m_snapshot.bitmap());
}

void Application::push_screen(Screen* screen, bool overlay) {
    if (!screen) return;
    m_dirty = true;
    fit_to_client(screen);
    if (m_stack.empty()) {
        screen->set_visible(true);
    } else if (overlay) {
        m_transition.reset();
        m_transition_screen = nullptr;
        Entry& top = m_stack.back();
        if (!top.overlay) snapshot_of(top.screen);
        top.screen->set_visible(false);
        screen->show_animated(true);
    } else {
        Entry& top = m_stack.back();
        if (m_transition && m_transition_screen == screen && m_transition->direction() < 0) {
            // The screen that was leaving comes back.
            top.screen->set_visible(false);
            screen->set_visible(true);
            m_transition->reverse();
        } else {
            m_transition.reset();
            m_transition_screen = nullptr;
            if (ScreenAnimation* animation = screen->animation()) {
                m_transition = animation->clone();
                m_transition_screen = screen;
            }
            if (top.overlay) {
                if (m_transition) {
                    RenderSurface fresh;
                    fresh.resize(m_snapshot.bitmap() ? m_snapshot.size()
                                                     : Size{client_area().client_width,
                                                            client_area().client_height});
                    if (fresh.bitmap()) {
                        if (const Bitmap* old = m_snapshot.bitmap())
                            blit(fresh, {0, 0}, old->size(), *old, {0, 0}, CopyOp());
                        else
                            fresh.fill({0, 0}, fresh.size(), m_background);
                        dim(fresh, m_dim_level);
                        top.screen->draw(fresh, {0, 0});
                    }
                    m_snapshot = std::move(fresh);
                } else {
                    m_snapshot.release();
                }
                m_dim_level = kDimNone;
            } else if (m_transition) {
                snapshot_of(top.screen);
            }
            top.screen->set_visible(false);
            screen->set_visible(true);
            if (m_transition) start_transition(+1, screen);
        }
    }
    m_stack.push_back({screen, overlay});
    if (m_listener) m_listener->on_screen_pushed(screen);
}

bool Application::remove_screen(Screen* screen) {
    auto it = std::find_if(m_stack.begin(), m_stack.end(),
                           [screen](const Entry& e) { return e.screen == screen; });
    if (it == m_stack.end()) return false;
    m_dirty = true;
    if (m_listener) m_listener->on_screen_removed(screen, 1);
    if (it + 1 != m_stack.end()) {
        screen->set_visible(false);
        m_stack.erase(it);
        return true;
    }
    const Entry removed = m_stack.back();
    m_stack.pop_back();
    if (m_stack.empty()) return true;
    Entry& top = m_stack.back();
    if (m_transition && m_transition_screen == screen && m_transition->direction() > 0) {
        // The screen that was arriving leaves again the way it came.
        m_transition->reverse();
        top.screen->set_visible(true);
    } else {
        m_transition.reset();
        m_transition_screen = nullptr;
        if (removed.overlay) {
            screen->set_visible(false);
            if (top.overlay) {
                top.screen->show_animated(true);
            } else {
                m_snapshot.release();
                top.screen->set_visible(true);
            }
        } else {
            if (ScreenAnimation* animation = screen->animation()) {
                m_transition = animation->clone();
                m_transition_screen = screen;
            }
            if (top.overlay) {
                for (auto below = m_stack.rbegin(); below != m_stack.rend(); ++below) {
                    if (!below->overlay) {
                        snapshot_of(below->screen);
                        break;
                    }
                }
                top.screen->show_animated(true);
            } else {
                top.screen->set_visible(true);
                if (m_transition) snapshot_of(top.screen);
            }
            if (m_transition) start_transition(-1, screen);
            screen->set_visible(false);
        }
    }
    fit_to_client(top.screen);
    return true;
}

// --- Input ---

void Application::dispatch_pointer_move(const PointerEvent& event) {
    if (Screen* top = top_screen()) top->on_pointer_move(event);
}

bool Application::dispatch_pointer_button(const PointerEvent& event) {
    Screen* top = top_screen();
    return top ? top->on_pointer_button(event) : true;
}

bool Application::dispatch_key(const KeyEvent& event) {
    Screen* top = top_screen();
    return top ? top->on_key(event) : true;
}

bool Application::dispatch_text(const std::u16string& text) {
    Screen* top = top_screen();
    return top ? top->on_text(text) : true;
}

bool Application::dispatch_wheel(const WheelEvent& event) {
    Screen* top = top_screen();
    return top && !m_transition && top->on_wheel(event);
}

bool Application::dispatch_pan(Point moved) {
    Screen* top = top_screen();
    return top && !m_transition && top->on_pan(moved);
}

// --- The window part ---

void Application::set_windowed_mode(bool task_bar_shown) {
    m_window_part->set_windowed_mode(task_bar_shown);
}
void Application::set_direct_mode(int orientation) {
    m_window_part->set_direct_mode(orientation);
}
void Application::set_direct_input(bool on) {
    m_window_part->set_direct_input(on);
}
void Application::set_text_input(TextInputField* field, bool manage_control) {
    m_window_part->set_text_input(field, manage_control);
}
TextInputField* Application::focused_text_input() const {
    return m_window_part->focused_text_input();
}
void Application::move_text_input(TextInputField* field) {
    m_window_part->move_text_input(field);
}
ScreenArea Application::client_area() const {
    return m_window_part->client_area();
}
void Application::minimize() {
    m_window_part->window().minimize();
}
void Application::run() {
    m_window_part->run();
}

void Application::quit() {
    WindowMessage message;
    message.kind = MessageKind::Quit;
    message.code = 0;
    m_window_part->window().post_message(std::move(message));
}

void Application::add_orientation_listener(OrientationListener* listener) {
    if (listener && std::find(m_orientation_listeners.begin(), m_orientation_listeners.end(),
                              listener) == m_orientation_listeners.end())
        m_orientation_listeners.push_back(listener);
}

void Application::remove_orientation_listener(OrientationListener* listener) {
    m_orientation_listeners.erase(
        std::remove(m_orientation_listeners.begin(), m_orientation_listeners.end(), listener),
        m_orientation_listeners.end());
}

}  // namespace vistrel
