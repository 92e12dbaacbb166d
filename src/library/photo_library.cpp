#include "library/photo_library.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <unordered_map>

#include "library/cache/cache_builder.h"
#include "library/cache/cache_cleanup.h"
#include "library/cache/cache_file.h"
#include "library/cache/quick_thumbnail.h"
#include "library/drives.h"
#include "library/file_walker.h"
#include "library/folder_watcher.h"
#include "platform/directory.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "render/bitmap.h"

namespace vistrel {

namespace {

std::atomic<PhotoLibrary*> g_instance{nullptr};

constexpr char16_t kDocumentsDrive[] = u"%my_documents%/";

// Quick thumbnails held at once (8 KB each); more are not made until builds end.
constexpr size_t kMaxQuickThumbnails = 2048;

// One locked section of an operation, traced as "<operation> <lock> start" once the lock
// is held and "<operation> <lock> end" before it is released.
class TracedSection {
public:
    TracedSection(RecursiveMutex& mutex, const char* operation, const char* lock)
        : m_lock(mutex), m_operation(operation), m_name(lock) {
        line(" start\n");
    }
    ~TracedSection() { line(" end\n"); }
    TracedSection(const TracedSection&) = delete;
    TracedSection& operator=(const TracedSection&) = delete;

private:
    // Written as one piece, so that lines of several build threads do not mix.
    void line(const char* end) const {
        TraceLine out = trace();
        if (out.enabled()) out << (std::string(m_operation) + " " + m_name + end);
    }

