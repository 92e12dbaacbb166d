#include "platform/directory.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/paths.h"
#include "platform/text.h"

namespace vistrel {

bool matches_pattern(std::u16string_view pattern, std::u16string_view name) {
    // Iterative matcher with one back-tracking point for the last "*": linear in practice,
    // never exponential.
    if (pattern == u"*.*") return true;  // "*.*" matches every name, dots or not
    size_t p = 0, n = 0;
    size_t star = std::u16string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || to_lower(pattern[p]) == to_lower(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

DirectoryReader::DirectoryReader(const std::u16string& search, EntryDetails details)
    : m_details(details) {
    const std::u16string full = expand_path(search);
    const size_t cut = full.find_last_of(u'/');
    if (cut == std::u16string::npos)
        open(u".", full);
    else
        open(cut == 0 ? u"/" : full.substr(0, cut), full.substr(cut + 1));
}

DirectoryReader::DirectoryReader(const std::u16string& folder, const std::u16string& pattern,
                                 EntryDetails details)
    : m_details(details) {
    open(expand_path(folder), pattern);
}

void DirectoryReader::open(const std::u16string& folder, const std::u16string& pattern) {
    m_folder = to_utf8(folder.empty() ? u"." : folder);
    m_pattern = pattern;
    if (m_pattern.empty()) return;
    m_dir = opendir(m_folder.c_str());
}

DirectoryReader::~DirectoryReader() {
    if (m_dir) closedir(m_dir);
}

bool DirectoryReader::next(DirectoryEntry& entry) {
    if (!m_dir) return false;
    while (const dirent* d = readdir(m_dir)) {
        std::u16string name = from_file_name(d->d_name);
        if (!matches_pattern(m_pattern, name)) continue;
        entry = DirectoryEntry{};
        entry.name = std::move(name);
        // The kind alone comes with the listing, unless the file system does not say or
        // the entry is a link; folders are looked at all the same, so that one that
        // vanished is not reported.
        if (m_details == EntryDetails::KindOnly && d->d_type != DT_UNKNOWN &&
            d->d_type != DT_LNK && d->d_type != DT_DIR) {
            entry.is_directory = d->d_type == DT_DIR;
            entry.is_regular = d->d_type == DT_REG;
            return true;
        }
        // Relative to the open folder: no walk down the whole path for every entry.
        struct stat st {};
        if (fstatat(dirfd(m_dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // vanished meanwhile
        entry.is_symlink = S_ISLNK(st.st_mode);
        entry.is_directory = S_ISDIR(st.st_mode);
        entry.is_regular = S_ISREG(st.st_mode);
        entry.size = static_cast<uint64_t>(st.st_size);
        entry.modified_ns = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return true;
    }
    return false;
}

}  // namespace vistrel
