#include "library/folder_watcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "library/file_walker.h"
#include "platform/directory.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

// A file written and closed, moved in or out, removed; the folder itself moved or removed.
constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE |
                             IN_DELETE_SELF | IN_MOVE_SELF | IN_ATTRIB;
constexpr size_t kMaxEntriesScanned = 200000;

void mix(uint64_t& hash, const void* bytes, size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        hash ^= p[i];
        hash *= 1099511628211ull;
    }
}

// The folder's entries with their sizes and times, as one number (0 when it cannot be read).
uint64_t listing_signature(const std::u16string& folder) {
    const std::string path = to_utf8(expand_path(folder));
    DIR* dir = opendir(path.c_str());
    if (!dir) return 0;
    std::vector<uint64_t> entries;
    while (const dirent* entry = readdir(dir)) {
        if (entries.size() >= kMaxEntriesScanned) break;
        struct stat info {};
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        uint64_t hash = 14695981039346656037ull;
        mix(hash, entry->d_name, std::strlen(entry->d_name));
        mix(hash, &info.st_size, sizeof info.st_size);
        mix(hash, &info.st_mtim, sizeof info.st_mtim);
        entries.push_back(hash);
    }
    closedir(dir);
    // Listing order means nothing: the entries are combined in sorted order.
    std::sort(entries.begin(), entries.end());
    uint64_t signature = 14695981039346656037ull ^ entries.size();
    for (uint64_t e : entries) mix(signature, &e, sizeof e);
    return signature | 1;
}

}  // namespace

std::vector<std::u16string> folder_pictures(const std::u16string& folder) {
    // By kind: the ".jpg" pictures, then the ".jpeg" ones, then those of every other
    // format, each group by name.
    FileCollector found;
    find_pictures(found, folder, u"*", false);
    auto group = [](const std::u16string& path) {
        if (matches_pattern(u"*.jpg", path)) return 0;
        return matches_pattern(u"*.jpeg", path) ? 1 : 2;
    };
    std::sort(found.files.begin(), found.files.end(),
              [&](const std::u16string& a, const std::u16string& b) {
                  const int ga = group(a), gb = group(b);
                  return ga != gb ? ga < gb : a < b;
              });
    return std::move(found.files);
}

FolderWatcher::FolderWatcher()
    : m_inotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      m_next_rescan(std::chrono::steady_clock::now() + kRescanPeriod) {
    if (!m_inotify.is_open()) trace() << "FolderWatcher: no inotify; folders are re-read\n";
}

FolderWatcher::~FolderWatcher() {
    watch({});
}

void FolderWatcher::watch(const std::vector<std::u16string>& folders) {
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (std::find(folders.begin(), folders.end(), it->first) != folders.end()) {
            ++it;
            continue;
        }
        // Two spellings of one folder share the watch: it goes with the last of them.
        const int descriptor = it->second.descriptor;
        it = m_folders.erase(it);
        const bool shared = std::any_of(m_folders.begin(), m_folders.end(), [&](const auto& f) {
            return f.second.descriptor == descriptor;
        });
        if (descriptor >= 0 && !shared) inotify_rm_watch(m_inotify.get(), descriptor);
    }
    for (const std::u16string& folder : folders) {
        if (folder.empty() || m_folders.count(folder)) continue;
        Watched watched;
        if (m_inotify.is_open())
            watched.descriptor =
                inotify_add_watch(m_inotify.get(), to_utf8(expand_path(folder)).c_str(), kEvents);
        watched.signature = listing_signature(folder);
        m_folders.emplace(folder, watched);
    }
}

std::optional<std::chrono::steady_clock::time_point> FolderWatcher::next_rescan() const {
    if (m_folders.empty()) return std::nullopt;
    return m_next_rescan;
}

std::vector<std::u16string> FolderWatcher::changed() {
    std::vector<std::u16string> out;
    drain(out);
    if (std::chrono::steady_clock::now() >= m_next_rescan) {
        m_next_rescan = std::chrono::steady_clock::now() + kRescanPeriod;
        rescan(out);
    }
    // What inotify reported is the listing now: the re-scan need not report it again.
    for (const std::u16string& folder : out) {
        auto it = m_folders.find(folder);
        if (it != m_folders.end()) it->second.signature = listing_signature(folder);
    }
    return out;
}

void FolderWatcher::drain(std::vector<std::u16string>& out) {
    if (!m_inotify.is_open()) return;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = read(m_inotify.get(), buffer, sizeof buffer);
        if (got <= 0) return;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (at > got) break;
            for (auto& [folder, watched] : m_folders) {
                if (watched.descriptor != event->wd) continue;
                if (std::find(out.begin(), out.end(), folder) == out.end()) out.push_back(folder);
                // A folder moved or removed is watched no more; the re-scan sees it return.
                if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                    if (!(event->mask & IN_IGNORED))
                        inotify_rm_watch(m_inotify.get(), watched.descriptor);
                    watched.descriptor = -1;
                }
            }
        }
    }
}

void FolderWatcher::rescan(std::vector<std::u16string>& out) {
    for (auto& [folder, watched] : m_folders) {
        const uint64_t now = listing_signature(folder);
        if (now == watched.signature) continue;
        watched.signature = now;
        if (std::find(out.begin(), out.end(), folder) == out.end()) out.push_back(folder);
        // A folder that came back (a share mounted again) is watched again.
        if (watched.descriptor < 0 && m_inotify.is_open() && now != 0)
            watched.descriptor =
                inotify_add_watch(m_inotify.get(), to_utf8(expand_path(folder)).c_str(), kEvents);
    }
}

MountWatcher::MountWatcher() {
    // Cards listed in VISTREL_CARDS stand for the mounted ones.
    if (!std::getenv("VISTREL_CARDS")) m_mounts.reset(open("/proc/self/mounts", O_RDONLY | O_CLOEXEC));
}

bool MountWatcher::changed() {
    if (!m_mounts.is_open()) return false;
    pollfd entry{m_mounts.get(), POLLPRI, 0};
    if (poll(&entry, 1, 0) <= 0 || !(entry.revents & (POLLERR | POLLPRI))) return false;
    // The change is taken note of by reading the table again from its start.
    char buffer[4096];
    lseek(m_mounts.get(), 0, SEEK_SET);
    while (read(m_mounts.get(), buffer, sizeof buffer) > 0) {
    }
    lseek(m_mounts.get(), 0, SEEK_SET);
    return true;
}

}  // namespace vistrel
