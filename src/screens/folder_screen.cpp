#include "screens/folder_screen.h"

#include <algorithm>

#include "library/cache/cache_file.h"
#include "library/file_walker.h"
#include "library/folder_watcher.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "platform/trace.h"
#include "render/bitmap.h"
#include "screens/folder_names.h"
#include "screens/library_look.h"
#include "screens/skin_lookup.h"
#include "screens/thumbnails.h"
#include "screens/wheel_step.h"
#include "shell/application.h"
#include "shell/game_base.h"

namespace vistrel {

namespace {

constexpr char16_t kNode[] = u"Folder";

constexpr char16_t kCellSizeValue[] = u"GridCellSize";

int cell_size_setting() {
    uint32_t value = 0;
    if (!read_dword(kAppKey, kCellSizeValue, value) || value > 1024) return kDefaultCellSize;
    return next_cell_size(static_cast<int>(value), 0);
}

}  // namespace

FolderScreen::FolderScreen(Properties& properties, PhotoLibrary& library)
    : m_properties(properties), m_library(library), m_cell_size(cell_size_setting()) {
    m_library.add_listener(this);
    build();
    set_visible(false);
    trace() << "folder form\n";
}

FolderScreen::~FolderScreen() {
    m_library.remove_listener(this);
    m_library.watch_folder(this, {});
    if (m_open)
        if (Application* app = Application::instance()) app->remove_screen(this);
}

void FolderScreen::build() {
    if (!load_from_skin(*this, m_properties, kNode)) throw dovado::NodeNotFoundInSkin(kNode);
    m_back = &required_child<Button>(*this, kNode, u"btnBack");
    m_list = &required_child<VList>(*this, kNode, u"listFolder");
    m_progress = &required_child<ProgressBar>(*this, kNode, u"progress");
    m_title = &required_child<Button>(*this, kNode, u"btnText");
    auto* bad = &required_child<ImageElement>(*this, kNode, u"bad");
    auto* loading = &required_child<ImageElement>(*this, kNode, u"loading");
    m_bad = bad->picture();
    m_loading = loading->picture();
    bad->set_visible(false);
    loading->set_visible(false);
    m_back->set_listener(this);
    m_title->set_enabled(false);
    m_title->set_text(PhotoLibrary::folder_display_name(m_folder.folder_path).empty()
                          ? std::u16string()
                          : album_display_name(m_properties, m_folder.folder_path));
    m_progress->set_visible(false);
    m_list->set_source(this);
    // Thumbnails are made at the size of the grid's images.
    const NodeHandle row = m_properties.find_node(u"FolderElement");
    const NodeHandle button = find_node_by_id(m_properties, row, u"button0");
    const NodeHandle image = find_node_by_id(m_properties, button, u"image");
    const Point design = m_properties.get_point(image, u"design_size");
    m_thumb_size = {design.x > 0 ? design.x : m_bad.natural_size().w,
                    design.y > 0 ? design.y : m_bad.natural_size().h};
    if (m_thumb_size.empty()) m_thumb_size = {64, 64};
    // Large cells keep the skin's margins around their thumbnails.
    const Point button_size = m_properties.get_point(button, u"design_size");
    const Point row_size = m_properties.get_point(row, u"design_size");
    m_skin_cell.image = m_thumb_size.w;
    m_skin_cell.button = button_size.x > 0 ? button_size.x : m_thumb_size.w + 4;
    m_skin_cell.row = row_size.y > 0 ? row_size.y : m_skin_cell.button + 2;
    m_last_width = -1;
}

void FolderScreen::reload_skin(Properties&) {
    build();
    // Thumbnails are framed with the new skin's picture: load them again.
    for (size_t g = 0; g < m_slots.size(); ++g)
        if (m_slots[g] == Slot::Loaded) m_slots[g] = Slot::Empty;
    m_next_to_load = 0;
    m_remaining = static_cast<int>(m_pictures.size());
    update_columns();
}

// The pictures in the order the viewer shows them (folder_pictures).
void FolderScreen::list_pictures() {
    m_pictures = folder_pictures(m_folder.folder_path);
}

void FolderScreen::open_folder(const Folder& folder, int flag) {
    m_folder = folder;
    m_flag = flag;
    // Pictures copied in or removed while the grid shows join or leave it.
    m_library.watch_folder(this, m_folder.folder_path);
    list_pictures();
    const int n = static_cast<int>(m_pictures.size());
    if (n != m_folder.size) m_library.set_folder_size(m_folder.key_picture, n);
    if (n > 0 && m_pictures.front() != m_folder.key_picture) {
        m_library.set_key_picture(m_folder.key_picture, m_pictures.front());
        m_folder.key_picture = m_pictures.front();
    }
    m_folder.size = n;
    m_title->set_text(album_display_name(m_properties, m_folder.folder_path));
    m_thumbnails.assign(m_pictures.size(), PictureReference{});
    m_slots.assign(m_pictures.size(), Slot::Empty);
    m_next_to_load = 0;
    m_remaining = n;
    m_loading_frames = 0;
    m_viewer_request = -1;
    m_last_width = -1;
    update_columns();
    m_progress->set_visible(false);
    if (Application* app = Application::instance()) {
        if (!m_open) app->push_screen(this, false);
    } else {
        set_visible(true);
    }
    m_open = true;
}

int FolderScreen::ask_quick_thumbnails_ahead(PhotoLibrary& library, const Folder& folder,
                                             int count) {
    const std::vector<std::u16string> pictures = folder_pictures(folder.folder_path);
    int asked = 0;
    for (size_t i = 0; i < pictures.size() && i < size_t(std::max(count, 0)); ++i) {
        // The checks the grid makes first; whatever else it finds is queued then.
        const std::u16string name = cache_file_name(pictures[i], folder.drive_path);
        if (name.empty() || is_failed_thumbnail(name) || is_cache_file_valid(name)) continue;
        library.add_picture(pictures[i], folder.drive_path, true);
        ++asked;
    }
    trace() << tick_count() << " folder " << folder.folder_path << ": " << asked
            << " quick thumbnails asked for ahead\n";
    return asked;
}

int FolderScreen::cells_on_screen(Size size, int shift) {
    const SkinCell skin;
    const GridCells cells = grid_cells(size.w, shift, cell_size_setting(), skin);
    const int row = cells.large ? cells.row : skin.row << std::clamp(shift, 0, 4);
    return cells.columns * (std::max(size.h, 0) / std::max(row, 1) + 1);
}

void FolderScreen::update_columns() {
    int width = 0;
    if (Application* app = Application::instance()) width = app->client_area().client_width;
    if (width <= 0) width = this->width();
    if (width == m_last_width && m_list->item_count() > 0) return;
    m_last_width = width;
    m_cells = grid_cells(width, m_properties.scale_shift(), m_cell_size, m_skin_cell);
    m_columns = m_cells.columns;
    if (m_cells.large) restart_large_cells();
    const int n = picture_count();
    m_list->reset((n + m_columns - 1) / m_columns);
}

void FolderScreen::restart_large_cells() {
    if (!m_cells.large) return;
    // Four screens of pictures are kept, and at least 16 MB of them.
    int height = 0;
    if (Application* app = Application::instance()) height = app->client_area().client_height;
    const size_t rows = static_cast<size_t>(std::max(height, 1) / std::max(m_cells.row, 1) + 2);
    const size_t bytes = size_t(m_cells.image) * size_t(m_cells.image) * sizeof(Pixel);
    const size_t budget = std::max<size_t>(16u << 20, 4 * rows * size_t(m_columns) * bytes);
    m_large.restart(m_cells, picture_count(), m_bad, m_bad, m_loading, budget);
}

bool FolderScreen::change_cell_size(int step) {
    if (!m_cells.large) return false;
    const int size = next_cell_size(m_cell_size, step);
    if (size == m_cell_size) return false;
    m_cell_size = size;
    write_dword(kAppKey, kCellSizeValue, static_cast<uint32_t>(size));
    trace() << tick_count() << " grid cells " << size << "\n";
    m_last_width = -1;
    update_columns();
    return true;
}

void FolderScreen::layout_x() {
    Container::layout_x();
    if (m_open && width() > 0 && width() != m_last_width) update_columns();
}

void FolderScreen::resolution_changed() {
    m_last_width = -1;
    if (m_open) update_columns();
}

PictureReference FolderScreen::picture_for(int g) {
    if (g < 0 || g >= static_cast<int>(m_slots.size())) return m_loading;
    if (m_cells.large) {
        switch (m_slots[g]) {
            case Slot::Loaded:
            case Slot::Quick:
                return m_large.picture(g, m_thumbnails[g], m_slots[g] == Slot::Loaded,
                                       m_pictures[g], m_folder.drive_path);
            case Slot::Failed:
                return m_large.bad();
            default:
                return m_large.loading();
        }
    }
    switch (m_slots[g]) {
        case Slot::Loaded:
        case Slot::Quick:
            return m_thumbnails[g];
        case Slot::Failed:
            return m_bad;
        default:
            return m_loading;
    }
}

bool FolderScreen::load_thumbnail(int g, bool on_screen) {
    if (m_slots[g] == Slot::Loaded || m_slots[g] == Slot::Failed) return false;
    PictureReference thumbnail;
    switch (
        load_framed_thumbnail(m_pictures[g], m_folder.drive_path, m_thumb_size, m_bad, thumbnail)) {
        case ThumbnailState::Ready:
            m_thumbnails[g] = std::move(thumbnail);
            m_slots[g] = Slot::Loaded;
            --m_remaining;
            return true;
        case ThumbnailState::Failed:
            m_slots[g] = Slot::Failed;
            --m_remaining;
            return true;
        case ThumbnailState::Missing:
            if (m_slots[g] == Slot::Queued || m_slots[g] == Slot::Quick) return false;
            // A picture whose build failed in this run is not built again.
            if (m_library.is_failed_picture(m_pictures[g])) {
                m_slots[g] = Slot::Failed;
                --m_remaining;
                return true;
            }
            m_slots[g] = Slot::Queued;
            m_library.add_picture(m_pictures[g], m_folder.drive_path, on_screen);
            return false;
    }
    return false;
}

bool FolderScreen::take_quick_thumbnail(int g) {
    const std::shared_ptr<const Bitmap> quick = m_library.quick_thumbnail(m_pictures[g]);
    if (!quick) {
        m_library.request_quick_thumbnail(m_pictures[g]);
        return false;
    }
    PictureReference framed = framed_thumbnail(*quick, m_thumb_size, m_bad, kQuickThumbnailName);
    if (framed.empty()) return false;
    m_thumbnails[g] = std::move(framed);
    m_slots[g] = Slot::Quick;
    return true;
}

void FolderScreen::refresh_row(int row) {
    for (int i = 0; i < m_list->live_count(); ++i) {
        if (m_list->live_index(i) != row) continue;
        if (auto* element = dynamic_cast<FolderElement*>(m_list->live_element(i))) {
            element->refresh();
            m_list->mark_dirty();
        }
        return;
    }
}

void FolderScreen::load_some() {
    const int n = picture_count();
    if (m_next_to_load >= n && m_remaining <= 0) return;
    const uint64_t start = micro_ticks();
    const auto within = [&](uint64_t budget) { return micro_ticks() - start < budget; };
    // The cells on screen first: all of them in this frame when they fit the larger
    // budget, and in the first frames of a folder at least their share of what is left, so
    // that a folder whose cache files are valid is filled by its kFillFrames-th frame
    // whatever the machine's speed. Every picture on screen that must be built is queued
    // with its quick thumbnail asked for before any other picture of the folder is queued
    // (and so before any build can start).
    int quota = 0;
    if (m_loading_frames <= kFillFrames) {
        int empty = 0;
        for (int i = 0; i < m_list->live_count(); ++i)
            for (int c = 0, row = m_list->live_index(i); row >= 0 && c < m_columns; ++c)
                empty += row * m_columns + c < n && m_slots[row * m_columns + c] == Slot::Empty;
        const int frames_left = kFillFrames - m_loading_frames + 1;
        quota = (empty + frames_left - 1) / frames_left;
    }
    bool screen_done = true;
    for (int i = 0; i < m_list->live_count(); ++i) {
        const int row = m_list->live_index(i);
        if (row < 0) continue;
        bool changed = false;
        for (int c = 0; c < m_columns; ++c) {
            const int g = row * m_columns + c;
            if (g >= n) break;
            if (m_slots[g] == Slot::Empty) {
                if ((quota > 0 && within(kMostScreenUs)) || within(kScreenBudgetUs)) {
                    --quota;
                    changed |= load_thumbnail(g, true);
                } else {
                    screen_done = false;
                }
            }
            // Quick thumbnails are shown in the frame after they are made.
            if (m_slots[g] == Slot::Queued) changed |= take_quick_thumbnail(g);
        }
        if (changed) refresh_row(row);
    }
    if (!screen_done) return;
    // Then the rest in order; at least one picture a frame.
    int changed_row = -1;
    bool first = true;
    while (m_next_to_load < n && (first || within(kLoadBudgetUs))) {
        first = false;
        const int g = m_next_to_load++;
        if (m_slots[g] != Slot::Empty) continue;
        if (!load_thumbnail(g)) continue;
        const int row = g / m_columns;
        if (row != changed_row && changed_row >= 0) refresh_row(changed_row);
        changed_row = row;
    }
    if (changed_row >= 0) refresh_row(changed_row);
}

void FolderScreen::animate(double seconds) {
    Container::animate(seconds);
    m_library.poll_events();
    if (m_open && m_cells.large) {
        int last_row = -1;
        for (const int g : m_large.collect())
            if (g / m_columns != last_row) refresh_row(last_row = g / m_columns);
    }
    if (!m_open || m_remaining <= 0) return;
    ++m_loading_frames;
    load_some();
    if (m_remaining == 0)
        trace() << tick_count() << " folder thumbnails loaded " << picture_count() << " in "
                << m_loading_frames << " frames\n";
}

std::optional<double> FolderScreen::seconds_to_change() const {
    if (!m_open || m_remaining > 0) return 0.0;
    return m_library.seconds_to_change();
}

void FolderScreen::on_library_event(const LibraryEvent& event) {
    if (!m_open) return;
    if (event.progress) {
        m_progress->set_visible(true);
        m_progress->set_fraction(event.fraction);
    }
    if (event.cache_complete) m_progress->set_visible(false);
    if (event.picture_ready && !event.path.empty()) {
        for (int i = 0; i < picture_count(); ++i) {
            if (m_pictures[i] != event.path) continue;
            if (m_slots[i] == Slot::Queued || m_slots[i] == Slot::Quick) m_slots[i] = Slot::Empty;
            m_large.forget(i);
            if (event.failed && m_slots[i] == Slot::Empty) {
                m_slots[i] = Slot::Failed;
                --m_remaining;
            }
            load_thumbnail(i);
            refresh_row(i / m_columns);
            trace() << "refresh " << event.path << " num " << i << "\n";
        }
    }
    if (event.folder_emptied) {
        close();
        return;
    }
    // Listed again in place: the screen is on the stack already.
    const bool changed = event.folder_changed && event.folder == m_folder.folder_path;
    if (event.refresh || changed) open_folder(Folder(m_folder), m_flag);
    if (changed && m_pictures.empty()) close();
}

bool FolderScreen::clicked(Button& button, const ButtonEvent&) {
    if (&button == m_back) close();
    return true;
}

void FolderScreen::close() {
    m_open = false;
    m_library.watch_folder(this, {});
    if (Application* app = Application::instance()) app->remove_screen(this);
}

bool FolderScreen::on_key(const KeyEvent& event) {
    // Ctrl with plus or minus: larger or smaller cells.
    if (event.ctrl && (event.code == key::Plus || event.code == key::Minus)) {
        if (event.down) change_cell_size(event.code == key::Plus ? 1 : -1);
        return true;
    }
    if (Container::on_key(event)) return true;
    // Escape and Backspace go back as the back button does.
    if (event.code != key::Esc && event.code != key::Backspace) return false;
    if (!event.down) close();
    return true;
}

std::unique_ptr<Element> FolderScreen::create_item(VList&, int index) {
    const int rows = (picture_count() + m_columns - 1) / m_columns;
    if (index < 0 || index >= rows) return nullptr;
    return std::make_unique<FolderElement>(m_properties, *this, index);
}

void FolderScreen::thumbnail_clicked(int g) {
    open_viewer(g);
}

void FolderScreen::open_viewer(int index) {
    if (index < 0 || index >= picture_count()) return;
    m_viewer_request = index;
    trace() << tick_count() << " open viewer " << m_pictures[index] << " num " << index << "\n";
    if (m_opener) m_opener(m_pictures, index, m_folder.drive_path);
}

bool FolderScreen::choose_picture(const std::u16string& picture) {
    for (int i = 0; i < picture_count(); ++i) {
        if (m_pictures[i] != picture) continue;
        open_viewer(i);
        return true;
    }
    return false;
}

int FolderScreen::loaded_count() const {
    return picture_count() - m_remaining;
}

bool FolderScreen::on_wheel(const WheelEvent& event) {
    if (!m_open) return false;
    if (event.ctrl && !event.pinch && m_cells.large) {
        if (event.notches != 0) change_cell_size(event.notches > 0 ? 1 : -1);
        return true;
    }
    m_list->scroll_by(event.notches * wheel_step());
    return true;
}

}  // namespace vistrel
