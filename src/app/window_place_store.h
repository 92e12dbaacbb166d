#pragma once
// The desktop window's place in the settings ("WindowX", "WindowY", "WindowWidth",
// "WindowHeight", "WindowMaximized" under the program's key), and the window set-up that
// the command line and the settings give.

#include <optional>

#include "display/sdl_window.h"
#include "options.h"

namespace vistrel {

// Nothing when a value is missing.
std::optional<WindowPlace> read_window_place();
void write_window_place(const WindowPlace& place);

// Without --screen the window is the screen, opened at its remembered place.
SdlWindowSetup desktop_setup(const AppOptions& options);

}  // namespace vistrel
