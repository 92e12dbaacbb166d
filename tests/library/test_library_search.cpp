// The photo library while it searches: interface calls that do not wait for the search,
// progress that counts pictures queued before it, a folder list saved only whole, pictures
// whose cache file cannot be written, a missing documents folder, and file names that are
// not UTF-8 or hold a backslash.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>

#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "library/folder_list.h"
#include "library_fixture.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "render/bitmap.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using test::EventLog;
using test::eventually;
using test::GatedBuilder;
using test::kDocuments;
using test::PhotoLibraryTest;

// Where the events of one kind came in the log.
std::vector<size_t> positions(const EventLog& log, bool LibraryEvent::*flag) {
    std::vector<size_t> out;
    for (size_t i = 0; i < log.events.size(); ++i)
        if (log.events[i].*flag) out.push_back(i);
    return out;
}

class LibrarySearchTest : public PhotoLibraryTest {
protected:
    // `folders` folders of `each` tiny pictures, every one with a cache file, so a search
    // checks a cache file for each picture.
    void make_cached_tree(int folders, int each) {
        fs::create_directories(m_root.path() / "docs" / "!vistrelcache");
        for (int f = 0; f < folders; ++f) {
            const std::string dir = "f" + std::to_string(f);
            fs::create_directories(m_root.path() / "docs" / dir);
            for (int i = 0; i < each; ++i) {
                const std::string name = dir + "/" + std::to_string(i) + ".jpg";
                test::write_file(m_root.file("docs/" + name), std::string(size_t(i + 1), 'x'));
                const std::u16string cache = cache_file_name(kDocuments + from_utf8(name), kDocuments);
                test::write_file(to_utf8(expand_path(cache)), std::string("\x13\0\0\0", 4));
            }
        }
    }
};

// A cache check that holds the search at its `at`-th picture until it is let go.
class HeldCheck {
public:
    explicit HeldCheck(int at) : m_at(at) {}
    CacheCheckFunction function() {
        return [this](const std::u16string& cache_file) {
            if (++m_calls == m_at)
                while (!m_released)
                    sleep_ms(1);
            return is_cache_file_valid(cache_file);
        };
    }
    bool holding() const { return m_calls >= m_at && !m_released; }
    void release() { m_released = true; }

private:
    const int m_at;
    std::atomic<int> m_calls{0};
    std::atomic<bool> m_released{false};
};

// need_search, add_picture and the folder record changes return while a search is in the
// middle of reading cache files, and a change made meanwhile never writes the half-built
// list.
TEST_F(LibrarySearchTest, InterfaceCallsDoNotWaitForASearch) {
    constexpr int kFolders = 6;
    make_cached_tree(kFolders, 4);
    const fs::path other = m_root.path() / "other";
    fs::create_directories(other);
    test::write_bytes((other / "extra.jpg").string(), test::make_jpeg({}));
    const std::u16string other_drive = from_utf8(other.string()) + u"/";
    const std::vector<Folder> before{
        {kDocuments, u"%my_documents%/old/", u"%my_documents%/old/a.jpg", 3}};
    ASSERT_TRUE(save_folders(folder_list(), before));

    HeldCheck check(10);  // in the third folder
    PhotoLibraryOptions held = options();
    held.check_cache = check.function();
    PhotoLibrary library(held);
    EventLog log;
    library.add_listener(&log);
    library.need_search();
    ASSERT_TRUE(eventually([&] { return check.holding(); }));
    library.need_search();  // returns at once and asks for one more search
    library.add_picture(other_drive + u"extra.jpg", other_drive);
    library.set_folder_size(u"%my_documents%/f0/0.jpg", 7);
    library.set_key_picture(u"%my_documents%/f0/0.jpg", u"%my_documents%/f0/1.jpg");
    EXPECT_EQ(library.get_folders_size(), 3);
    std::vector<Folder> saved;
    load_folders(folder_list(), saved);
    EXPECT_EQ(saved.size(), 1u) << "a list of " << saved.size() << " folders was saved";
    check.release();

    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::search_complete) == 2; }));
    EXPECT_GE(log.count(&LibraryEvent::cache_complete), 1);
    saved.clear();
    load_folders(folder_list(), saved);
    EXPECT_EQ(saved.size(), size_t(kFolders));
    EXPECT_TRUE(is_cache_valid(other_drive + u"extra.jpg", other_drive));
    library.remove_listener(&log);
}

// Pictures still queued when a search starts count in its maximum: value and maximum meet
// only when every one of them is built.
TEST_F(LibrarySearchTest, PicturesQueuedBeforeASearchCountInItsProgress) {
    std::vector<std::u16string> queued;
    for (int i = 0; i < 3; ++i)
        queued.push_back(add("p/" + std::to_string(i) + ".jpg", i));
    const std::u16string found = add("q/new.jpg", 5);
    GatedBuilder builder;
    PhotoLibrary library(options(builder.function()));
    EventLog log;
    library.add_listener(&log);
    for (const std::u16string& picture : queued)
        library.add_picture(picture, kDocuments);
    ASSERT_TRUE(eventually([&] { return builder.order().size() == 1; }));
    library.need_search();
    builder.allow(1);
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::search_complete); }));
    EXPECT_EQ(library.progress().value, 0);
    EXPECT_EQ(library.progress().max, 3);  // two still queued, one found

    builder.allow(100);
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::cache_complete); }));
    sleep_ms(20);
    library.poll_events();
    EXPECT_EQ(log.count(&LibraryEvent::cache_complete), 1);
    const std::vector<size_t> ready = positions(log, &LibraryEvent::picture_ready);
    size_t last_path = 0;
    for (size_t i : ready)
        if (!log.events[i].path.empty()) last_path = i;
    EXPECT_GT(positions(log, &LibraryEvent::cache_complete).front(), last_path);
    for (double fraction : log.fractions())
        EXPECT_LT(fraction, 1.0);
    for (const std::u16string& picture : {queued[1], queued[2], found})
        EXPECT_TRUE(is_cache_valid(picture, kDocuments)) << to_utf8(picture);
    library.remove_listener(&log);
}

