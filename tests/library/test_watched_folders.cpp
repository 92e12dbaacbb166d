// Folders watched for the whole program: changes reported once quiet, through the
// library's events, with the folder's record following; and mounted storage.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>

#include "library/watched_folders.h"
#include "library_fixture.h"

namespace vistrel::test {
namespace {

using namespace std::chrono_literals;

void touch_file(const fs::path& file) {
    std::ofstream(file) << "x";
}

TEST(WatchedFolders, OneWatchForEveryOwnerReportedOnceQuiet) {
    TempDir dir;
    fs::create_directories(dir.path() / "a");
    const std::u16string folder = from_utf8((dir.path() / "a").string() + "/");
    // The same folder spelt another way shares the kernel's watch.
    const std::u16string other = from_utf8((dir.path() / "a").string() + "/./");
    WatchedFolders watched;
    int grid = 0, viewer = 0, elsewhere = 0;
    watched.watch(&grid, folder);
    watched.watch(&viewer, folder);
    watched.watch(&elsewhere, other);
    const auto t0 = std::chrono::steady_clock::now();

    touch_file(dir.path() / "a" / "1.jpg");
    EXPECT_TRUE(watched.changed(t0).empty());  // not yet quiet
    touch_file(dir.path() / "a" / "2.jpg");
    EXPECT_TRUE(watched.changed(t0 + 200ms).empty());
    const std::vector<std::u16string> due = watched.changed(t0 + 200ms + WatchedFolders::kQuiet);
    EXPECT_EQ(due, (std::vector<std::u16string>{folder, other}));
    EXPECT_TRUE(watched.changed(t0 + 2s).empty());  // once

    // A folder that never rests is reported a second after its first change.
    auto t = t0 + 3s;
    std::vector<std::u16string> busy;
    for (int i = 0; i < 8 && busy.empty(); ++i, t += 200ms) {
        touch_file(dir.path() / "a" / ("b" + std::to_string(i) + ".jpg"));
        busy = watched.changed(t);
    }
    EXPECT_FALSE(busy.empty());
    EXPECT_LE(t - (t0 + 3s), WatchedFolders::kLongest + 200ms);

    // The grid closes, the viewer and the other spelling still see changes.
    watched.changed(t + 5s);
    watched.watch(&grid, {});
    watched.watch(&elsewhere, {});
    fs::remove(dir.path() / "a" / "1.jpg");
    const auto t1 = t + 10s;
    watched.changed(t1);
    EXPECT_EQ(watched.changed(t1 + 1s), (std::vector<std::u16string>{folder}));
    // Nobody watches: nothing is reported.
    watched.watch(&viewer, {});
    touch_file(dir.path() / "a" / "3.jpg");
    watched.changed(t1 + 2s);
    EXPECT_TRUE(watched.changed(t1 + 5s).empty());
}

// Counts the wakes a WatchedFolders gives from its own thread.
class Wakes {
public:
    std::function<void()> wake() {
        return [this] {
            std::scoped_lock lock(m_mutex);
            ++m_count;
            m_changed.notify_all();
        };
    }
    // Waits (up to five seconds) for at least `count` wakes; the count then.
    int wait_for(int count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, 5s, [&] { return m_count >= count; });
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

TEST(WatchedFolders, NewsWakesOnceUntilTakenAndWhatIsDueThenIsTimed) {
    TempDir dir;
    fs::create_directories(dir.path() / "a");
    const std::u16string folder = from_utf8((dir.path() / "a").string() + "/");
    WatchedFolders watched;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(watched.time_to_due(t0));  // nothing watched: nothing will be due
    int owner = 0;
    watched.watch(&owner, folder);
    // Only the timed re-scan is due.
    ASSERT_TRUE(watched.time_to_due(t0));
    EXPECT_GT(*watched.time_to_due(t0), 5s);
    EXPECT_LE(*watched.time_to_due(t0), FolderWatcher::kRescanPeriod);

    Wakes wakes;
    watched.set_wake(wakes.wake());
    ASSERT_TRUE(watched.waking());
    touch_file(dir.path() / "a" / "1.jpg");
    EXPECT_EQ(wakes.wait_for(1), 1);
    // The news is not taken yet: no second wake for it, nor for more of it.
    touch_file(dir.path() / "a" / "2.jpg");
    sleep_ms(100);
    EXPECT_EQ(wakes.wait_for(0), 1);

    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_TRUE(watched.changed(t1).empty());  // taken, waiting out its quiet time
    ASSERT_TRUE(watched.time_to_due(t1));
    EXPECT_LE(*watched.time_to_due(t1), WatchedFolders::kQuiet);
    EXPECT_EQ(watched.time_to_due(t1 + WatchedFolders::kQuiet), 0ms);
    // Taken news arms the wake again.
    touch_file(dir.path() / "a" / "3.jpg");
    EXPECT_EQ(wakes.wait_for(2), 2);
    EXPECT_EQ(watched.changed(t1 + WatchedFolders::kLongest), (std::vector<std::u16string>{folder}));

    watched.set_wake({});
    EXPECT_FALSE(watched.waking());
}

TEST_F(PhotoLibraryTest, StillScreensLookOnATimerOnlyWithoutAWake) {
    PhotoLibrary library(options());
    EXPECT_EQ(library.seconds_to_change(), 0.5);
    Wakes wakes;
    library.set_wake(wakes.wake());
    EXPECT_FALSE(library.seconds_to_change());  // nothing watched: only news brings a change
    int screen = 0;
    library.watch_folder(&screen, from_utf8((m_root.path() / "docs").string() + "/"));
    ASSERT_TRUE(library.seconds_to_change());
    EXPECT_GT(*library.seconds_to_change(), 5.0);  // the timed re-scan
    library.set_wake({});
    EXPECT_EQ(library.seconds_to_change(), 0.5);
}

TEST_F(PhotoLibraryTest, AWatchedFolderThatChangesIsAnnouncedAndItsRecordFollows) {
    add("Trip/1.jpg");
    add("Trip/2.jpg", 1);
    PhotoLibrary library(options());
    EventLog log;
    library.add_listener(&log);
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::cache_complete); }));
    ASSERT_EQ(library.get_folders_size(), 1);
    const Folder trip = library.get_folder(0);
    ASSERT_EQ(trip.size, 2);
    int screen = 0;
    library.watch_folder(&screen, trip.folder_path);
    log.events.clear();

    add("Trip/3.jpg", 2);
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::folder_changed) > 0; }));
    const auto changed = std::find_if(log.events.begin(), log.events.end(),
                                      [](const LibraryEvent& e) { return e.folder_changed; });
    EXPECT_EQ(changed->folder, trip.folder_path);
    EXPECT_TRUE(changed->path.empty());
    EXPECT_EQ(library.get_folder(0).size, 3);
    EXPECT_GE(log.count(&LibraryEvent::folders_changed), 1);

    // The key picture goes: the first one left takes its place; then the folder empties.
    log.events.clear();
    fs::remove(m_root.path() / "docs" / "Trip" / "1.jpg");
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::folder_changed) > 0; }));
    EXPECT_EQ(library.get_folder(0).size, 2);
    EXPECT_EQ(library.get_folder(0).key_picture, u"%my_documents%/Trip/2.jpg");
    log.events.clear();
    fs::remove(m_root.path() / "docs" / "Trip" / "2.jpg");
    fs::remove(m_root.path() / "docs" / "Trip" / "3.jpg");
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::folder_changed) > 0; }));
    EXPECT_EQ(library.get_folders_size(), 0);
    std::vector<Folder> saved;
    load_folders(folder_list(), saved);
    EXPECT_TRUE(saved.empty());

    // No longer watched: nothing more.
    library.watch_folder(&screen, {});
    log.events.clear();
    add("Trip/4.jpg", 3);
    sleep_ms(600);
    library.poll_events();
    EXPECT_EQ(log.count(&LibraryEvent::folder_changed), 0);
    library.remove_listener(&log);
}

TEST(MountedStorage, AMountOrUnmountIsAnnouncedToTheListeners) {
    // A mount namespace of the test's own, so that nothing is mounted for anyone else.
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "cannot make a mount namespace here";
    TempDir dir;
    ScopedEnv cards("VISTREL_CARDS", std::nullopt);
    PhotoLibraryOptions options;
    options.folder_list = from_utf8(dir.file("folders.ini"));
    options.build_threads = 1;
    PhotoLibrary library(options);
    EventLog log;
    library.add_listener(&log);
    library.poll_events();
    EXPECT_EQ(log.count(&LibraryEvent::storage_changed), 0);
    fs::create_directories(dir.path() / "card");
    const std::string card = (dir.path() / "card").string();
    if (mount("none", card.c_str(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    library.poll_events();
    EXPECT_EQ(log.count(&LibraryEvent::storage_changed), 1);
    library.poll_events();
    EXPECT_EQ(log.count(&LibraryEvent::storage_changed), 1);  // once a change
    ASSERT_EQ(umount(card.c_str()), 0);
    library.poll_events();
    EXPECT_EQ(log.count(&LibraryEvent::storage_changed), 2);
    library.remove_listener(&log);
}

}  // namespace
}  // namespace vistrel::test
