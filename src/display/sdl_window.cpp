#include "display/sdl_window.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "display/sdl_keys.h"
#include "display/sdl_window_place.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace vistrel {

struct SdlWindow::Native {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    // Without a renderer the screen is copied into the window's own surface; `shown` is
    // where the panel appears in it.
    bool window_surface = false;
    SDL_Rect shown{0, 0, 0, 0};
    Uint32 wake_event = 0;
    bool sdl_started = false;
    bool follow = false;
    Size texture_size;
    WindowPlace place;
    // Two fingers down: pinch and pan come from SDL's gestures.
    int fingers = 0;
    bool drop_taken = false;  // a file of the drop under way was opened

    ~Native() {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        if (sdl_started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

namespace {

// A window size that shows the panel whole on the desktop, at a whole multiple when it fits.
void window_size(Size panel, int& width, int& height) {
    width = panel.w;
    height = panel.h;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0) return;
    const double room_w = mode.w * 0.9, room_h = mode.h * 0.85;
    const double fit = std::min(room_w / panel.w, room_h / panel.h);
    const double zoom = fit >= 2 ? double(int(fit)) : fit >= 1 ? 1.0 : fit;
    width = std::max(1, int(panel.w * zoom));
    height = std::max(1, int(panel.h * zoom));
}

// Whether to present through the window's surface instead of a renderer: the setting
// VISTREL_PRESENT ("surface" or "renderer"), else when the machine has no GPU render node,
// where a renderer would load a software rasteriser of its own.
bool present_through_surface() {
    const char* setting = SDL_getenv("VISTREL_PRESENT");
    if (setting && std::string(setting) == "surface") return true;
    if (setting && std::string(setting) == "renderer") return false;
    for (int node = 128; node < 136; ++node)
        if (access(("/dev/dri/renderD" + std::to_string(node)).c_str(), R_OK | W_OK) == 0)
            return false;
    return true;
}

// The largest rectangle of the panel's shape centred in the window.
SDL_Rect fitted(Size panel, int width, int height) {
    if (panel.w < 1 || panel.h < 1 || width < 1 || height < 1) return {0, 0, 0, 0};
    const double scale = std::min(double(width) / panel.w, double(height) / panel.h);
    const int w = std::max(1, int(panel.w * scale)), h = std::max(1, int(panel.h * scale));
    return {(width - w) / 2, (height - h) / 2, w, h};
}

}  // namespace

std::unique_ptr<SdlWindow> SdlWindow::create(const DeviceProfile& profile, Clock& clock,
                                             const std::u16string& title,
                                             const SdlWindowSetup& setup) {
    auto native = std::make_unique<Native>();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        trace() << "SdlWindow: no desktop: " << SDL_GetError() << "\n";
        return nullptr;
    }
    native->sdl_started = true;
    // Without a desktop SDL falls back to drawing nowhere; unless that was asked for, there
    // is no window a user could see.
    const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
    if ((driver == "offscreen" || driver == "dummy") && !(chosen && driver == chosen)) {
        trace() << "SdlWindow: no desktop: only the " << driver << " video driver\n";
        return nullptr;
    }
    DeviceProfile shown = profile;
    WindowPlace place;
    place.x = place.y = SDL_WINDOWPOS_CENTERED;
    native->follow = setup.follow_window;
    if (setup.follow_window) {
        const int scale = desktop_scale();
        if (!setup.dpi_given) shown.dpi = 96 * scale;
        place = opening_place(setup.place, scale);
        shown.screen = bounded_screen({place.width, place.height});
        shown.orientation = 0;
    } else {
        window_size(profile.screen, place.width, place.height);
    }
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (place.maximized) flags |= SDL_WINDOW_MAXIMIZED;
    native->window = SDL_CreateWindow(to_utf8(title).c_str(), place.x, place.y, place.width,
                                      place.height, flags);
    if (!native->window) return nullptr;
    native->window_surface = present_through_surface();
    if (!native->window_surface) {
        native->renderer = SDL_CreateRenderer(native->window, -1, 0);
        if (!native->renderer)
            native->renderer = SDL_CreateRenderer(native->window, -1, SDL_RENDERER_SOFTWARE);
        native->window_surface = !native->renderer;
    }
    if (native->window_surface) {
        // The window's own pixels, without a texture behind them (which would load GL).
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (!SDL_GetWindowSurface(native->window)) return nullptr;
    }
    trace() << "SdlWindow: presenting through "
            << (native->window_surface ? "the window surface\n" : "a renderer\n");
    native->wake_event = SDL_RegisterEvents(1);
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    auto window = std::unique_ptr<SdlWindow>(new SdlWindow(shown, clock, std::move(native)));
    if (!window->m_native->window_surface && !window->fit_texture()) return nullptr;
    window->note_place();
    if (setup.follow_window) {
        // A window manager may have given another size than asked (a maximised window).
        int w = 0, h = 0;
        SDL_GetWindowSize(window->m_native->window, &w, &h);
        if (w > 0 && h > 0 && Size{w, h} != window->screen().size())
            window->resize_screen({w, h});
    }
    window->repaint_screen();
    return window;
}

bool SdlWindow::fit_texture() {
    Native& n = *m_native;
    const Size size = screen().size();
    if (n.texture && n.texture_size == size) return true;
    if (n.texture) SDL_DestroyTexture(n.texture);
    // Keeps the panel's shape in the window; pointer positions arrive in panel pixels.
    SDL_RenderSetLogicalSize(n.renderer, size.w, size.h);
    n.texture = SDL_CreateTexture(n.renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                  size.w, size.h);
    n.texture_size = n.texture ? size : Size{};
    if (!n.texture) trace() << "SdlWindow: no texture of " << size.w << "x" << size.h << "\n";
    return n.texture != nullptr;
}

WindowPlace SdlWindow::place() const {
    WindowPlace place = m_native->place;
    const Uint32 flags = SDL_GetWindowFlags(m_native->window);
    place.maximized = (flags & SDL_WINDOW_MAXIMIZED) != 0;
    return place;
}

void SdlWindow::note_place() {
    const Uint32 flags = SDL_GetWindowFlags(m_native->window);
    if (flags & (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MINIMIZED)) return;
    WindowPlace& place = m_native->place;
    SDL_GetWindowPosition(m_native->window, &place.x, &place.y);
    SDL_GetWindowSize(m_native->window, &place.width, &place.height);
}

void SdlWindow::set_full_screen(bool on) {
    if (SDL_SetWindowFullscreen(m_native->window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        trace() << "SdlWindow: no full screen: " << SDL_GetError() << "\n";
        return;
    }
    Window::set_full_screen(on);
}

SdlWindow::SdlWindow(const DeviceProfile& profile, Clock& clock, std::unique_ptr<Native> native)
    : Window(profile, clock), m_native(std::move(native)) {}

SdlWindow::~SdlWindow() = default;

void SdlWindow::screen_changed(Rect rect) {
    const Bitmap& pixels = screen();
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    rect.right = std::min(rect.right, pixels.width());
    rect.bottom = std::min(rect.bottom, pixels.height());
    if (m_native->window_surface) {
        if (!rect.empty()) copy_to_window(rect);
        return;
    }
    if (!fit_texture()) return;
    if (!rect.empty()) {
        const SDL_Rect area{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
        SDL_UpdateTexture(m_native->texture, &area, pixels.row(rect.top) + rect.left,
                          pixels.pitch());
    }
    present();
}

bool SdlWindow::copy_to_window(Rect rect) {
    SDL_Surface* target = SDL_GetWindowSurface(m_native->window);
    Bitmap& pixels = screen();
    if (!target || pixels.width() < 1 || pixels.height() < 1) return false;
    const SDL_Rect shown = fitted(pixels.size(), target->w, target->h);
    const bool moved = shown.x != m_native->shown.x || shown.y != m_native->shown.y ||
                       shown.w != m_native->shown.w || shown.h != m_native->shown.h;
    m_native->shown = shown;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        pixels.pixels(), pixels.width(), pixels.height(), 16, pixels.pitch(),
        SDL_PIXELFORMAT_RGB565);
    if (!source) return false;
    if (moved) {
        SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
        rect = {0, 0, pixels.width(), pixels.height()};
    }
    if (shown.w == pixels.width() && shown.h == pixels.height()) {
        SDL_Rect from{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
        SDL_Rect to{shown.x + rect.left, shown.y + rect.top, from.w, from.h};
        SDL_BlitSurface(source, &from, target, &to);
        if (moved)
            SDL_UpdateWindowSurface(m_native->window);
        else
            SDL_UpdateWindowSurfaceRects(m_native->window, &to, 1);
    } else {
        SDL_Rect to = shown;
        SDL_BlitScaled(source, nullptr, target, &to);
        SDL_UpdateWindowSurface(m_native->window);
    }
    SDL_FreeSurface(source);
    return true;
}

Point SdlWindow::panel_point(int x, int y) const {
    const SDL_Rect& shown = m_native->shown;
    if (!m_native->window_surface || shown.w < 1 || shown.h < 1) return {x, y};
    const Size panel = screen().size();
    return {int(int64_t(x - shown.x) * panel.w / shown.w),
            int(int64_t(y - shown.y) * panel.h / shown.h)};
}

void SdlWindow::present() {
    if (m_native->window_surface) {
        m_native->shown = {0, 0, 0, 0};  // the window may have a new surface: copy it all
        copy_to_window({0, 0, screen().width(), screen().height()});
        return;
    }
    if (!fit_texture()) return;
    SDL_SetRenderDrawColor(m_native->renderer, 0, 0, 0, 255);
    SDL_RenderClear(m_native->renderer);
    SDL_RenderCopy(m_native->renderer, m_native->texture, nullptr, nullptr);
    SDL_RenderPresent(m_native->renderer);
}

void SdlWindow::minimize() {
    Window::minimize();
    SDL_MinimizeWindow(m_native->window);
}

void SdlWindow::restore() {
    Window::restore();
    SDL_RestoreWindow(m_native->window);
    SDL_RaiseWindow(m_native->window);
}

void SdlWindow::show_message_box(const std::u16string& caption, const std::u16string& text) {
    // The box names the window as its parent, so that raising the window raises the box.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, to_utf8(caption).c_str(),
                             to_utf8(text).c_str(), m_native->window);
}

void SdlWindow::start_text_input(Rect area) {
    Window::start_text_input(area);
    SDL_Rect r{area.left, area.top, area.right - area.left, area.bottom - area.top};
    SDL_SetTextInputRect(&r);
    SDL_StartTextInput();
}

void SdlWindow::stop_text_input() {
    Window::stop_text_input();
}

void SdlWindow::set_title(const std::u16string& title) {
    SDL_SetWindowTitle(m_native->window, to_utf8(title).c_str());
}

void SdlWindow::native_capture(bool on) {
    SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE);
}

void SdlWindow::pump_native() {
    SDL_Event event;
    while (SDL_PollEvent(&event))
        translate(&event);
}

void SdlWindow::wait_native(std::optional<uint32_t> milliseconds) {
    SDL_Event event;
    const int timeout = milliseconds ? int(std::min<uint32_t>(*milliseconds, 1u << 30)) : -1;
    if (SDL_WaitEventTimeout(&event, timeout)) translate(&event);
}

void SdlWindow::wake_native() {
    SDL_Event event{};
    event.type = m_native->wake_event;
    SDL_PushEvent(&event);
}

void SdlWindow::translate_window_event(const void* native_event) {
    const SDL_WindowEvent& event = *static_cast<const SDL_WindowEvent*>(native_event);
    WindowMessage message;
    switch (event.event) {
        case SDL_WINDOWEVENT_CLOSE:
            message.kind = MessageKind::Close;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            note_place();
            // The panel follows the window; every screen is laid out at the new size.
            if (m_native->follow && event.data1 > 0 && event.data2 > 0)
                resize_screen({event.data1, event.data2});
            present();
            message.kind = MessageKind::Paint;
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            present();
            message.kind = MessageKind::Paint;
            break;
        case SDL_WINDOWEVENT_MOVED:
            note_place();
            return;
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN:
            message.kind = MessageKind::Activate;
            message.code = 0;
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
            message.kind = MessageKind::Activate;
            message.code = 1;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            lose_capture();
            return;
        default:
            return;
    }
    queue(std::move(message));
}

// Two fingers: SDL's gesture gives the change of their distance (a fraction of the window's
// diagonal) and their centre; a pinch zooms, a move of the centre pans.
void SdlWindow::translate_finger(const void* native_event) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(native_event);
    if (event.type == SDL_FINGERDOWN) {
        m_native->fingers = std::min(m_native->fingers + 1, 10);
        return;
    }
    if (event.type == SDL_FINGERUP) {
        m_native->fingers = std::max(m_native->fingers - 1, 0);
        return;
    }
    if (event.type != SDL_MULTIGESTURE || event.mgesture.numFingers != 2) return;
    const Size panel = screen().size();
    const Point centre{int(event.mgesture.x * panel.w), int(event.mgesture.y * panel.h)};
    const float spread = event.mgesture.dDist;
    if (std::isfinite(spread) && std::abs(spread) > 0.002f) native_pinch(centre, spread * 8.0);
}

