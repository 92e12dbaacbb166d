#include "screens/picture_actions.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>

#include "library/cache/cache_file.h"
#include "library/formats/picture_format.h"
#include "library/photo_library.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "platform/trash.h"
#include "screens/date_text.h"
#include "screens/image_viewer.h"
#include "shell/application.h"
#include "shell/monkey.h"
#include "skin/skin_errors.h"

namespace vistrel {

namespace {

MenuItem item(std::u16string id, std::u16string text = {}) {
    MenuItem entry;
    entry.id = std::move(id);
    entry.text = std::move(text);
    return entry;
}

std::u16string number(uint64_t value) {
    return to_u16(static_cast<int64_t>(value));
}

bool remove_path(const std::u16string& path) {
    const FileInfo info = file_info(path);
    if (!info.exists) return false;
    if (info.is_directory) return ::rmdir(to_utf8(expand_path(path)).c_str()) == 0;
    return delete_file(path);
}

std::u16string without_trailing_separator(std::u16string path) {
    while (path.size() > 1 && is_separator(path.back())) path.pop_back();
    return path;
}

}  // namespace

std::u16string size_text(const Properties& properties, uint64_t bytes) {
    constexpr uint64_t kKilo = 1024, kMega = 1048576;
    if (bytes < kKilo) return number(bytes) + u" " + properties.text_for(u"byte");
    if (bytes < kMega) {
        const uint64_t k = bytes / kKilo;
        const std::u16string unit = u" " + properties.text_for(u"kbyte");
        if (k >= 100) return number(k) + unit;
        return number(k) + u"." + number((bytes % kKilo) / 100) + unit;
    }
    const uint64_t m = bytes / kMega;
    const std::u16string unit = u" " + properties.text_for(u"mbyte");
    if (m >= 100) return number(m) + unit;
    return number(m) + u"." + number((bytes % kMega) / 102400) + unit;
}

std::u16string properties_text(const Properties& properties, const std::u16string& picture,
                               Size resolution) {
    std::u16string text;
    auto line = [&](const char16_t* key, const std::u16string& value) {
        text += properties.text_for(key) + u" : " + value + u"\n";
    };
    // Names as they can be shown: bytes that are no UTF-8 would break the text.
    line(u"Name", readable_name(file_name_part(picture)));
    line(u"Folder",
         readable_name(without_trailing_separator(expand_path(directory_part(picture)))));
    if (resolution.w != 0 || resolution.h != 0)
        line(u"Resolution", to_u16(resolution.w) + u"x" + to_u16(resolution.h));
    {
        FileStream file(picture, OpenMode::Read);
        const PictureFormat format = picture_format(file, picture);
        if (format != PictureFormat::Unknown) line(u"Format", from_utf8(format_name(format)));
    }
    const FileInfo info = file_info(picture);
    if (info.exists) {
        const std::time_t modified = static_cast<std::time_t>(info.modified_ns / 1000000000);
        line(u"Size", size_text(properties, info.size));
        line(u"Date", long_date_text(properties, modified));
        line(u"Time", local_time_text(modified));
    }
    return text;
}

bool delete_picture_and_cache(const std::u16string& picture, const std::u16string& drive) {
    const std::u16string cache = cache_file_name(picture, drive);
    if (cache.empty()) return false;
    if (!remove_path(cache)) return false;
    return remove_path(picture);
}

bool trash_picture_and_cache(const std::u16string& picture, const std::u16string& drive,
                             std::string& why) {
    // The cache file is named after the picture's size and time: found before it moves.
    const std::u16string cache = cache_file_name(picture, drive);
    if (!move_to_trash(to_utf8(expand_path(picture)), why)) return false;
    // The picture is safe in the trash. A picture not built yet has no cache file to remove;
    // one left behind is cleared with the others.
    if (!cache.empty() && file_info(cache).exists && !remove_path(cache))
        trace() << "delete: the cache file of a trashed picture stays: " << cache << "\n";
    return true;
}

std::u16string send_file_path(const std::u16string& drive) {
    return join(cache_folder(drive), u"send.jpg");
}

bool send_by_mail(const std::u16string& file) {
    const std::u16string path = without_trailing_separator(expand_path(file));
    trace() << "execute_file(xdg-email} {--attach " << path << ")\n";
    return spawn_process({"xdg-email", "--attach", to_utf8(path)});
}

// --- The viewer's menu ---

void ImageViewer::open_options() {
    if (!m_menu) {
        try {
            m_menu = std::make_unique<Menu>(m_properties, static_cast<MenuListener&>(*this), u"Menu",
                                            u"MenuElement");
        } catch (const dovado::SkinError&) {
            return;  // a skin without a menu offers no actions
        }
    }
    m_menu->open_menu(u"Options", u"", true);
}

void ImageViewer::ask_delete() {
    if (picture_for(1).empty()) return;
    open_options();
    if (m_menu) m_menu->open_menu(u"Delete", u"", false);
}

bool ImageViewer::deletes_to_trash() const {
    const std::u16string picture = picture_for(1);
    if (picture.empty()) return false;
    // A board (a frame-buffer device) has no desktop whose file manager would show a trash.
    if (Application* app = Application::instance();
        app && !app->window().profile().framebuffer.empty())
        return false;
    return trash_for(to_utf8(expand_path(picture))).has_value();
}

void ImageViewer::on_menu_item(Menu&, const std::u16string& id, const std::u16string&,
                               std::vector<MenuItem>& entries) {
    static const std::array<const char16_t*, 4> kVersions = {u"Original", u"Large", u"Medium",
                                                              u"Small"};
    if (id == u"Options") {
        for (const char16_t* id : {u"Delete", u"Send", u"Properties"})
            entries.push_back(item(id));
        // The slide show's order: the entry offers the other one.
        entries.push_back(item(u"Shuffle", m_properties.text_for(m_shuffle ? u"InOrder" : u"Shuffle")));
        entries.push_back(item(u"Cancel"));
    } else if (id == u"Send") {
        const VersionSizes sizes = m_tiles.version_sizes(1);
        const std::array<uint64_t, 4> bytes = {sizes.full, sizes.large, sizes.medium, sizes.small};
        for (size_t i = 0; i < kVersions.size(); ++i)
            if (bytes[i] != 0)
                entries.push_back(item(kVersions[i], m_properties.text_for(kVersions[i]) + u" (" +
                                                     size_text(m_properties, bytes[i]) + u")"));
        entries.push_back(item(u"Cancel"));
    } else if (id == u"Delete") {
        // The confirmation says where the picture goes: to the trash, or away for good.
        const char16_t* key = deletes_to_trash() ? u"DeleteToTrash" : u"DeleteForGood";
        std::u16string text = m_properties.text_for(key);
        if (text == key) text = m_properties.text_for(u"Delete");
        MenuItem yes = item(u"DeleteYes", text);
        if (m_properties.find_node(u"MenuElementRed")) yes.element_node = u"MenuElementRed";
        entries.push_back(yes);
        entries.push_back(item(u"Cancel"));
    } else if (id == u"DeleteYes") {
        delete_current();
    } else if (id == u"Properties") {
        show_properties();
    } else if (id == u"Shuffle") {
        set_shuffle(!m_shuffle, true);
    } else {
        for (size_t i = 0; i < kVersions.size(); ++i)
            if (id == kVersions[i]) send_current(static_cast<int>(i));
    }
}

void ImageViewer::show_properties() {
    const std::u16string picture = picture_for(1);
    if (picture.empty()) return;
    show_message(properties_text(m_properties, picture, m_tiles.picture_size(1)));
}

bool ImageViewer::send_current(int level) {
    const std::u16string picture = picture_for(1);
    if (picture.empty()) return false;
    std::u16string file = picture;
    if (level > 0) {
        file = send_file_path(m_drive);
        if (!m_tiles.save_version(1, file, level)) return false;
    }
    if (send_by_mail(file)) return true;
    std::u16string text = m_properties.text_for(u"NoMailClient");
    if (text == u"NoMailClient") text = u"No mail program could be started (xdg-email).";
    show_message(text);
    return false;
}

bool ImageViewer::delete_current() {
    const std::u16string picture = picture_for(1);
    if (picture.empty()) return false;
    const bool to_trash = deletes_to_trash();
    m_tiles.release_tiles(1);
    std::string why;
    const bool gone = to_trash ? trash_picture_and_cache(picture, m_drive, why)
                               : delete_picture_and_cache(picture, m_drive);
    if (!gone) {
        m_tiles.restart(1, size());
        if (to_trash) {
            trace() << "delete: " << why << "\n";
            std::u16string text = m_properties.text_for(u"TrashFailed");
            if (text == u"TrashFailed") text = u"The picture could not be moved to the trash.";
            show_message(text + u"\n" + from_utf8(why));
        }
        return false;
    }
    // A random session logs what it deleted, so that its check knows the picture went on
    // purpose.
    MonkeyPlayer::note("deleted " + to_utf8(expand_path(picture)));
    LibraryEvent event;
    event.picture_ready = false;
    event.refresh = true;
    event.path = picture;
    event.folder = directory_part(picture);
    m_pictures.erase(m_pictures.begin() + m_index);
    std::erase(m_folder_order, picture);
    if (m_deck) m_deck->update(m_folder_order);
    if (m_pictures.empty()) {
        m_tiles.reset_wake();
        for (int i = 0; i < TileRenderer::kSlots; ++i) m_tiles.release_tiles(i);
        close();
        event.folder_emptied = true;
        m_library.notify(event);
        return true;
    }
    m_scroll_direction = 0;
    if (m_index >= static_cast<int>(m_pictures.size())) {
        // The last picture went: the one before it becomes current.
        m_tiles.rotate(-1);
        --m_index;
        reset_slot(0);
        reset_slot(2);
    } else {
        // The next picture moves into the centre.
        m_tiles.rotate(1);
        reset_slot(0);
        reset_slot(2);
    }
    for (int s = 0; s < TileRenderer::kSlots; ++s) {
        m_tiles.view(s)->set_active(s == 1);
        m_tiles.view(s)->set_zoom(m_tiles.view(s)->fit_zoom());
    }
    place_views();
    m_library.notify(event);
    return true;
}

}  // namespace vistrel
