#pragma once
// A screen of one top-level skin node laid out at a given size without the application:
// what a skin author looks at through vistrel-tool, and what tests and benchmarks build.

#include <string>
#include <string_view>

#include "render/geometry.h"
#include "render/render_surface.h"
#include "skin/properties.h"
#include "ui/container.h"

namespace vistrel {

// Builds `root` from the node `name` and lays it out at `size`. False when the skin has no
// such node; the skin errors of element creation propagate.
bool build_preview(Container& root, Properties& properties, std::u16string_view name, Size size);

// Draws `root` into a new surface of its size over its outside colour.
RenderSurface render_preview(Container& root);

}  // namespace vistrel

namespace vistrel {

// Loads the skin at `skin_path` for a screen of `size` at `dpi` into `properties` and
// builds `root` from its node `name`. False with the reason in `error` when the skin does
// not load, has no such node, or its elements cannot be made.
bool open_preview(Properties& properties, Container& root, const std::u16string& skin_path, int dpi,
                  std::u16string_view name, Size size, std::string& error);

}  // namespace vistrel
