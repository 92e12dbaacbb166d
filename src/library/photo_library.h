#pragma once
// The photo library: the list of picture folders, the search for pictures on a worker
// thread of its own, the building of cache files on a pool of build threads (the worker
// and up to one more per processor), and the events that tell the screens about it. One
// instance lives for the whole run.
//
// The screens call it from the user-interface thread; the worker never calls into a
// screen. It queues events as flags and counters, and poll_events (called by every screen
// on each frame) delivers them to the listeners, after releasing its lock.
//
// Locks, always taken in this order: m_need_search_mutex (the search request),
// m_map_mutex (the pending pictures and the pictures that failed), m_folders_mutex (the
// folder list), the progress lock (counters and flags), m_current_folder_mutex. All are
// re-entrant. Every locked section is traced as "<operation> <lock> start" and "... end".
// No lock is held while the worker walks a drive or reads a cache file, so the screens'
// calls never wait for a search or a build. Searches and builds never overlap: a search
// asked for while pictures are built starts once the builds under way have ended. Events
// and counters are the same whatever the number of build threads; only the order in which
// pictures of one round end may differ.
//
// Events, as poll_events delivers them:
// - search_complete when a search has ended; the folder list is then whole and on file.
// - picture_ready with `path` for every picture whose build has ended; `failed` is set
//   when its cache file could not be made (also when not even the empty failure marker
//   could be written, so is_failed_thumbnail cannot tell): ask is_failed_picture.
// - progress with the fraction of the pictures built out of those queued: the pictures
//   still queued when a search starts count in its maximum.
// - cache_complete once every queued picture is built, and also right after a search
//   that left nothing to build (it queued nothing, or found nothing), so a screen can
//   treat it as the end of a search and its builds in every case.

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/build_pool.h"
#include "library/folder_list.h"
#include "library/jpeg/jpeg_reader.h"
#include "library/library_event.h"
#include "library/pending_pictures.h"
#include "library/watched_folders.h"
#include "platform/threads.h"

namespace vistrel {

class Bitmap;

// Builds the cache file of a picture found under a storage root; asks the stop test
// while it works. build_cache_file by default.
using CacheBuildFunction = std::function<bool(const std::u16string& picture,
                                              const std::u16string& drive, const StopTest& stop)>;

// Tells whether a search found a listed cache file valid. By default every listed file that
// is not empty is: builds give a cache file its name only once it is whole.
using CacheCheckFunction = std::function<bool(const std::u16string& cache_file)>;

// Makes the quick thumbnail of a picture without a cache file; make_quick_thumbnail by
// default.
using QuickThumbnailFunction = std::function<std::unique_ptr<Bitmap>(const std::u16string& picture)>;

struct PhotoLibraryOptions {
    std::u16string folder_list = u"%state_path%/folders.ini";
    CacheBuildFunction build_cache;  // empty: build_cache_file
    CacheCheckFunction check_cache;  // empty: is_cache_file_valid
    // Threads that build cache files at once: 0 for default_build_threads with the limit
    // of the settings value "BuildThreads" (when set); 1 builds on the worker alone.
    int build_threads = 0;
    QuickThumbnailFunction quick_thumbnail;  // empty: make_quick_thumbnail
};

// The build counters as poll_events sees them.
struct LibraryProgress {
    int value = 0;  // pictures built
    int max = 0;    // pictures queued
};

class PhotoLibrary final : public WorkerThread, public Singleton<PhotoLibrary> {
public:
    // Loads the folder list, announces it and starts the worker; no search is started.
    explicit PhotoLibrary(PhotoLibraryOptions options = {});
    // Stops the worker (ending a search or build at once) and waits for it.
    ~PhotoLibrary() override;

    // The one instance, or null.
    static PhotoLibrary* instance();

    void add_listener(LibraryListener* listener);
    void remove_listener(LibraryListener* listener);
    // Calls every listener in registration order.
    void notify(const LibraryEvent& event);

