#include "display/sdl_window.h"

#include <SDL.h>

#include <string>

#include <algorithm>

#include "display/sdl_keys.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace vistrel {

struct SdlWindow::Native {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    Uint32 wake_event = 0;
    bool sdl_started = false;

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

}  // namespace

std::unique_ptr<SdlWindow> SdlWindow::create(const DeviceProfile& profile, Clock& clock,
                                             const std::u16string& title) {
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
    int width = 0, height = 0;
    window_size(profile.screen, width, height);
    native->window = SDL_CreateWindow(to_utf8(title).c_str(), SDL_WINDOWPOS_CENTERED,
                                      SDL_WINDOWPOS_CENTERED, width, height, SDL_WINDOW_RESIZABLE);
    if (!native->window) return nullptr;
    native->renderer = SDL_CreateRenderer(native->window, -1, 0);
    if (!native->renderer)
        native->renderer = SDL_CreateRenderer(native->window, -1, SDL_RENDERER_SOFTWARE);
    if (!native->renderer) return nullptr;
    // Keeps the panel's shape in a resized window; pointer positions arrive in panel pixels.
    SDL_RenderSetLogicalSize(native->renderer, profile.screen.w, profile.screen.h);
    native->texture =
        SDL_CreateTexture(native->renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                          profile.screen.w, profile.screen.h);
    if (!native->texture) return nullptr;
    native->wake_event = SDL_RegisterEvents(1);
    auto window = std::unique_ptr<SdlWindow>(new SdlWindow(profile, clock, std::move(native)));
    window->repaint_screen();
    return window;
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
    if (!rect.empty()) {
        const SDL_Rect area{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
        SDL_UpdateTexture(m_native->texture, &area, pixels.row(rect.top) + rect.left,
                          pixels.pitch());
    }
    present();
}

void SdlWindow::present() {
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

void SdlWindow::translate(const void* native_event) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(native_event);
    WindowMessage message;
    switch (event.type) {
        case SDL_QUIT:
            message.kind = MessageKind::Close;
            queue(std::move(message));
            return;
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    message.kind = MessageKind::Close;
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    present();
                    message.kind = MessageKind::Paint;
                    break;
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
            native_pointer(MessageKind::PointerMove, {event.motion.x, event.motion.y});
            return;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button != SDL_BUTTON_LEFT) return;
            native_pointer(
                event.type == SDL_MOUSEBUTTONDOWN ? MessageKind::ButtonDown : MessageKind::ButtonUp,
                {event.button.x, event.button.y});
            return;
        default:
            return;
    }
}

}  // namespace vistrel
