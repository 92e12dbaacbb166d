#include "screens/image_viewer.h"

#include <algorithm>
#include <cmath>

#include "library/photo_library.h"
#include "platform/path_parts.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "screens/library_look.h"
#include "shell/application.h"
#include "skin/skin_errors.h"
#include "ui/image_element.h"

namespace vistrel {

namespace {

constexpr char16_t kNode[] = u"Image";
constexpr double kEpsilon = 1e-6;

// "<skin folder>/<skin name>" of the loaded skin, for the placeholder bitmaps; the program's
// "skins/bin" folder when the skin was not loaded from a file.
std::u16string placeholder_prefix(const std::u16string& skin_path) {
    std::u16string name = file_name_part(skin_path);
    if (const size_t dot = name.rfind(u'.'); dot != std::u16string::npos) name.resize(dot);
    if (name.empty()) return {};
    const std::u16string folder = directory_part(skin_path);
    return join(folder.empty() ? u"%app_path%/skins/bin" : folder, name);
}

// The next whole level in from `zoom` (from a fractional fit zoom, the whole level above
// it), at most full size.
double level_in(const ZoomImage& view, double zoom) {
    return std::min(std::floor(zoom + kEpsilon) + 1, double(view.max_level()));
}

// The next whole level out, at least the fit zoom.
double level_out(const ZoomImage& view, double zoom) {
    return std::max(std::ceil(zoom - kEpsilon) - 1, view.fit_zoom());
}

// Still, unpressed and at its fit zoom: setting the view up again changes nothing the
// user sees.
bool at_rest_fitted(const ZoomImage* view) {
    if (!view || view->moving() || view->pressed()) return false;
    return std::abs(view->zoom() - view->fit_zoom()) <= kEpsilon &&
           std::abs(view->target_zoom() - view->fit_zoom()) <= kEpsilon;
}

bool contains(const Element& element, const Element* other) {
    for (const Element* e = other; e; e = e->parent())
        if (e == &element) return true;
    return false;
}

}  // namespace

ImageViewer::ImageViewer(Properties& properties, PhotoLibrary& library)
    : m_properties(properties), m_library(library), m_shuffle(shuffle_setting()) {
    m_tiles.set_prioritizer([this](const std::u16string& picture) {
        m_library.add_picture(picture, m_drive);
        m_library.prioritize_picture(picture);
    });
    build(properties);
    properties.add_skin_listener(this);
}

ImageViewer::~ImageViewer() {
    m_properties.remove_skin_listener(this);
    m_library.remove_listener(this);
    m_library.watch_folder(this, {});
    if (Application* app = Application::instance()) app->remove_screen(this);
    if (m_menu && Application::instance()) Application::instance()->remove_screen(&m_menu->container());
    m_tiles.stop();
    for (int i = 0; i < TileRenderer::kSlots; ++i) m_tiles.bind(i, nullptr);
}

void ImageViewer::reload_skin(Properties& properties) {
    try {
        build(properties);
    } catch (const dovado::SkinError& error) {
        // A skin without the viewer: it closes and stays closed until a skin has one.
        trace() << "ImageViewer::reload_skin: " << error.what() << "\n";
        for (int i = 0; i < TileRenderer::kSlots; ++i) m_tiles.bind(i, nullptr);
        m_views[0] = m_views[1] = m_views[2] = nullptr;
        close();
        m_broken = true;
    }
}

void ImageViewer::build(Properties& properties) {
    m_broken = false;
    m_menu.reset();
    m_controls.clear();
    for (int i = 0; i < TileRenderer::kSlots; ++i) m_tiles.bind(i, nullptr);
    if (!load_from_skin(*this, properties, kNode)) throw dovado::NodeNotFoundInSkin(kNode);
    find_elements();
    m_tiles.set_placeholder_prefix(placeholder_prefix(properties.skin_path()));
    if (m_open) {
        load_slots();
        show_controls();
    }
}

void ImageViewer::find_elements() {
    auto need = [this](const char16_t* id) -> Element& {
        Element* e = find_child(id);
        if (!e) throw dovado::NodeNotFound(kNode, id);
        return *e;
    };
    auto button = [&](const char16_t* id) {
        Button* b = dynamic_cast<Button*>(&need(id));
        if (!b) throw dovado::NodeNotFound(kNode, id);
        b->set_listener(this);
        return b;
    };
    auto checkbox = [&](const char16_t* id) {
        Checkbox* c = dynamic_cast<Checkbox*>(&need(id));
        if (!c) throw dovado::NodeNotFound(kNode, id);
        c->set_listener(this);
        return c;
    };
    const char16_t* view_ids[3] = {u"left", u"center", u"right"};
    for (int i = 0; i < 3; ++i) {
        ZoomImage* view = dynamic_cast<ZoomImage*>(&need(view_ids[i]));
        if (!view) throw dovado::NodeNotFound(kNode, view_ids[i]);
        m_views[i] = view;
    }
    // The slots keep their order across rebuilds: slot s shows view s again.
    for (int i = 0; i < 3; ++i) {
        m_tiles.bind(i, m_views[i]);
        m_views[i]->set_listener(this);
        m_views[i]->set_active(i == 1);
        // The pictures come last for pointer input, so the controls above them get it first.
        move_interactive_to_end(m_views[i]);
    }
    m_back = button(u"btnBack");
    m_minus = button(u"btnMinus");
    m_plus = button(u"btnPlus");
    m_menu_button = button(u"btnMenu");
    m_properties_button = button(u"btnProperties");
    m_properties_button->set_visible(false);
    m_number = &need(u"btnNumText");
    if (auto* b = dynamic_cast<Button*>(m_number)) b->set_listener(this);
    m_landscape_box = checkbox(u"chkLandscape");
    m_slide_show_box = checkbox(u"chkSlideShow");
    if (m_landscape) m_landscape_box->set_state(1, false);
    m_overlay_root = find_child(u"overlay");
    m_overlay_date = m_overlay_root ? m_overlay_root->find_child(u"overlay_date") : nullptr;
    m_overlay_caption = m_overlay_root ? m_overlay_root->find_child(u"overlay_caption") : nullptr;
    if (m_overlay_root) m_overlay_root->set_visible(false);
    m_overlay_picture.clear();
    Element& size_image = need(u"size_image");
    if (auto* image = dynamic_cast<ImageElement*>(&size_image)) m_size_image = image->picture();

    std::vector<Element*> controls = {m_back, m_minus, m_plus, m_menu_button, m_number,
                                      m_landscape_box, m_slide_show_box};
    for (const char16_t* gap : {u"btngap1", u"btngap2", u"btngap3"}) controls.push_back(&need(gap));
    // Hide whole bars: the highest ancestor that holds neither a picture nor the
    // properties panel.
    m_controls.clear();
    for (Element* control : controls) {
        Element* group = control;
        while (group->parent() && group->parent() != this) {
            Element* up = group->parent();
            bool shared = contains(*up, m_properties_button);
            for (ZoomImage* view : m_views) shared = shared || contains(*up, view);
            if (shared) break;
            group = up;
        }
        if (std::find(m_controls.begin(), m_controls.end(), group) == m_controls.end())
            m_controls.push_back(group);
    }
}

// --- Opening and closing ---

void ImageViewer::open(const std::vector<std::u16string>& pictures, int index,
                       const std::u16string& drive_path) {
    if (pictures.empty() || m_broken) return;
    m_pictures = pictures;
    m_folder_order = pictures;
    m_deck.reset();
    m_index = std::clamp(index, 0, static_cast<int>(pictures.size()) - 1);
    m_drive = drive_path;
    m_scroll_direction = 0;
    m_message.clear();
    m_properties_button->set_visible(false);
    stop_slide_show();
    Application* app = Application::instance();
    if (app && !m_open) app->push_screen(this, false);
    m_open = true;
    m_overlay_picture.clear();
    m_library.add_listener(this);
    m_watched_folder = directory_part(pictures.front());
    m_library.watch_folder(this, m_watched_folder);
    load_slots();
    show_controls();
    m_tiles.start();
}

void ImageViewer::close() {
    if (!m_open) return;
    m_open = false;
    stop_slide_show();
    m_tap_timer.stop();
    m_library.watch_folder(this, {});
    m_library.remove_listener(this);
    if (Application* app = Application::instance()) {
        if (m_menu) app->remove_screen(&m_menu->container());
        app->remove_screen(this);
    }
}

void ImageViewer::back() {
    m_tiles.reset_wake();
    for (int i = 0; i < TileRenderer::kSlots; ++i) m_tiles.release_tiles(i);
    close();
}

bool ImageViewer::is_idle() const {
    if (!m_open) return true;  // a closed viewer keeps nobody waiting
    // Drawing is not asked here: the screen's redraw flag tells it, and a viewer under a
    // message box stays marked for drawing until it is shown again.
    if (m_scroll_direction != 0) return false;
    for (ZoomImage* view : m_views)
        if (view && view->moving()) return false;
    return m_tiles.idle();
}

std::u16string ImageViewer::picture_for(int slot) const {
    const int i = m_index + slot - 1;
    if (i < 0 || i >= static_cast<int>(m_pictures.size())) return {};
    return m_pictures[i];
}

void ImageViewer::reset_slot(int slot) {
    m_in_reset = true;
    m_tiles.release_tiles(slot);
    m_tiles.reset(slot, picture_for(slot), m_drive);
    if (ZoomImage* view = m_tiles.view(slot)) view->set_file(picture_for(slot));
    m_tiles.restart(slot, size());
    m_in_reset = false;
}

void ImageViewer::load_slots() {
    m_tiles.set_landscape(m_landscape);
    for (int s = 0; s < TileRenderer::kSlots; ++s) {
        m_tiles.view(s)->set_active(s == 1);
        reset_slot(s);
    }
    if (!picture_for(1).empty()) m_library.prioritize_picture(picture_for(1));
    place_views();
}

void ImageViewer::place_views() {
    const int axis = scroll_axis();
    const int extent = scroll_extent();
    ZoomImage* current = m_tiles.view(1);
    const int o = current ? static_cast<int>(std::lround(current->overscroll(axis))) : 0;
    auto along = [axis](int v) { return axis == 0 ? Point{v, 0} : Point{0, v}; };
    if (current) current->set_shift({});
    if (ZoomImage* previous = m_tiles.view(0)) previous->set_shift(along(-(extent + kGap) - o));
    if (ZoomImage* next = m_tiles.view(2)) next->set_shift(along(extent + kGap - o));
    update_number();
}

void ImageViewer::update_number() {
    if (!m_number) return;
    // The element's text is the position and the count separated by a blank; a skin that
    // lays them out otherwise ("3 / 10") shows them through "#index" and "#count".
    const std::u16string index = to_u16(m_index + 1);
    const std::u16string count = to_u16(static_cast<int64_t>(m_pictures.size()));
    const std::u16string text = index + u" " + count;
    if (auto* button = dynamic_cast<Button*>(m_number))
        button->set_text(text);
    else
        m_number->set_text_by_id(m_number->id(), text);
    m_number->set_text_by_id(u"#index", index);
    m_number->set_text_by_id(u"#count", count);
    update_overlay();
}

// --- The frame ---

void ImageViewer::animate(double seconds) {
    if (m_broken) return;
    if (m_controls_visible && m_controls_seconds < kControlsSeconds)
        m_controls_seconds += seconds;
    else if (m_controls_visible)
        hide_controls();
    m_library.poll_events();
    if (!m_open) return;
    if (ZoomImage* view = current_view()) {
        m_minus->set_enabled(view->zoom() > view->fit_zoom() + kEpsilon);
        m_plus->set_enabled(view->has_picture() && view->zoom() < view->max_level() - kEpsilon);
    }
    // Every finished tile goes to its picture before this frame is drawn (a screenful is a
    // handful of tiles, each handed over by moving a pointer).
    for (int i = 0; i < kHandOverLimit && m_tiles.hand_over(); ++i) {
    }
    if (m_tiles.idle_flag() && !m_landscape_box->enabled()) {
        m_landscape_box->set_enabled(true);
        trace() << "Landscape enabled\n";
    }
    if (m_slide_show) {
        m_slide_seconds += seconds;
        if (m_slide_seconds >= kSlideSeconds) {
            m_slide_seconds = 0;
            if (m_deck) {
                if (!deal_next()) {
                    stop_slide_show();
                    back();
                    return;
                }
            } else if (m_index + 1 < static_cast<int>(m_pictures.size())) {
                show_neighbour(1);
            } else if (m_slide_loop) {
                // Starts over; a single picture simply stays.
                if (m_pictures.size() > 1) {
                    const std::vector<std::u16string> pictures = m_pictures;
                    open(pictures, 0, m_drive);  // stops the slide show
                    set_slide_show(true);
                }
            } else {
                m_slide_show_box->set_state(0, false);
                m_slide_show = false;
                back();
                return;
            }
        }
    }
    step_scroll(seconds);
    Container::animate(seconds);
    if (m_scroll_direction == 0 && current_view() && current_view()->pressed()) place_views();
    else if (m_scroll_direction == 0 && current_view() && current_view()->moving()) place_views();
}

std::optional<double> ImageViewer::seconds_to_change() const {
    if (m_broken || !m_open || m_scroll_direction != 0 || !m_tiles.idle()) return 0.0;
    for (const ZoomImage* view : m_views)
        if (view && (view->moving() || view->pressed())) return 0.0;
    // The landscape box is enabled at the next step.
    if (!m_landscape_box->enabled()) return 0.0;
    std::optional<double> due = m_library.seconds_to_change();
    if (m_controls_visible) due_within(due, kControlsSeconds - m_controls_seconds);
    if (m_slide_show) due_within(due, kSlideSeconds - m_slide_seconds);
    return due;
}

void ImageViewer::show_controls() {
    m_controls_seconds = 0;
    // The properties panel and the bars take turns: on a small screen the panel needs the
    // room the bars cover.
    if (m_properties_button) m_properties_button->set_visible(false);
    if (m_controls_visible) return;
    m_controls_visible = true;
    for (Element* group : m_controls) group->set_visible(true);
}

void ImageViewer::hide_controls() {
    m_controls_seconds = 0;
    m_controls_visible = false;
    for (Element* group : m_controls) group->set_visible(false);
}

void ImageViewer::stop_slide_show() {
    if (m_slide_show_box && m_slide_show_box->state() != 0) m_slide_show_box->set_state(0, false);
    m_slide_show = false;
    m_slide_seconds = 0;
    stop_deck();
}

// --- Neighbours ---

bool ImageViewer::show_neighbour(int direction) {
    const int target = m_index + direction;
    if (target < 0 || target >= static_cast<int>(m_pictures.size())) return false;
    if (m_scroll_direction != 0) finish_scroll();
    ZoomImage* view = current_view();
    if (!view) return false;
    view->stop_motion();
    view->set_scrolling(true);
    m_scroll_direction = direction;
    return true;
}

void ImageViewer::step_scroll(double seconds) {
    if (m_scroll_direction == 0) return;
    ZoomImage* view = current_view();
    const int axis = scroll_axis();
    const double target = m_scroll_direction * double(scroll_extent() + kGap);
    const double o = view->overscroll(axis);
    const double remaining = target - o;
    const double step = std::max(std::abs(remaining) * std::min(1.0, 10 * seconds), 400 * seconds);
    if (std::abs(remaining) <= step) {
        finish_scroll();
        return;
    }
    view->set_overscroll(axis, o + (remaining > 0 ? step : -step));
    place_views();
}

void ImageViewer::finish_scroll() {
    const int direction = m_scroll_direction;
    m_scroll_direction = 0;
    ZoomImage* old = current_view();
    old->set_scrolling(false);
    old->set_active(false);
    old->set_zoom(old->fit_zoom());
    old->set_overscroll(scroll_axis(), 0);
    m_tiles.rotate(direction);
    m_index += direction;
    m_tiles.view(1)->set_active(true);
    // The slot that fell out shows the new neighbour.
    reset_slot(direction > 0 ? 2 : 0);
    if (!picture_for(1).empty()) m_library.prioritize_picture(picture_for(1));
    place_views();
    deck_moved();
}

// --- Input ---

bool ImageViewer::on_key(const KeyEvent& event) {
    if (!event.down) {
        // Leaving acts on the release, as buttons do, so that the release does not reach
        // the screen below.
        if (event.code == m_back_key) {
            m_back_key = key::None;
            back();
            return true;
        }
        return Container::on_key(event);
    }
    m_back_key = key::None;
    stop_slide_show();
    show_controls();
    const KeyCode previous = m_landscape ? key::Up : key::Left;
    const KeyCode next = m_landscape ? key::Down : key::Right;
    if (event.code == previous || event.code == next) {
        show_neighbour(event.code == next ? 1 : -1);
        return true;
    }
    if (Container::on_key(event)) return true;
    if (desktop_key(event)) return true;
    // Escape and Backspace leave the viewer when no control of the skin takes them.
    if (event.code == key::Esc || event.code == key::Backspace) {
        m_back_key = event.code;
        return true;
    }
    return false;
}

bool ImageViewer::clicked(Button& button, const ButtonEvent&) {
    stop_slide_show();
    show_controls();
    if (&button == m_back)
        back();
    else if (&button == m_minus)
        zoom_step(-1);
    else if (&button == m_plus)
        zoom_step(1);
    else if (&button == m_menu_button)
        open_options();
    else if (&button == m_properties_button)
        m_properties_button->set_visible(false);
    return true;
}

void ImageViewer::clicked(Checkbox& checkbox, const ButtonEvent&) {
    if (&checkbox != m_slide_show_box) stop_slide_show();
    show_controls();
    checkbox.next_state();
}

void ImageViewer::state_changed(Checkbox& checkbox, bool value) {
    if (!value) return;
    if (&checkbox == m_landscape_box)
        set_landscape(checkbox.state() == 1);
    else if (&checkbox == m_slide_show_box)
        set_slide_show(checkbox.state() == 1);
}

ZoomImage* ImageViewer::zoomable_view() const {
    ZoomImage* view = current_view();
    if (!view || !view->has_picture()) return nullptr;
    if (m_tiles.state(1) == SlotState::Bad && !m_tiles.direct(1)) return nullptr;
    return view;
}

void ImageViewer::zoom_step(int direction) {
    ZoomImage* view = zoomable_view();
    if (!view) return;
    const Point centre{view->x() + view->width() / 2, view->y() + view->height() / 2};
    const double zoom = view->target_zoom();
    const double target = direction > 0 ? level_in(*view, zoom) : level_out(*view, zoom);
    if (std::abs(target - zoom) > kEpsilon) view->zoom_to(target, centre);
}

void ImageViewer::set_landscape(bool landscape) {
    if (landscape == m_landscape) return;
    for (int i = 0; i < TileRenderer::kSlots; ++i) m_tiles.release_tiles(i);
    m_landscape = landscape;
    m_tiles.set_landscape(landscape);
    if (m_landscape_box->state() != (landscape ? 1 : 0))
        m_landscape_box->set_state(landscape ? 1 : 0, false);
    for (int i = 0; i < TileRenderer::kSlots; ++i) m_tiles.restart(i, size());
    place_views();
    if (ZoomImage* view = current_view()) view->stop_motion();
    m_landscape_box->set_enabled(false);
    trace() << "Landscape disabled\n";
    m_tiles.clear_idle();
}

void ImageViewer::set_slide_show(bool on) {
    if (!on) stop_deck();
    m_slide_show = on;
    m_slide_seconds = 0;
    if (on && m_shuffle && !m_deck) start_deck();
    if (m_slide_show_box->state() != (on ? 1 : 0)) m_slide_show_box->set_state(on ? 1 : 0, false);
}

void ImageViewer::on_press(ZoomImage&) {
    stop_slide_show();
}

void ImageViewer::on_tap(ZoomImage& view, Point point) {
    stop_slide_show();
    if (!m_controls_visible) show_controls();
    // A second tap while the first one's timer runs is a double tap.
    if (m_tap_timer.is_active()) {
        m_tap_timer.stop();
        const double target = level_in(view, view.target_zoom());
        if (target > view.target_zoom() + kEpsilon &&
            !(m_tiles.state(1) == SlotState::Bad && !m_tiles.direct(1)))
            view.zoom_to(target, point);
        return;
    }
    m_tap_timer.start(kDoubleTapSeconds);
}

bool ImageViewer::on_release(ZoomImage& view) {
    const int axis = scroll_axis();
    const double o = view.overscroll(axis);
    const double limit = 0.75 * scroll_extent();
    if (o > limit && show_neighbour(1)) return true;
    if (o < -limit && show_neighbour(-1)) return true;
    return false;
}

// --- The photo library ---

void ImageViewer::on_library_event(const LibraryEvent& event) {
    if (event.picture_ready && !event.path.empty()) on_document_refresh(event.path);
    if (event.folder_changed && m_open && event.folder == m_watched_folder)
        on_folder_changed(event.folder);
}

void ImageViewer::on_document_refresh(const std::u16string& path) {
    if (!m_open || m_in_reset) return;
    // The cache file that now exists holds the picture's date and caption.
    if (path == picture_for(1) && !m_overlay_cached) {
        m_overlay_picture.clear();
        update_overlay();
    }
    for (int slot = 0; slot < TileRenderer::kSlots; ++slot) {
        if (picture_for(slot) != path) continue;
        // A slot reading the picture itself shows it already: a reload would lose the
        // user's zoom and position. Only one still at rest at its fit zoom, where the
        // reload shows the same view, changes to the cache file, which makes every level
        // (a picture's smallest levels cannot be decoded from the file).
        if (m_tiles.direct(slot) && !at_rest_fitted(m_tiles.view(slot))) return;
        // Only a change of the cache file's state is worth a reload (a slot reading the
        // cache file already has nothing to gain).
        const SlotState now = TileRenderer::state_for(path, m_drive);
        if (m_tiles.state(slot) == SlotState::Ready || now == m_tiles.state(slot)) return;
        trace() << "on_document_refresh begin\n";
        m_in_reset = true;
        m_tiles.release_tiles(slot);
        m_tiles.reset(slot, path, m_drive);
        trace() << "on_document_refresh load end\n";
        m_tiles.restart(slot, size());
        trace() << "on_document_refresh resize end\n";
        m_in_reset = false;
        place_views();
        return;
    }
}

void ImageViewer::show_message(const std::u16string& text) {
    m_message = text;
    hide_controls();
    m_properties_button->set_text(text);
    m_properties_button->set_visible(true);
}

}  // namespace vistrel
