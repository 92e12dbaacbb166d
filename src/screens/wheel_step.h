#pragma once
// How far a list scrolls for one wheel notch: three lines of text at the screen's scale.

#include <algorithm>

#include "shell/application.h"
#include "shell/game_base.h"

namespace vistrel {

inline double wheel_step() {
    Application* app = Application::instance();
    const int dpi = app ? app->client_area().dpi : 96;
    return 48.0 * std::max(dpi, 48) / 96.0;
}

}  // namespace vistrel
