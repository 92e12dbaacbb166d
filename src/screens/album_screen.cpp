#include "screens/album_screen.h"

#include <sys/stat.h>

#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "screens/library_look.h"
#include "screens/about_panel.h"
#include "screens/album_element.h"
#include "screens/folder_screen.h"
#include "screens/grid_cells.h"
#include "screens/skin_lookup.h"
#include "screens/wheel_step.h"
#include "shell/game_base.h"

namespace vistrel {

namespace {

constexpr char16_t kNode[] = u"Main";

}  // namespace

void ReloadScreen::animate(double seconds) {
    Container::animate(seconds);
    trace() << tick_count() << " reload skin\n";
    m_properties.send_reload_skin();
    if (Application* app = Application::instance()) app->remove_screen(this);
}

AlbumScreen::AlbumScreen(Properties& properties, PhotoLibrary& library, ChoiceHandlers choices,
                         int flag)
    : m_properties(properties), m_library(library), m_choices(std::move(choices)), m_flag(flag) {
    m_library.add_listener(this);
    m_folder_screen = std::make_unique<FolderScreen>(properties, library);
    m_menu = std::make_unique<Menu>(properties, *this, u"Menu", u"MenuElement");
    m_about = std::make_unique<AboutPanel>(properties);
    m_reload = std::make_unique<ReloadScreen>(properties);
    trace() << "album form\n";
    build();
    trace() << "album skin load\n";
    m_properties.add_skin_listener(this);
}

AlbumScreen::~AlbumScreen() {
    m_properties.remove_skin_listener(this);
    m_library.remove_listener(this);
    if (Application* app = Application::instance()) {
        if (app->listener() == this) app->set_listener(nullptr);
        app->remove_screen(m_reload.get());
        app->remove_screen(m_about.get());
        app->remove_screen(m_folder_screen.get());
        app->remove_screen(this);
    }
}

void AlbumScreen::build() {
    if (!load_from_skin(*this, m_properties, kNode)) throw dovado::NodeNotFoundInSkin(kNode);
    m_search = &required_child<Button>(*this, kNode, u"btnSearch");
    m_menu_button = &required_child<Button>(*this, kNode, u"btnMenu");
    m_list = &required_child<VList>(*this, kNode, u"listApps");
    m_progress = &required_child<ProgressBar>(*this, kNode, u"progress");
    m_warning_image = &required_child<Element>(*this, kNode, u"warning_image");
    m_warning_text = &required_child<Element>(*this, kNode, u"warning_text");
    m_search->set_listener(this);
    m_menu_button->set_listener(this);
    m_search->set_enabled(!m_searching && !m_search_requested);
    // A placeholder entry during a search is as tall as an album entry.
    const NodeHandle album = m_properties.find_node(u"AlbumElement");
    m_album_size = m_properties.get_point(album, u"design_size");
    m_skin_key_side = m_properties.get_point(find_node_by_id(m_properties, album, u"image"),
                                             u"design_size")
                          .x;
    m_key_side = -1;
    update_key_side();
    m_list->set_source(this);
    m_list->set_key_control(true);
    m_warning_text->set_text_by_id(u"warning_text", m_properties.text_for(u"WARNING_MESSAGE"));
    m_progress->set_visible(false);
    m_list->set_visible(false);
    album_check();
}

void AlbumScreen::reload_skin(Properties& properties) {
    build();
    m_menu->reload_skin();
    m_folder_screen->reload_skin(properties);
    m_about->reload_skin(properties);
    invalidate_layout();
}

void AlbumScreen::album_check() {
    const int count = m_library.get_folders_size();
    if (count > 0) show_albums(count);
}

void AlbumScreen::show_albums(int count) {
    const double offset = m_list->offset();
    const bool same = m_list->item_count() == count && m_list->visible();
    m_list->reset(count);
    if (same) m_list->set_offset(offset);
    // Entries made anew ask for their key pictures' levels again.
    if (m_key_side > 0) m_key_levels.restart({m_key_side, m_key_side}, m_key_levels.frame());
    m_list->set_visible(count > 0);
    m_warning_image->set_visible(count == 0);
    m_warning_text->set_visible(count == 0);
}

void AlbumScreen::animate(double seconds) {
    Container::animate(seconds);
    if (m_key_side_due) {
        m_key_side_due = false;
        if (update_key_side() && m_list->visible()) show_albums(m_list->item_count());
    }
    m_library.poll_events();
    update_key_levels();
    // Key pictures still being built show their quick thumbnails as they are made.
    for (int i = 0; i < m_list->live_count(); ++i)
        if (auto* album = dynamic_cast<AlbumElement*>(m_list->live_element(i)))
            if (album->show_quick_thumbnail()) m_list->mark_dirty();
}

std::optional<double> AlbumScreen::seconds_to_change() const {
    if (m_key_side_due || library_busy()) return 0.0;
    return m_library.seconds_to_change();
}

bool AlbumScreen::on_key(const KeyEvent& event) {
    return Container::on_key(event);
}

bool AlbumScreen::on_wheel(const WheelEvent& event) {
    if (!m_list->visible()) return false;
    m_list->scroll_by(event.notches * wheel_step());
    return true;
}

bool AlbumScreen::update_key_side() {
    int width = 0;
    if (Application* app = Application::instance()) width = app->client_area().client_width;
    const bool large = (width >> m_properties.scale_shift()) > kLargestProfileWidth;
    const int side = large && m_skin_key_side > 0 ? 2 * m_skin_key_side : 0;
    if (side == m_key_side) return false;
    m_key_side = side;
    if (side > 0) {
        const NodeHandle image =
            find_node_by_id(m_properties, m_properties.find_node(u"AlbumElement"), u"image");
        const PictureReference frame = m_properties.get_picture(image, u"src");
        m_key_levels.restart({side, side},
                             stretched_picture(capped_picture(frame), {side, side}));
    }
    return true;
}

void AlbumScreen::update_key_levels() {
    if (m_key_side <= 0) return;
    const std::vector<CellPictureLoader::Done> done = m_key_levels.take_done();
    for (int i = 0; i < m_list->live_count(); ++i) {
        auto* album = dynamic_cast<AlbumElement*>(m_list->live_element(i));
        if (!album) continue;
        const int index = m_list->live_index(i);
        for (const CellPictureLoader::Done& level : done)
            if (level.key == index) {
                album->show_level(level.picture);
                m_list->mark_dirty();
            }
        if (album->take_level_request())
            m_key_levels.request(index, album->folder().key_picture, album->folder().drive_path);
    }
}

void AlbumScreen::on_resolution_changed() {
    // The entries are made again at the next frame, once the list has its new size.
    m_key_side_due = true;
    if (Application* app = Application::instance()) {
        // The display follows the orientation the system reports now.
        if (!app->window_part().windowed())
            app->set_direct_mode(app->window().system_orientation());
        app->fit_to_client(this);
    }
    m_folder_screen->resolution_changed();
    invalidate_layout();
}

// --- Library events ---

void AlbumScreen::on_library_event(const LibraryEvent& event) {
    // The last album gone (emptied in the viewer, or found empty by the folder screen)
    // leaves the list empty and the warning shown, as a search that finds nothing does.
    if (event.folders_changed) show_albums(m_library.get_folders_size());
    // Storage mounted or unplugged, whichever screen shows: its albums come or go.
    if (event.storage_changed && !m_searching) start_search();
    if (event.search_complete) {
        m_search_requested = false;
        const int count = m_library.get_folders_size();
        if (count > 0) m_searching = false;
        // A search that found nothing takes the albums of the last one away.
        show_albums(count);
    }
    if (event.progress) {
        m_progress->set_visible(true);
        m_progress->set_fraction(event.fraction);
    }
    // Also right after a search that left nothing to build.
    if (event.cache_complete) end_of_work();
    // Only the albums on screen show a thumbnail: a picture that is none of their key
    // pictures changes nothing (and the folder list is not searched for it).
    if (event.picture_ready && !event.path.empty() && !m_searching) {
        for (int i = 0; i < m_list->live_count(); ++i) {
            auto* album = dynamic_cast<AlbumElement*>(m_list->live_element(i));
            if (!album || album->folder().key_picture != event.path) continue;
            trace() << event.path << " " << m_list->live_index(i) << "\n";
            album->bind(*m_list, m_list->live_index(i), true);
            m_list->mark_dirty();
        }
    }
    if (event.folder_emptied && event.count == 0) m_library.set_folder_size(event.folder, 0);
}

void AlbumScreen::end_of_work() {
    m_progress->set_visible(false);
    m_search->set_enabled(true);
    m_searching = false;
}

bool AlbumScreen::library_busy() const {
    if (m_search_requested) return true;
    const LibraryProgress progress = m_library.progress();
    return progress.max > 0 && progress.value < progress.max;
}

// --- Input ---

bool AlbumScreen::clicked(Button& button, const ButtonEvent&) {
    if (&button == m_menu_button) {
        open_main_menu();
    } else if (&button == m_search) {
        start_search();
    }
    return true;
}

void AlbumScreen::start_search() {
    m_search->set_enabled(false);
    m_searching = true;
    m_search_requested = true;
    m_library.need_search();
}

void AlbumScreen::item_clicked(VList&, int index) {
    open_album(index);
}

void AlbumScreen::open_album(int index) {
    if (m_searching || index < 0 || index >= m_library.get_folders_size()) return;
    const Folder folder = m_library.get_folder(index);
    m_library.set_current_folder(folder.folder_path);
    m_folder_screen->open_folder(folder, m_flag);
}

std::unique_ptr<Element> AlbumScreen::create_item(VList&, int index) {
    if (m_searching) {
        auto empty = std::make_unique<Element>(nullptr);
        const int grow = m_key_side > 0 ? m_key_side - m_skin_key_side : 0;
        empty->set_design_size({m_album_size.x, m_album_size.y + grow});
        return empty;
    }
    if (index < 0 || index >= m_library.get_folders_size()) return nullptr;
    return std::make_unique<AlbumElement>(m_properties, m_library, m_library.get_folder(index),
                                          m_key_side);
}

// --- Command lines ---

void AlbumScreen::on_command_line(const std::u16string& text) {
    trace() << tick_count() << " command line " << text << "\n";
    if (Application* app = Application::instance()) app->window().restore();
    std::u16string path = text;
    while (!path.empty() && (path.back() == u' ' || path.back() == u'"'))
        path.pop_back();
    while (!path.empty() && (path.front() == u' ' || path.front() == u'"'))
        path.erase(0, 1);
    if (!path.empty()) open_path(path);
}

}  // namespace vistrel
