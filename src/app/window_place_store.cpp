#include "window_place_store.h"

#include <cstdint>

#include "platform/registry.h"

namespace vistrel {

namespace {

constexpr char16_t kX[] = u"WindowX";
constexpr char16_t kY[] = u"WindowY";
constexpr char16_t kWidth[] = u"WindowWidth";
constexpr char16_t kHeight[] = u"WindowHeight";
constexpr char16_t kMaximized[] = u"WindowMaximized";

}  // namespace

std::optional<WindowPlace> read_window_place() {
    uint32_t x = 0, y = 0, width = 0, height = 0, maximized = 0;
    if (!read_dword(kAppKey, kX, x) || !read_dword(kAppKey, kY, y) ||
        !read_dword(kAppKey, kWidth, width) || !read_dword(kAppKey, kHeight, height))
        return std::nullopt;
    read_dword(kAppKey, kMaximized, maximized);
    // Positions left of or above the first monitor are stored as their two's complement;
    // sizes beyond any screen fail the window's own check.
    WindowPlace place;
    place.x = int32_t(x);
    place.y = int32_t(y);
    place.width = width > 1000000 ? 0 : int(width);
    place.height = height > 1000000 ? 0 : int(height);
    place.maximized = maximized != 0;
    return place;
}

void write_window_place(const WindowPlace& place) {
    if (place.width < 1 || place.height < 1) return;
    write_dword(kAppKey, kX, uint32_t(place.x));
    write_dword(kAppKey, kY, uint32_t(place.y));
    write_dword(kAppKey, kWidth, uint32_t(place.width));
    write_dword(kAppKey, kHeight, uint32_t(place.height));
    write_dword(kAppKey, kMaximized, place.maximized ? 1 : 0);
}

SdlWindowSetup desktop_setup(const AppOptions& options) {
    SdlWindowSetup setup;
    setup.follow_window = !options.screen_given && options.profile.framebuffer.empty();
    setup.dpi_given = options.dpi_given;
    if (setup.follow_window) setup.place = read_window_place();
    return setup;
}

}  // namespace vistrel
