// Opening a path given on the command line: a folder as its album, a picture as its
// album with the picture chosen.

#include <algorithm>

#include "library/file_walker.h"
#include "library/formats/picture_format.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/trace.h"
#include "screens/about_panel.h"
#include "screens/album_screen.h"
#include "screens/folder_screen.h"

namespace vistrel {

namespace {

std::u16string with_separator(std::u16string path) {
    if (path.empty() || !is_separator(path.back())) path.push_back(u'/');
    return path;
}

// The storage root a folder outside every known one is cached under: the documents
// folder or a card holding it, else the folder itself.
std::u16string storage_root_of(const std::u16string& folder, PhotoLibrary& library) {
    const std::u16string documents = with_separator(expand_path(u"%my_documents%"));
    if (is_prefix_of(documents, folder)) return documents;
    for (int i = 0; i < library.get_folders_size(); ++i) {
        const std::u16string drive = with_separator(expand_path(library.get_folder(i).drive_path));
        if (is_prefix_of(drive, folder)) return drive;
    }
    return folder;
}

}  // namespace

std::optional<PathAlbum> album_of_path(PhotoLibrary& library, const std::u16string& given) {
    const std::u16string path = expand_path(given);
    const FileInfo info = file_info(path);
    PathAlbum album;
    std::u16string folder_path;
    if (info.is_directory || (info.is_symlink && !is_regular_file(path) && info.exists)) {
        folder_path = with_separator(path);
    } else if (is_regular_file(path) && is_picture_name(file_name_part(path))) {
        folder_path = with_separator(directory_part(path));
        album.picture = path;
    } else {
        trace() << tick_count() << " open_path: not a folder or picture " << path << "\n";
        return std::nullopt;
    }
    for (int i = 0; i < library.get_folders_size(); ++i) {
        Folder folder = library.get_folder(i);
        if (with_separator(expand_path(folder.folder_path)) != folder_path) continue;
        album.folder = std::move(folder);
        album.listed = true;
        return album;
    }
    // A folder the library does not know yet.
    FileCollector pictures;
    find_pictures(pictures, folder_path, u"do_not_search", false);
    if (pictures.files.empty()) {
        trace() << tick_count() << " open_path: no pictures in " << folder_path << "\n";
        return std::nullopt;
    }
    album.folder.folder_path = folder_path;
    album.folder.drive_path = storage_root_of(folder_path, library);
    album.folder.key_picture = pictures.files.front();
    album.folder.size = static_cast<int32_t>(pictures.files.size());
    return album;
}

bool AlbumScreen::open_path(const std::u16string& given) {
    const std::optional<PathAlbum> album = album_of_path(m_library, given);
    if (!album) return false;
    // What covers the albums closes; an open folder screen shows the new album instead.
    if (m_menu->is_open()) m_menu->cancel();
    m_about->close();
    // A folder the library did not know becomes an album of its own, kept in the list.
    if (!album->listed) m_library.add_folder(album->folder);
    m_library.set_current_folder(album->folder.folder_path);
    m_folder_screen->open_folder(album->folder, m_flag);
    if (!album->picture.empty()) m_folder_screen->choose_picture(album->picture);
    return true;
}

}  // namespace vistrel