    std::unique_lock<RecursiveMutex> m_lock;
    const char* m_operation;
    const char* m_name;
};

std::u16string with_separator(const std::u16string& path) {
    return !path.empty() && is_separator(path.back()) ? path : path + u"/";
}

LibraryEvent folders_changed_event() {
    LibraryEvent event;
    event.folders_changed = true;
    return event;
}

// Where each folder's record was last seen, so that a search over thousands of folders
// does not scan the list for each of them; every answer is checked against the list.
using FolderIndex = std::unordered_map<std::u16string, size_t>;

// The size noted for a cache folder entry that is not a regular file.
constexpr uint64_t kNotAFile = UINT64_MAX;

// The folder record of `folder_path`, trying `hint` first (pictures of a folder mostly
// come one after another), then the index; null when there is none.
Folder* find_folder(std::vector<Folder>& folders, const std::u16string& folder_path, size_t& hint,
                    const FolderIndex& index) {
    if (hint < folders.size() && folders[hint].folder_path == folder_path) return &folders[hint];
    const auto known = index.find(folder_path);
    if (known == index.end()) return nullptr;
    if (known->second < folders.size() && folders[known->second].folder_path == folder_path) {
        hint = known->second;
        return &folders[hint];
    }
    for (size_t i = 0; i < folders.size(); ++i)
        if (folders[i].folder_path == folder_path) {
            hint = i;
            return &folders[i];
        }
    return nullptr;
}

int configured_build_threads(int asked) {
    if (asked > 0) return asked;
    uint32_t limit = 0;
    if (!read_dword(kAppKey, kBuildThreadsValue, limit) || limit > 64) limit = 0;
    return default_build_threads(int(limit));
}

}  // namespace

PhotoLibrary::PhotoLibrary(PhotoLibraryOptions options)
    : m_options(std::move(options)),
      m_pool(std::make_unique<BuildPool>(configured_build_threads(m_options.build_threads), -1)),
      m_watched(std::make_unique<WatchedFolders>()) {
    trace() << "PhotoLibrary build threads " << m_pool->threads() << "\n";
    uint32_t hold = 0;
    m_builds_held = read_dword(kAppKey, kHoldBuildsValue, hold) && hold == 1;
    if (!m_options.build_cache) m_options.build_cache = build_cache_file;
    if (!m_options.quick_thumbnail)
        m_options.quick_thumbnail = [](const std::u16string& picture) {
            return vistrel::make_quick_thumbnail(picture);
        };
    // Builds name a cache file only once it is whole, so a listed one is not opened.
    if (!m_options.check_cache) m_options.check_cache = [](const std::u16string&) { return true; };
    {
        TracedSection folders(m_folders_mutex, "PhotoLibrary", "m_folders_mutex");
        trace() << "ini load start\n";
        load_folders(m_options.folder_list, m_folders);
        trace() << "ini load end\n";
    }
    g_instance.store(this);
    notify(folders_changed_event());
    start();
    m_quick_thread = std::thread(&PhotoLibrary::run_quick_thumbnails, this);
}

PhotoLibrary::~PhotoLibrary() {
    request_stop();
    {
        // The worker resets the wake event only under this lock and only while no stop is
        // asked, so the signal below cannot be lost.
        std::scoped_lock lock(m_map_mutex);
        m_wake.set();
        m_quick_wake.set();
    }
    join();
    if (m_quick_thread.joinable()) m_quick_thread.join();
    PhotoLibrary* self = this;
    g_instance.compare_exchange_strong(self, nullptr);
}

PhotoLibrary* PhotoLibrary::instance() {
    return g_instance.load();
}

void PhotoLibrary::add_listener(LibraryListener* listener) {
    std::scoped_lock lock(m_listeners_mutex);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void PhotoLibrary::remove_listener(LibraryListener* listener) {
    std::scoped_lock lock(m_listeners_mutex);
    std::erase(m_listeners, listener);
}

void PhotoLibrary::notify(const LibraryEvent& event) {
    std::vector<LibraryListener*> listeners;
    {
        std::scoped_lock lock(m_listeners_mutex);
        listeners = m_listeners;
    }
    for (LibraryListener* listener : listeners) {
        {
            // A listener may have removed another (or itself) meanwhile.
            std::scoped_lock lock(m_listeners_mutex);
            if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
                continue;
        }
        listener->on_library_event(event);
    }
}

void PhotoLibrary::need_search() {
    TracedSection section(m_need_search_mutex, "need_search", "m_need_search_mutex");
    if (m_need_search) return;
    m_need_search = true;
    m_wake.set();
}

int PhotoLibrary::get_folders_size() {
    TracedSection section(m_folders_mutex, "get_folders_size", "m_folders_mutex");
    return static_cast<int>(m_folders.size());
}

Folder PhotoLibrary::get_folder(int i) {
    TracedSection section(m_folders_mutex, "get_folder", "m_folders_mutex");
    trace() << "get_folder count=" << m_folders.size() << " i=" << i << "\n";
    if (i < 0 || i >= static_cast<int>(m_folders.size())) return {};
    return m_folders[size_t(i)];
}

int PhotoLibrary::search_folder_num(const std::u16string& picture) {
    TracedSection section(m_folders_mutex, "search_folder_num", "m_folders_mutex");
    for (size_t i = 0; i < m_folders.size(); ++i)
        if (m_folders[i].key_picture == picture) return static_cast<int>(i);
    return -1;
}

void PhotoLibrary::set_key_picture(const std::u16string& picture, const std::u16string& key) {
    {
        TracedSection section(m_folders_mutex, "set_key_picture", "m_folders_mutex");
        const std::u16string folder = directory_part(picture);
        for (Folder& record : m_folders)
            if (record.folder_path == folder) {
                record.key_picture = key;
                break;
            }
        if (m_rebuilding)
            trace() << "set_key_picture: folder list saved when the search ends\n";
        else
            save_folders(m_options.folder_list, m_folders);
    }
    notify(folders_changed_event());
}

void PhotoLibrary::set_folder_size(const std::u16string& picture, int size) {
    {
        TracedSection section(m_folders_mutex, "set_folder_size", "m_folders_mutex");
        const std::u16string folder = directory_part(picture);
        const auto record = std::find_if(m_folders.begin(), m_folders.end(),
                                         [&](const Folder& f) { return f.folder_path == folder; });
        if (record != m_folders.end()) {
            if (size == 0)
                m_folders.erase(record);
            else
                record->size = size;
        }
        if (m_rebuilding)
            trace() << "set_folder_size: folder list saved when the search ends\n";
        else
            save_folders(m_options.folder_list, m_folders);
    }
    notify(folders_changed_event());
}

bool PhotoLibrary::add_folder(const Folder& folder) {
    if (folder.folder_path.empty() || folder.size <= 0) return false;
    {
        TracedSection section(m_folders_mutex, "add_folder", "m_folders_mutex");
        const bool listed = std::any_of(m_folders.begin(), m_folders.end(), [&](const Folder& f) {
            return f.folder_path == folder.folder_path;
        });
        if (listed) return false;
        m_folders.push_back(folder);
        if (m_rebuilding)
            trace() << "add_folder: folder list saved when the search ends\n";
        else
            save_folders(m_options.folder_list, m_folders);
    }
    notify(folders_changed_event());
    return true;
}

std::u16string PhotoLibrary::folder_display_name(const std::u16string& folder) {
    size_t end = folder.size();
    while (end > 0 && !is_separator(folder[end - 1]))
        --end;
    if (end == 0) return folder;
    size_t begin = end - 1;
    while (begin > 0 && !is_separator(folder[begin - 1]))
        --begin;
    const std::u16string name = folder.substr(begin, end - 1 - begin);
    return name == u"%my_documents%" ? u"My documents" : readable_name(name);
}

void PhotoLibrary::add_picture(const std::u16string& picture, const std::u16string& drive,
                               bool quick) {
    const std::u16string folder = directory_part(picture);
    const std::u16string name = cache_file_name(picture, drive);  // before the lock: a stat
    bool added = false, asked = false;
    {
        TracedSection map(m_map_mutex, "add_picture", "m_map_mutex");
        if (failed_unchanged(picture, name)) return;
        added = m_pending.add(folder, drive, picture);
        asked = quick && ask_quick_thumbnail(picture);
        if (added) {
            TracedSection progress(m_progress_mutex, "add_picture", "m_progress_max_mutex");
            ++m_progress_max;
            TracedSection current(m_current_folder_mutex, "add_picture", "m_current_folder_mutex");
            m_current_folder = folder;
        }
    }
    if (!added) {
        if (asked) m_pool->poke();
        return;
    }
    m_wake.set();
    m_pool->poke();
}

void PhotoLibrary::prioritize_picture(const std::u16string& picture) {
    const std::u16string folder = directory_part(picture);
    Priority priority;
    {
        TracedSection map(m_map_mutex, "prioritize_picture", "m_map_mutex");
        priority = m_pending.prioritize(folder, picture);
    }
    if (priority == Priority::Ordered) {
        set_current_folder(folder);
    } else if (priority == Priority::NotQueued) {
        LibraryEvent event;
        event.path = picture;
        event.failed = is_failed_picture(picture);
        notify(event);
    }
}

void PhotoLibrary::request_quick_thumbnail(const std::u16string& picture) {
    {
        TracedSection map(m_map_mutex, "request_quick_thumbnail", "m_map_mutex");
        if (!ask_quick_thumbnail(picture)) return;
    }
    m_pool->poke();
}

bool PhotoLibrary::ask_quick_thumbnail(const std::u16string& picture) {
    // Only for a picture waiting for its build: one built has its cache thumbnail.
    if (m_quick.size() >= kMaxQuickThumbnails || !m_pending.contains(picture)) return false;
    if (!m_quick.try_emplace(picture).second) return false;
    m_quick_asked.push_back(picture);
    m_quick_asks.fetch_add(1);
    m_quick_wake.set();
    return true;
}

void PhotoLibrary::hold_builds(bool hold) {
    {
        // Under the lock the worker rests under, so that a release cannot be missed.
        TracedSection map(m_map_mutex, "hold_builds", "m_map_mutex");
        m_builds_held = hold;
        if (!hold) m_wake.set();
    }
    m_pool->poke();
}

void PhotoLibrary::run_quick_thumbnails() {
    // At the interface's priority, above the builds: these are short and shown at once.
    while (!stop_requested()) {
        if (make_quick_thumbnail()) continue;
        {
            // Reset only under the lock that requests and the stop signal are made under.
            std::scoped_lock lock(m_map_mutex);
            if (m_quick_asked.empty() && !stop_requested()) m_quick_wake.reset();
        }
        m_quick_wake.wait();
    }
}

std::shared_ptr<const Bitmap> PhotoLibrary::quick_thumbnail(const std::u16string& picture) {
    TracedSection map(m_map_mutex, "quick_thumbnail", "m_map_mutex");
    const auto found = m_quick.find(picture);
    return found == m_quick.end() ? nullptr : found->second;
}

bool PhotoLibrary::make_quick_thumbnail() {
    if (stop_requested()) return false;
    std::u16string picture;
    {
        TracedSection map(m_map_mutex, "make_quick_thumbnail", "m_map_mutex");
        // Those whose build has ended meanwhile are passed over.
        while (!m_quick_asked.empty() && m_quick.count(m_quick_asked.front()) == 0)
            m_quick_asked.pop_front();
        if (m_quick_asked.empty()) return false;
        picture = std::move(m_quick_asked.front());
        m_quick_asked.pop_front();
        ++m_quick_making;
    }
    std::shared_ptr<const Bitmap> made = m_options.quick_thumbnail(picture);
    {
        TracedSection map(m_map_mutex, "make_quick_thumbnail", "m_map_mutex");
        // A picture whose build ended meanwhile has its cache file's thumbnail.
        const auto entry = m_quick.find(picture);
        if (entry != m_quick.end()) entry->second = std::move(made);
        // The builds held back for it may start (the worker rests under this lock).
        if (--m_quick_making == 0 && m_quick_asked.empty()) m_wake.set();
    }
    m_pool->poke();
    return true;
}

void PhotoLibrary::set_current_folder(const std::u16string& folder) {
    TracedSection section(m_current_folder_mutex, "set_current_folder", "m_current_folder_mutex");
    m_current_folder = folder;
}

bool PhotoLibrary::failed_unchanged(const std::u16string& picture,
                                    const std::u16string& name) const {
    const auto failed = m_failed.find(picture);
    // A missing picture (empty name) stays failed until it is back.
    return failed != m_failed.end() && failed->second.cache_name == name;
}

bool PhotoLibrary::is_failed_picture(const std::u16string& picture) {
    FailedPicture failed;
    {
        TracedSection map(m_map_mutex, "is_failed_picture", "m_map_mutex");
        const auto found = m_failed.find(picture);
        if (found == m_failed.end()) return false;
        failed = found->second;
    }
    return cache_file_name(picture, failed.drive_path) == failed.cache_name;
}

std::u16string PhotoLibrary::current_folder() {
    TracedSection section(m_current_folder_mutex, "create_cache", "m_current_folder_mutex");
    return m_current_folder;
}

void PhotoLibrary::poll_events() {
    std::vector<LibraryEvent> events;
    {
        TracedSection section(m_progress_mutex, "poll_events", "m_progress_value_mutex");
        if (m_search_complete) {
            events.emplace_back().search_complete = true;
            m_search_complete = false;
        }
        for (; !m_completed_pictures.empty(); m_completed_pictures.pop_front()) {
            LibraryEvent& event = events.emplace_back();
            event.path = m_completed_pictures.front().path;
            event.failed = m_completed_pictures.front().failed;
        }
        if (m_progress_max > 0) {
            const int value = m_progress_value;
            if (value < m_progress_max && value != m_last_reported_value) {
                m_last_reported_value = value;
                LibraryEvent& event = events.emplace_back();
                event.progress = true;
                event.fraction = double(value) / m_progress_max;
            }
            if (m_progress_max == m_progress_value) {
                events.emplace_back().cache_complete = true;
                m_progress_max = m_progress_value = m_last_reported_value = 0;
                m_cache_complete_due = false;
            }
        } else if (m_cache_complete_due) {
            // The search left nothing to build.
            events.emplace_back().cache_complete = true;
            m_progress_value = m_last_reported_value = 0;
            m_cache_complete_due = false;
        }
    }
    for (const std::u16string& folder : m_watched->changed()) {
        follow_folder(folder);
        LibraryEvent& event = events.emplace_back();
        event.picture_ready = false;
        event.folder_changed = true;
        event.folder = folder;
    }
    if (m_watched->storage_changed()) {
        trace() << tick_count() << " PhotoLibrary: the mounted storage changed\n";
        LibraryEvent& event = events.emplace_back();
        event.picture_ready = false;
        event.storage_changed = true;
    }
    // Outside the lock, so that a listener may call anything without meeting the worker.
    for (const LibraryEvent& event : events)
        notify(event);
}

void PhotoLibrary::watch_folder(const void* owner, const std::u16string& folder) {
    m_watched->watch(owner, folder);
}

void PhotoLibrary::set_wake(std::function<void()> wake) {
    m_watched->set_wake(std::move(wake));
}

std::optional<double> PhotoLibrary::seconds_to_change() const {
    // Without a wake the screens look for changes on a timer: inotify's news waits for
    // them, and a copy into a shown folder must show within two seconds.
    constexpr double kLookSeconds = 0.5;
    if (!m_watched->waking()) return kLookSeconds;
    const auto due = m_watched->time_to_due(std::chrono::steady_clock::now());
    if (!due) return std::nullopt;
    return std::chrono::duration<double>(*due).count();
}

void PhotoLibrary::follow_folder(const std::u16string& folder) {
    const std::vector<std::u16string> pictures = folder_pictures(folder);
    trace() << tick_count() << " PhotoLibrary: " << folder << " changed, " << pictures.size()
            << " pictures\n";
    {
        TracedSection section(m_folders_mutex, "follow_folder", "m_folders_mutex");
        const auto record = std::find_if(m_folders.begin(), m_folders.end(),
                                         [&](const Folder& f) { return f.folder_path == folder; });
        if (record == m_folders.end()) return;
        if (pictures.empty()) {
            m_folders.erase(record);
        } else {
            record->size = static_cast<int32_t>(pictures.size());
            // A key picture that went is replaced by the folder's first.
            if (std::find(pictures.begin(), pictures.end(), record->key_picture) == pictures.end())
                record->key_picture = pictures.front();
        }
        if (!m_rebuilding) save_folders(m_options.folder_list, m_folders);
    }
    notify(folders_changed_event());
}

void PhotoLibrary::set_paused(bool paused) {
    if (m_paused.exchange(paused) == paused) return;
    trace() << tick_count() << " PhotoLibrary " << (paused ? "paused" : "resumed") << "\n";
    if (paused) return;
    {
        std::scoped_lock lock(m_map_mutex);
        m_wake.set();
    }
    m_pool->poke();
}

LibraryProgress PhotoLibrary::progress() {
    TracedSection section(m_progress_mutex, "progress", "m_progress_value_mutex");
    return {m_progress_value, m_progress_max};
}

void PhotoLibrary::save_folder_list() {
    TracedSection section(m_folders_mutex, "run", "m_folders_mutex");
    m_rebuilding = false;
    save_folders(m_options.folder_list, m_folders);
}

void PhotoLibrary::run() {
    set_priority(-1);
    m_wake.wait();
    while (!stop_requested()) {
        if (m_paused) {
            // Searches and builds asked for meanwhile wait for the resume.
            {
                std::scoped_lock lock(m_map_mutex);
                if (m_paused && !stop_requested()) m_wake.reset();
            }
            m_wake.wait();
            continue;
        }
        bool search_due = false;
        {
            // The request is taken here; one made while the search runs asks for another.
            TracedSection section(m_need_search_mutex, "run", "m_need_search_mutex");
            search_due = m_need_search;
            m_need_search = false;
        }
        // A search cut short leaves the list of the last whole search on file.
        if (search_due && search()) {
            save_folder_list();
            TracedSection progress(m_progress_mutex, "run", "m_search_complete_mutex");
            m_search_complete = true;
            // Nothing built during a search, so the two meet only when nothing is queued.
            if (m_progress_value == m_progress_max) m_cache_complete_due = true;
        }
        if (stop_requested()) break;
        // One picture is built between two searches, as a single worker does; further
        // builds wait while a search is asked for.
        std::atomic<bool> first{true};
        // The build threads help with the quick thumbnails first: those are shown at once.
        m_pool->run([&](int) { return make_quick_thumbnail() || create_cache(first.exchange(false)); });
        {
            TracedSection search(m_need_search_mutex, "run", "m_need_search_mutex");
            TracedSection map(m_map_mutex, "run", "m_map_mutex");
            // Builds held back wake the worker when they may start (see hold_builds and
            // make_quick_thumbnail); a paused library waits for its resume.
            const bool nothing_to_build =
                m_pending.empty() || m_builds_held || (m_quick_making > 0 && m_quick_asked.empty());
            if (((nothing_to_build && !m_need_search) || m_paused) && !stop_requested())
                m_wake.reset();
        }
        m_wake.wait();
    }
}

bool PhotoLibrary::search() {
    FileCollector drives;
    find_drives(drives);
    {
        TracedSection map(m_map_mutex, "search", "m_map_mutex");
        TracedSection folders(m_folders_mutex, "search", "m_folders_mutex");
        TracedSection progress(m_progress_mutex, "search", "m_progress_max_mutex");
        m_folders.clear();
        m_rebuilding = true;
        // The pictures still queued are part of this round of builds.
        m_progress_max = static_cast<int>(m_pending.picture_count());
        m_progress_value = m_last_reported_value = 0;
        m_cache_complete_due = false;
    }
    for (const std::u16string& card : drives.directories)
        if (!check_drive(with_separator(card))) return false;
    if (documents_folder_exists()) return check_drive(kDocumentsDrive);
    if (!m_told_no_documents) {
        trace() << tick_count() << "search: no documents folder, "
                << "%my_documents% is not searched\n";
        m_told_no_documents = true;
    }
    return true;
}

bool PhotoLibrary::check_drive(const std::u16string& drive) {
    StoppableCollector pictures(this);
    find_pictures(pictures, drive, u"*", true);
    if (stop_requested()) return false;
    // The cache folder's entries with their sizes, read once: an empty file is the marker
    // of a picture that failed.
    std::unordered_map<std::u16string, uint64_t> listed;
    std::set<std::u16string> used;
    {
        DirectoryReader listing(cache_folder(drive), u"*");
        DirectoryEntry entry;
        while (listing.next(entry))
            if (entry.name != u"." && entry.name != u"..")
                listed.emplace(std::move(entry.name), entry.is_regular ? entry.size : kNotAFile);
    }

    const std::u16string expanded_drive = expand_path(drive);
    size_t hint = 0;
    FolderIndex index;
    {
        TracedSection folders(m_folders_mutex, "check_drive", "m_folders_mutex");
        for (size_t i = 0; i < m_folders.size(); ++i)
            index.emplace(m_folders[i].folder_path, i);
    }
    for (size_t i = 0; i < pictures.files.size(); ++i) {
        const std::u16string& picture = pictures.files[i];
        if (is_excluded_picture(picture)) continue;
        if (stop_requested()) return false;
        // The storage is read with no lock held; each picture's result is then entered
        // under the locks in a short section.
        // The size and time the walk read with the folder's listing, else (a link) the
        // picture's own; the drive's macro is expanded once, not for every picture.
        const FileStamp& stamp = pictures.stamps[i];
        const bool on_drive = picture.compare(0, drive.size(), drive) == 0;
        const std::u16string file =
            stamp.known ? cache_file_part(stamp.size, stamp.modified_ns)
                        : cache_file_part(on_drive ? expanded_drive + picture.substr(drive.size())
                                                   : expand_path(picture));
        if (file.empty()) continue;  // gone meanwhile
        const std::u16string name = vistrel::join(cache_folder(drive), file);
        const std::u16string folder = directory_part(picture);
        // The name holds the picture's size and time, and builds give a file its name only
        // when it is whole: a listed name is a finished cache file, or the marker of a
        // picture that failed as it is now, which is not decoded again.
        const auto listed_entry = listed.find(file);
        const bool listed_file = listed_entry != listed.end();
        const bool marker = listed_file && listed_entry->second == 0;
        const bool valid = listed_file && !marker && listed_entry->second != kNotAFile &&
                           m_options.check_cache(name);
        TracedSection map(m_map_mutex, "check_drive", "m_map_mutex");
        bool queued = false;
        if (valid || marker) {
            used.insert(file);
        } else if (failed_unchanged(picture, name)) {
            if (listed_file) used.insert(file);  // keep its failure marker
        } else {
            queued = m_pending.add(folder, drive, picture);
        }
        {
            TracedSection folders(m_folders_mutex, "check_drive", "m_folders_mutex");
            if (Folder* record = find_folder(m_folders, folder, hint, index)) {
                ++record->size;
            } else {
                index[folder] = m_folders.size();
                m_folders.push_back({drive, folder, picture, 1});
            }
        }
        if (queued) {
            TracedSection progress(m_progress_mutex, "check_drive", "m_progress_max_mutex");
            ++m_progress_max;
        }
    }
    // Every entry in use: nothing to delete, and no need to list the folder again.
    if (used.size() != listed.size()) remove_stale_cache_files(drive, used);
    TracedSection folders(m_folders_mutex, "check_drive", "m_folders_mutex");
    std::erase_if(m_folders, [](const Folder& f) { return f.size == 0; });
    return true;
}

bool PhotoLibrary::create_cache(bool despite_search) {
    if (stop_requested() || m_paused) return false;
    std::optional<PendingBuild> next;
    {
        // A search asked for waits for the builds under way, and no more start meanwhile.
        TracedSection search(m_need_search_mutex, "create_cache", "m_need_search_mutex");
        if (m_need_search && !despite_search) return false;
        TracedSection map(m_map_mutex, "create_cache", "m_map_mutex");
        if (m_pending.empty() || m_builds_held) return false;
        // The quick thumbnails asked for are made first: they are on screen.
        if (m_quick_making > 0 || !m_quick_asked.empty()) return false;
        next = m_pending.next(current_folder());
        if (next) m_pending.set_building(next->picture);
    }
    if (!next) return false;
    const int at_once = m_at_once.fetch_add(1) + 1;
    for (int most = m_most_at_once.load(); at_once > most;)
        if (m_most_at_once.compare_exchange_weak(most, at_once)) break;
    // Without a documents folder its drive would expand to the root: nothing is written.
    const bool buildable = next->drive_path != kDocumentsDrive || documents_folder_exists();
    const bool built =
        buildable &&
        m_options.build_cache(next->picture, next->drive_path, [this] { return stop_requested(); });
    m_at_once.fetch_sub(1);
    m_builds_ended.fetch_add(1);
    // A build cut short by a stop request is no failure of the picture.
    const bool failed = !built && !stop_requested();
    const std::u16string name = failed ? cache_file_name(next->picture, next->drive_path) : u"";
    // The picture built leaves the queue by its path: the list may have been re-ordered
    // while it was being built.
    bool removed;
    {
        TracedSection map(m_map_mutex, "create_cache", "m_map_mutex");
        removed = m_pending.remove(directory_part(next->picture), next->picture);
        m_quick.erase(next->picture);
        if (failed)
            m_failed[next->picture] = {name, next->drive_path};
        else
            m_failed.erase(next->picture);
    }
    if (!removed) return true;
    TracedSection progress(m_progress_mutex, "create_cache", "m_picture_complete_mutex");
    m_completed_pictures.push_back({next->picture, failed});
    ++m_progress_value;
    return true;
}

}  // namespace vistrel