void SdlWindow::translate(const void* native_event) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(native_event);
    WindowMessage message;
    switch (event.type) {
        case SDL_QUIT:
            message.kind = MessageKind::Close;
            queue(std::move(message));
            return;
        case SDL_WINDOWEVENT:
            translate_window_event(&event.window);
            return;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const uint32_t vk = virtual_key_from_sdl(event.key.keysym.sym);
            if (vk) native_key(vk, event.type == SDL_KEYDOWN, event.key.repeat != 0);
            return;
        }
        case SDL_TEXTINPUT:
            native_text(from_utf8(event.text.text));
            return;
        case SDL_MOUSEMOTION:
            if (event.motion.which == SDL_TOUCH_MOUSEID && m_native->fingers >= 2) {
                // The second finger pans instead of dragging.
                native_pan({event.motion.xrel, event.motion.yrel});
                return;
            }
            native_pointer(MessageKind::PointerMove, panel_point(event.motion.x, event.motion.y));
            return;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_RIGHT) {
                // A right click is the context-menu key where the pointer is.
                native_pointer(MessageKind::PointerMove,
                               panel_point(event.button.x, event.button.y));
                native_key(93, event.type == SDL_MOUSEBUTTONDOWN, false);
                return;
            }
            if (event.button.button != SDL_BUTTON_LEFT) return;
            native_pointer(
                event.type == SDL_MOUSEBUTTONDOWN ? MessageKind::ButtonDown : MessageKind::ButtonUp,
                panel_point(event.button.x, event.button.y));
            return;
        case SDL_MOUSEWHEEL: {
            double notches = event.wheel.preciseY;
            if (!std::isfinite(notches) || notches == 0) notches = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
            native_wheel(panel_point(event.wheel.mouseX, event.wheel.mouseY), notches);
            return;
        }
        case SDL_FINGERDOWN:
        case SDL_FINGERUP:
        case SDL_MULTIGESTURE:
            translate_finger(&event);
            return;
        case SDL_DROPBEGIN:
            m_native->drop_taken = false;
            return;
        case SDL_DROPFILE:
            if (event.drop.file && m_native->drop_taken) {
                trace() << "SdlWindow: only the first of the dropped files opens\n";
                SDL_free(event.drop.file);
            } else if (event.drop.file) {
                m_native->drop_taken = true;
                // A dropped folder or picture opens as a path handed over by a second start.
                message.kind = MessageKind::CopyData;
                message.text = from_utf8(event.drop.file);
                SDL_free(event.drop.file);
                queue(std::move(message));
            }
            return;
        default:
            return;
    }
}

}  // namespace vistrel
