#include "display/sdl_window_place.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/trace.h"

namespace vistrel {

namespace {

// Whether enough of `place` lies on one of the monitors to grab it.
bool on_a_monitor(const WindowPlace& place) {
    constexpr int kGrab = 48;
    const int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
        const int64_t left = std::max<int64_t>(place.x, bounds.x);
        const int64_t top = std::max<int64_t>(place.y, bounds.y);
        const int64_t right = std::min<int64_t>(int64_t(place.x) + place.width,
                                                int64_t(bounds.x) + bounds.w);
        const int64_t bottom = std::min<int64_t>(int64_t(place.y) + place.height,
                                                 int64_t(bounds.y) + bounds.h);
        if (right - left >= kGrab && bottom - top >= kGrab) return true;
    }
    return false;
}

}  // namespace

int desktop_scale() {
    for (const char* name : {"GDK_SCALE", "QT_SCALE_FACTOR"}) {
        const char* value = SDL_getenv(name);
        if (!value || !*value) continue;
        const double factor = std::atof(value);
        if (factor > 0 && factor < 16) return factor >= 1.5 ? 2 : 1;
    }
    float diagonal = 0, horizontal = 0, vertical = 0;
    if (SDL_GetDisplayDPI(0, &diagonal, &horizontal, &vertical) == 0 && vertical > 0 &&
        vertical < 2000)
        return vertical >= 144 ? 2 : 1;
    return 1;
}

WindowPlace opening_place(const std::optional<WindowPlace>& remembered, int scale) {
    constexpr int kLargest = 16384, kSmallest = 64;
    SDL_Rect usable{0, 0, 1280 * scale, 800 * scale};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w < 1 || usable.h < 1)
        usable = {0, 0, 1280 * scale, 800 * scale};
    WindowPlace place;
    place.x = SDL_WINDOWPOS_CENTERED;
    place.y = SDL_WINDOWPOS_CENTERED;
    place.width = std::min(1280 * scale, std::max(kSmallest, int(usable.w * 0.9)));
    place.height = std::min(800 * scale, std::max(kSmallest, int(usable.h * 0.9)));
    if (!remembered) return place;
    const WindowPlace& r = *remembered;
    const bool sound = r.width >= kSmallest && r.width <= kLargest && r.height >= kSmallest &&
                       r.height <= kLargest;
    if (!sound) {
        trace() << "SdlWindow: the remembered window size " << r.width << "x" << r.height
                << " is not sound; opening at " << place.width << "x" << place.height << "\n";
        return place;
    }
    place.maximized = r.maximized;
    if (on_a_monitor(r)) {
        place.x = r.x;
        place.y = r.y;
        place.width = r.width;
        place.height = r.height;
        return place;
    }
    trace() << "SdlWindow: the remembered window place lies off every monitor; centred\n";
    place.width = std::min(r.width, std::max(kSmallest, usable.w));
    place.height = std::min(r.height, std::max(kSmallest, usable.h));
    return place;
}

}  // namespace vistrel
