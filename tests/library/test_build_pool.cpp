// The build pool: every piece of work done once, on several threads at once, new work
// taken up by threads that had none, and the photo library's events with several build
// threads as with one.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "library/build_pool.h"
#include "library/cache/cache_file.h"
#include "library/cache/quick_thumbnail.h"
#include "platform/paths.h"
#include "render/bitmap.h"
#include "library_fixture.h"

namespace vistrel::test {
namespace {

// A queue of numbered jobs shared by the pool's threads, noting who did what.
class JobQueue {
public:
    explicit JobQueue(int jobs) : m_left(jobs) {}
    // Takes one job; false when none is left.
    bool take(int index, int& job) {
        std::scoped_lock lock(m_mutex);
        if (m_left == 0) return false;
        job = --m_left;
        m_threads.insert(index);
        return true;
    }
    void add(int jobs) {
        std::scoped_lock lock(m_mutex);
        m_left += jobs;
    }
    std::set<int> threads() {
        std::scoped_lock lock(m_mutex);
        return m_threads;
    }

private:
    std::mutex m_mutex;
    int m_left;
    std::set<int> m_threads;
};

TEST(BuildPool, EveryJobIsDoneOnceOnSeveralThreadsAtOnce) {
    for (const int threads : {1, 2, 4}) {
        BuildPool pool(threads);
        EXPECT_EQ(pool.threads(), threads);
        JobQueue queue(40);
        std::vector<std::atomic<int>> done(40);
        std::atomic<int> running{0}, most{0};
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<bool> caller_only{true};
        // Three rounds of the same pool; the queue is filled for the first two.
        for (int round = 0; round < 3; ++round) {
            pool.run([&](int index) {
                int job = 0;
                if (!queue.take(index, job)) return false;
                if (std::this_thread::get_id() != caller) caller_only = false;
                const int now = ++running;
                for (int m = most.load(); now > m && !most.compare_exchange_weak(m, now);) {
                }
                // Long enough for the other threads to take jobs of their own.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                --running;
                ++done[size_t(job)];
                return true;
            });
        }
        for (const std::atomic<int>& count : done)
            EXPECT_EQ(count.load(), 1);
        EXPECT_EQ(running.load(), 0);
        if (threads == 1) {
            EXPECT_TRUE(caller_only.load());
            EXPECT_EQ(most.load(), 1);
        } else {
            EXPECT_GT(most.load(), 1);
            EXPECT_GT(queue.threads().size(), 1u);
        }
    }
}

TEST(BuildPool, WorkAddedDuringARoundWakesTheIdleThreads) {
    BuildPool pool(3);
    JobQueue queue(1);
    std::atomic<int> done{0};
    std::atomic<bool> added{false};
    // The first job adds six more while the other threads have found nothing; the round
    // goes on until they are done too.
    pool.run([&](int index) {
        int job = 0;
        if (!queue.take(index, job)) return false;
        if (!added.exchange(true)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            queue.add(6);
            pool.poke();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ++done;
        return true;
    });
    EXPECT_EQ(done.load(), 7);
    EXPECT_GT(queue.threads().size(), 1u);
    // A poke between rounds does nothing, and the next round runs as the first.
    pool.poke();
    queue.add(2);
    pool.run([&](int index) {
        int job = 0;
        if (!queue.take(index, job)) return false;
        ++done;
        return true;
    });
    EXPECT_EQ(done.load(), 9);
}

TEST(BuildPool, ThreadsDefaultToTheProcessorsUpToEight) {
    const int processors = int(std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_EQ(default_build_threads(), std::min(processors, 8));
    EXPECT_EQ(default_build_threads(1), 1);
    EXPECT_EQ(default_build_threads(100), std::min(processors, 8));
}

// Several build threads: every picture is reported once, progress runs up to the end,
// the folder is complete only once its last picture is, and builds ran at once.
TEST_F(PhotoLibraryTest, SeveralBuildThreadsReportAsOneWorker) {
    constexpr int kPictures = 12;
    std::vector<std::u16string> pictures;
    for (int i = 0; i < kPictures; ++i)
        pictures.push_back(add("p/" + std::to_string(i) + ".jpg", i));
    std::atomic<int> running{0}, most{0};
    auto build = [&](const std::u16string& picture, const std::u16string& drive,
                     const StopTest& stop) {
        const int now = ++running;
        for (int m = most.load(); now > m && !most.compare_exchange_weak(m, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const bool built = build_cache_file(picture, drive, stop);
        --running;
        return built;
    };
    PhotoLibrary library(options(build, 3));
    EXPECT_EQ(library.build_threads(), 3);
    EventLog log;
    library.add_listener(&log);
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::cache_complete) > 0; }));
    library.poll_events();
    EXPECT_EQ(log.count(&LibraryEvent::search_complete), 1);
    EXPECT_EQ(log.count(&LibraryEvent::cache_complete), 1);
    std::vector<std::u16string> paths = log.paths();
    std::sort(paths.begin(), paths.end());
    std::vector<std::u16string> expected = pictures;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected);
    // Nothing after the end, and fractions only grow below 1.
    EXPECT_TRUE(log.events.back().cache_complete);
    const std::vector<double> fractions = log.fractions();
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    for (double f : fractions)
        EXPECT_LT(f, 1.0);
    EXPECT_GT(most.load(), 1);
    EXPECT_EQ(library.most_builds_at_once(), most.load());
    for (const std::u16string& picture : pictures)
        EXPECT_FALSE(library.is_failed_picture(picture));
    library.remove_listener(&log);
}

// A stop while every build thread is busy ends them all, and no picture counts as failed.
TEST_F(PhotoLibraryTest, StopEndsEveryBuildThread) {
    for (int i = 0; i < 6; ++i)
        add("s/" + std::to_string(i) + ".jpg", i);
    std::atomic<int> started{0};
    auto build = [&](const std::u16string&, const std::u16string&, const StopTest& stop) {
        ++started;
        while (!stop())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
    };
    {
        PhotoLibrary library(options(build, 3));
        library.need_search();
        ASSERT_TRUE(eventually([&] { return started.load() == 3; }));
    }
    EXPECT_EQ(started.load(), 3);
}

// Pictures queued with their quick thumbnails asked for: every one is made before any
// build starts, though the quick thumbnails are slow and three threads wait to build.
TEST_F(PhotoLibraryTest, QuickThumbnailsAskedForAreMadeBeforeAnyBuild) {
    constexpr int kPictures = 6;
    std::vector<std::u16string> pictures;
    for (int i = 0; i < kPictures; ++i)
        pictures.push_back(add("q/" + std::to_string(i) + ".jpg", i));
    std::mutex mutex;
    std::vector<std::string> order;  // "quick" and "build", as they began and ended
    auto note = [&](const char* what) {
        std::scoped_lock lock(mutex);
        order.push_back(what);
    };
    PhotoLibraryOptions settings = options(
        [&](const std::u16string& picture, const std::u16string& drive, const StopTest& stop) {
            note("build");
            return build_cache_file(picture, drive, stop);
        },
        3);
    settings.quick_thumbnail = [&](const std::u16string& picture) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        note("quick");
        return make_quick_thumbnail(picture);
    };
    PhotoLibrary library(settings);
    for (const std::u16string& picture : pictures)
        library.add_picture(picture, kDocuments, true);
    EventLog log;
    library.add_listener(&log);
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::cache_complete) > 0; }));
    std::scoped_lock lock(mutex);
    ASSERT_EQ(order.size(), size_t(2 * kPictures));
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + kPictures),
              std::vector<std::string>(kPictures, "quick"));
    library.remove_listener(&log);
}

// Held builds start only once let go; quick thumbnails are made meanwhile.
TEST_F(PhotoLibraryTest, HeldBuildsWaitUntilLetGo) {
    const std::u16string picture = add("h/a.jpg");
    std::atomic<int> builds{0};
    PhotoLibrary library(options([&](const std::u16string& path, const std::u16string& drive,
                                     const StopTest& stop) {
        ++builds;
        return build_cache_file(path, drive, stop);
    }, 2));
    library.hold_builds(true);
    library.add_picture(picture, kDocuments);
    library.request_quick_thumbnail(picture);
    ASSERT_TRUE(eventually([&] { return library.quick_thumbnail(picture) != nullptr; }));
    sleep_ms(50);
    EXPECT_EQ(builds.load(), 0);
    EXPECT_FALSE(is_regular_file(expand_path(cache_file_name(picture, kDocuments))));
    library.hold_builds(false);
    ASSERT_TRUE(eventually([&] { return library.builds_ended() == 1; }));
    EXPECT_EQ(builds.load(), 1);
}

}  // namespace
}  // namespace vistrel::test
