#include "ui/preview.h"

namespace vistrel {

bool build_preview(Container& root, Properties& properties, std::u16string_view name, Size size) {
    if (!load_from_skin(root, properties, name)) return false;
    root.set_x_extent(0, size.w);
    root.set_y_extent(0, size.h);
    return true;
}

RenderSurface render_preview(Container& root) {
    RenderSurface surface(root.size());
    if (!surface.bitmap()) return surface;
    surface.fill({0, 0}, surface.size(), root.outside_color());
    root.draw(surface, {0, 0});
    return surface;
}

}  // namespace vistrel

#include "platform/text.h"
#include "skin/skin_errors.h"

namespace vistrel {

bool open_preview(Properties& properties, Container& root, const std::u16string& skin_path, int dpi,
                  std::u16string_view name, Size size, std::string& error) {
    ScreenInfo screen;
    screen.width = size.w;
    screen.height = size.h;
    screen.dpi = dpi;
    if (!properties.load_skin(skin_path, screen)) {
        error = "the skin does not load";
        return false;
    }
    try {
        if (!build_preview(root, properties, name, size)) {
            error = "the skin has no top-level node " + to_utf8(std::u16string(name));
            return false;
        }
    } catch (const dovado::SkinError& e) {
        error = e.what();
        return false;
    }
    return true;
}

}  // namespace vistrel