    // Asks the worker for a search and returns at once. A request made while a search
    // runs is served by one more search after it.
    void need_search();
    int get_folders_size();
    // A copy of folder i; an empty record when i is out of range.
    Folder get_folder(int i);
    // The index of the first folder whose key picture is `picture`, or -1.
    int search_folder_num(const std::u16string& picture);
    // The folder holding `picture` gets `key` as its key picture. The folder list file is
    // written at once, or, while a search is rebuilding the list, when the search ends
    // (a file never holds a half-built list).
    void set_key_picture(const std::u16string& picture, const std::u16string& key);
    // The folder holding `picture` gets `size` pictures, or is removed when that is 0;
    // saved as set_key_picture saves.
    void set_folder_size(const std::u16string& picture, int size);
    // Adds a folder the search has not found (one opened from the command line) at the end
    // of the list, saved as set_key_picture saves; false, changing nothing, when a folder
    // with the same path is already listed or the record has no path.
    bool add_folder(const Folder& folder);
    // The name shown for a folder: its last path element as readable_name shows it,
    // "My documents" for the documents folder.
    static std::u16string folder_display_name(const std::u16string& folder);

    // Queues a picture ahead of the search (one shown without a thumbnail); its folder's
    // pictures are built first from now on. A picture that failed in this run and has not
    // changed since is not queued again (see is_failed_picture). With `quick` its quick
    // thumbnail is asked for in the same step (see request_quick_thumbnail), so that no
    // build can start before it.
    void add_picture(const std::u16string& picture, const std::u16string& drive,
                     bool quick = false);
    // Builds the pictures around `picture` first, it first of all; when it is already
    // built, tells the listeners at once.
    void prioritize_picture(const std::u16string& picture);
    void set_current_folder(const std::u16string& folder);
    // Asks for the quick thumbnail of a picture on screen that is queued for its build
    // (see quick_thumbnail.h); a thread of their own makes those asked for, in order, so
    // that they never wait for a build, and the build threads help. No build starts while
    // one is asked for or being made: the pictures on screen show something first. Asking
    // again for one asked for or made, or for a picture not queued, does nothing.
    void request_quick_thumbnail(const std::u16string& picture);
    // The quick thumbnail once made; null before, or when none could be made. Kept until
    // the picture's build ends.
    std::shared_ptr<const Bitmap> quick_thumbnail(const std::u16string& picture);
    // Whether the picture's cache file failed to build in this run and the picture has not
    // changed (size and modification time) since.
    bool is_failed_picture(const std::u16string& picture);
    // Delivers the events gathered since the last call, and those of the watched folders
    // and of the mounted storage (see watch_folder).
    void poll_events();
    // Holds the start of new builds (those under way end as usual; quick thumbnails are
    // still made), or lets them go on. For scripted sessions that look at a folder before
    // any cache file exists: the settings value "HoldBuilds" holds them from the start.
    void hold_builds(bool hold);

    // Holds back searches and builds (a blanked frame): the builds under way end, no
    // more start until resumed; what was asked for meanwhile is done then.
    void set_paused(bool paused);
    bool paused() const { return m_paused.load(); }

    // Watches `folder` for `owner` (a screen) in place of what it watched before; an empty
    // folder ends its watch. poll_events then sends folder_changed with `folder` when
    // pictures were added to it, changed or removed (its record follows first), and
    // storage_changed when storage was mounted or unmounted. User-interface thread only.
    void watch_folder(const void* owner, const std::u16string& folder);
    // Calls `wake` from a thread of the library's when a watched folder or the mounted
    // storage has news for poll_events, so that still screens need not look on a timer.
    // Set it before the screens run; empty stops it. User-interface thread only.
    void set_wake(std::function<void()> wake);
    // How long still screens may go without poll_events and miss no folder or storage
    // change: until a change waits out its quiet time or a timed re-scan is due, with a
    // wake; half a second without one. None: only a wake can bring a change.
    std::optional<double> seconds_to_change() const;

