#pragma once
// Where the desktop window opens and at what scale: the monitor's scale factor, and a
// remembered place checked against the monitors.

#include <optional>

#include "display/sdl_window.h"

namespace vistrel {

// 2 where the desktop asks for doubled interfaces (its scale factor, else a monitor of at
// least 144 dots per inch), else 1. SDL's video part must be started.
int desktop_scale();

// The remembered place when it is sound and enough of it lies on a monitor to grab; else a
// size that suits the first monitor (`scale` 1 or 2), centred.
WindowPlace opening_place(const std::optional<WindowPlace>& remembered, int scale);

}  // namespace vistrel
