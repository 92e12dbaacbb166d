// The image viewer's desktop input: keys of desktop viewers, the mouse wheel, two-finger
// gestures, and full screen.
#include <algorithm>
#include <cmath>

#include "screens/image_viewer.h"
#include "shell/application.h"

namespace vistrel {

namespace {

// Zoom levels per wheel notch: two notches make one whole level.
constexpr double kLevelsPerNotch = 0.5;

Point centre_of(const Element& view) {
    return {view.x() + view.width() / 2, view.y() + view.height() / 2};
}

}  // namespace

void ImageViewer::zoom_around(double zoom, Point anchor) {
    ZoomImage* view = zoomable_view();
    if (!view || !std::isfinite(zoom)) return;
    view->zoom_to(std::clamp(zoom, view->fit_zoom(), double(view->max_level())), anchor);
}

void ImageViewer::zoom_to_fit() {
    if (ZoomImage* view = zoomable_view()) zoom_around(view->fit_zoom(), centre_of(*view));
}

void ImageViewer::zoom_to_full_size() {
    if (ZoomImage* view = zoomable_view()) zoom_around(view->max_level(), centre_of(*view));
}

void ImageViewer::jump_to(int index) {
    if (m_pictures.empty()) return;
    index = std::clamp(index, 0, static_cast<int>(m_pictures.size()) - 1);
    if (index == m_index && m_scroll_direction == 0) return;
    stop_slide_show();
    m_scroll_direction = 0;
    m_index = index;
    load_slots();
}

bool ImageViewer::desktop_key(const KeyEvent& event) {
    Application* app = Application::instance();
    switch (event.code) {
        case key::Plus:
            zoom_step(1);
            return true;
        case key::Minus:
            zoom_step(-1);
            return true;
        case key::Digit0:
            zoom_to_fit();
            return true;
        case key::Digit0 + 1:
            zoom_to_full_size();
            return true;
        case key::Home:
            jump_to(0);
            return true;
        case key::End:
            jump_to(static_cast<int>(m_pictures.size()) - 1);
            return true;
        case key::Space:
        case key::PageDown:
            show_neighbour(1);
            return true;
        case key::PageUp:
            show_neighbour(-1);
            return true;
        case key::F11:
        case key::A + 5:  // F
            if (app) app->window().set_full_screen(!app->window().full_screen());
            return true;
        case key::Esc:
            // Full screen is left before the viewer is.
            if (!app || !app->window().full_screen()) return false;
            app->window().set_full_screen(false);
            return true;
        case key::ContextMenu:
            open_options();
            return true;
        case key::Del:
            ask_delete();
            return true;
        default:
            return false;
    }
}

bool ImageViewer::on_wheel(const WheelEvent& event) {
    ZoomImage* view = zoomable_view();
    if (!view || !m_open) return false;
    stop_slide_show();
    const double levels = event.pinch ? event.notches : event.notches * kLevelsPerNotch;
    zoom_around(view->target_zoom() + levels, {event.x, event.y});
    return true;
}

bool ImageViewer::on_pan(Point moved) {
    ZoomImage* view = zoomable_view();
    if (!view || !m_open || view->pressed()) return false;
    const double scale = std::exp2(view->zoom() - view->max_level());
    if (!(scale > 0)) return false;
    view->set_center(view->center(0) - moved.x / scale, view->center(1) - moved.y / scale);
    return true;
}

}  // namespace vistrel
