#include "library/file_walker.h"

#include "library/formats/picture_format.h"
#include "platform/directory.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/threads.h"

namespace vistrel {

namespace {

// Deeper trees than this are not photo collections; the limit keeps the number of open
// folders and the recursion bounded whatever the file system holds.
constexpr int kMaxDepth = 256;

std::u16string search_path(const std::u16string& dir, const std::u16string& pattern) {
    return dir.empty() ? pattern : join(dir, pattern);
}

bool walk(FileVisitor& visitor, const std::u16string& dir, const std::u16string& file_pattern,
          const std::u16string& directory_pattern, bool recursive, int depth,
          bool pictures_only) {
    {
        DirectoryReader files(search_path(dir, file_pattern));
        DirectoryEntry entry;
        while (files.next(entry)) {
            if (entry.is_directory || (pictures_only && !is_picture_name(entry.name))) continue;
            const std::u16string path = join(dir, entry.name);
            // Only a link needs looking at again: is it one to a regular file?
            if (!entry.is_regular && !(entry.is_symlink && is_regular_file(path))) continue;
            const FileStamp stamp{entry.size, entry.modified_ns, entry.is_regular};
            if (!visitor.on_stamped_file(path, stamp)) return false;
        }
    }
    // Only folders are wanted here: the files among the entries need no closer look.
    DirectoryReader folders(search_path(dir, directory_pattern), EntryDetails::KindOnly);
    DirectoryEntry entry;
    while (folders.next(entry)) {
        if (!entry.is_directory || entry.name == u"." || entry.name == u"..") continue;
        const std::u16string sub = join(dir, entry.name);
        if (!visitor.on_directory(sub)) return false;
        if (recursive && depth < kMaxDepth &&
            !walk(visitor, sub, file_pattern, directory_pattern, recursive, depth + 1,
                  pictures_only))
            return false;
    }
    return true;
}

}  // namespace

bool FileCollector::on_file(const std::u16string& path) {
    files.push_back(path);
    stamps.resize(files.size());
    return true;
}

bool FileCollector::on_stamped_file(const std::u16string& path, const FileStamp& stamp) {
    const size_t at = files.size();
    const bool going = on_file(path);
    if (stamps.size() > at) stamps[at] = stamp;
    return going;
}

bool FileCollector::on_directory(const std::u16string& path) {
    directories.push_back(path);
    return true;
}

bool StoppableCollector::keep_going() const {
    return !m_worker || !m_worker->stop_requested();
}

bool StoppableCollector::on_file(const std::u16string& path) {
    FileCollector::on_file(path);
    return keep_going();
}

bool StoppableCollector::on_directory(const std::u16string& path) {
    FileCollector::on_directory(path);
    return keep_going();
}

bool find_files(FileVisitor& visitor, const std::u16string& dir, const std::u16string& file_pattern,
                const std::u16string& directory_pattern, bool recursive) {
    walk(visitor, dir, file_pattern, directory_pattern, recursive, 0, false);
    return true;
}

bool find_pictures(FileVisitor& visitor, const std::u16string& dir,
                   const std::u16string& directory_pattern, bool recursive) {
    walk(visitor, dir, u"*", directory_pattern, recursive, 0, true);
    return true;
}

}  // namespace vistrel