// A picture whose cache file cannot be written is reported failed once and not built again
// until it changes, however often a screen queues it.
TEST_F(LibrarySearchTest, PicturesThatCannotBeCachedAreBuiltOnce) {
    const std::u16string picture = add("a.jpg");
    // A file where the cache folder should be: nothing can be written there, even by root.
    test::write_file(m_root.file("docs/!vistrelcache"), "in the way");
    std::atomic<int> builds{0};
    const CacheBuildFunction build = [&](const std::u16string& p, const std::u16string& drive,
                                         const StopTest& stop) {
        ++builds;
        return build_cache_file(p, drive, stop);
    };
    PhotoLibrary library(options(build));
    // A screen that queues every picture reported without a usable cache file.
    struct Requeuer final : LibraryListener {
        PhotoLibrary* library = nullptr;
        int failures = 0;
        void on_library_event(const LibraryEvent& event) override {
            if (event.path.empty()) return;
            if (event.failed) ++failures;
            library->add_picture(event.path, kDocuments);
        }
    } screen;
    screen.library = &library;
    EventLog log;
    library.add_listener(&screen);
    library.add_listener(&log);
    EXPECT_FALSE(library.is_failed_picture(picture));
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::cache_complete); }));
    for (int i = 0; i < 20; ++i) {
        sleep_ms(2);
        library.poll_events();
    }
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(screen.failures, 1);
    EXPECT_TRUE(library.is_failed_picture(picture));
    EXPECT_FALSE(is_failed_thumbnail(cache_file_name(picture, kDocuments)));

    // A new search does not build it again either.
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::search_complete) == 2; }));
    EXPECT_EQ(builds, 1);

    // Once the picture changes, it is built again.
    add("a.jpg", 3);
    library.add_picture(picture, kDocuments);
    ASSERT_TRUE(eventually([&] { return builds == 2; }));

    // A picture gone behind the library's back fails once too, until it is back.
    const std::u16string gone = kDocuments + std::u16string(u"gone.jpg");
    library.add_picture(gone, kDocuments);
    ASSERT_TRUE(polled(library, [&] { return screen.failures == 3; }));
    for (int i = 0; i < 20; ++i) {
        sleep_ms(2);
        library.poll_events();
    }
    EXPECT_EQ(builds, 3);
    EXPECT_TRUE(library.is_failed_picture(gone));
    library.remove_listener(&log);
    library.remove_listener(&screen);
}

// Without a documents folder the search covers the cards alone, instead of the whole file
// system from its root.
TEST_F(LibrarySearchTest, MissingDocumentsFolderIsNotSearched) {
    const fs::path card = m_root.path() / "card";
    fs::create_directories(card / "DCIM");
    test::write_bytes((card / "DCIM" / "c.jpg").string(), test::make_jpeg({}));
    test::ScopedEnv documents("VISTREL_DOCUMENTS", m_root.file("missing"));
    test::ScopedEnv cards("VISTREL_CARDS", card.string());
    ASSERT_EQ(expand_path(u"%my_documents%"), u"");
    GatedBuilder builder;  // builds nothing: a search of "/" must not write anywhere
    PhotoLibrary library(options(builder.function()));
    EventLog log;
    library.add_listener(&log);
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::search_complete); }));
    ASSERT_EQ(library.get_folders_size(), 1);
    EXPECT_EQ(library.get_folder(0).drive_path, from_utf8(card.string()) + u"/");
    EXPECT_EQ(library.progress().max, 1);
    builder.allow(1);
    // A documents picture from an older folder list is not built below the root.
    library.add_picture(u"%my_documents%/old.jpg", kDocuments);
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::failed) == 1; }));
    EXPECT_EQ(builder.order().size(), 1u);
    library.remove_listener(&log);
}

// Names the file system gives are kept byte for byte: Latin-1 names that are not UTF-8, and
// names holding a backslash, which on this system is part of the name.
TEST_F(LibrarySearchTest, NamesThatAreNotUtf8OrHoldABackslashAreKept) {
    const std::vector<std::string> names{"caf\xE9.jpg", "we\\ird.jpg", "plain.jpg"};
    for (size_t i = 0; i < names.size(); ++i) {
        test::JpegOptions options;
        options.pattern = int(i);
        test::write_bytes(m_root.file("docs/" + names[i]), test::make_jpeg(options));
    }
    PhotoLibrary library(options());
    EventLog log;
    library.add_listener(&log);
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::cache_complete); }));
    ASSERT_EQ(library.get_folders_size(), 1);
    EXPECT_EQ(library.get_folder(0).size, 3);
    std::set<std::string> on_disk;
    for (const std::u16string& path : log.paths()) {
        EXPECT_EQ(directory_part(path), kDocuments);
        on_disk.insert(fs::path(to_utf8(expand_path(path))).filename().string());
        EXPECT_TRUE(is_cache_valid(path, kDocuments)) << to_utf8(path);
        EXPECT_TRUE(load_thumbnail(path, kDocuments)) << to_utf8(path);
    }
    EXPECT_EQ(on_disk, std::set<std::string>(names.begin(), names.end()));
    library.remove_listener(&log);
}

}  // namespace
}  // namespace vistrel