    LibraryProgress progress();
    const std::u16string& folder_list_path() const { return m_options.folder_list; }
    // The number of threads that build cache files.
    int build_threads() const { return m_pool->threads(); }
    // The most builds that ran at once so far.
    int most_builds_at_once() const { return m_most_at_once.load(); }
    // Builds ended so far, built or not.
    int builds_ended() const { return m_builds_ended.load(); }
    // Quick thumbnails asked for so far.
    int quick_thumbnails_asked() const { return m_quick_asks.load(); }

protected:
    void run() override;

private:
    // Searches every storage card and the documents folder (when there is one); false when
    // it was stopped.
    bool search();
    // Whether `picture` failed in this run under the cache file name `name` (the name
    // changes with the picture's size and time). Under m_map_mutex.
    bool failed_unchanged(const std::u16string& picture, const std::u16string& name) const;
    bool check_drive(const std::u16string& drive);
    // Makes the first quick thumbnail asked for; false when none is.
    bool make_quick_thumbnail();
    // Asks for a queued picture's quick thumbnail; false when it is not asked for now (one
    // made or asked for already, or too many held). Under m_map_mutex.
    bool ask_quick_thumbnail(const std::u16string& picture);
    // The quick thumbnails' thread.
    void run_quick_thumbnails();
    // Builds the next pending picture not being built, on any build thread; false when
    // there is none, a stop is asked for, or a search is (unless `despite_search`).
    bool create_cache(bool despite_search);
    void save_folder_list();
    std::u16string current_folder();
    // The record of a watched folder that changed follows its pictures now.
    void follow_folder(const std::u16string& folder);

    PhotoLibraryOptions m_options;

    RecursiveMutex m_need_search_mutex;
    bool m_need_search = false;

    RecursiveMutex m_map_mutex;
    PendingPictures m_pending;
    struct FailedPicture {
        std::u16string cache_name;  // the name the picture had when it failed
        std::u16string drive_path;
    };
    std::map<std::u16string, FailedPicture> m_failed;  // by picture path
    // Quick thumbnails asked for (null until made) and those not yet being made.
    std::map<std::u16string, std::shared_ptr<const Bitmap>> m_quick;
    std::deque<std::u16string> m_quick_asked;
    int m_quick_making = 0;     // quick thumbnails being made
    bool m_builds_held = false;  // see hold_builds

    RecursiveMutex m_folders_mutex;
    std::vector<Folder> m_folders;
    bool m_rebuilding = false;  // a search has emptied the list and not yet finished it

    RecursiveMutex m_progress_mutex;
    int m_progress_max = 0;
    int m_progress_value = 0;
    int m_last_reported_value = 0;
    bool m_search_complete = false;
    bool m_cache_complete_due = false;  // a search ended with nothing left to build
    struct CompletedPicture {
        std::u16string path;
        bool failed = false;
    };
    std::deque<CompletedPicture> m_completed_pictures;

    RecursiveMutex m_current_folder_mutex;
    std::u16string m_current_folder;

    std::unique_ptr<BuildPool> m_pool;
    std::atomic<int> m_at_once{0};
    std::atomic<int> m_most_at_once{0};
    std::atomic<int> m_builds_ended{0};
    std::atomic<int> m_quick_asks{0};
    std::atomic<bool> m_paused{false};
    std::unique_ptr<WatchedFolders> m_watched;  // the user-interface thread's

    ManualResetEvent m_wake;
    ManualResetEvent m_quick_wake;
    std::thread m_quick_thread;
    bool m_told_no_documents = false;  // the worker's own

    Mutex m_listeners_mutex;  // outside the order: held only to copy or change the list
    std::vector<LibraryListener*> m_listeners;
};

}  // namespace vistrel
