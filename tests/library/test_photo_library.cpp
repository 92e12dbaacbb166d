// The photo library and its worker: search, folder records, the folder list file, cache
// builds with their priorities and progress, stale cache files, listeners, and stopping
// during a search and during a build.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>

#include "jpeg_samples.h"
#include "library_fixture.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/photo_library.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using test::EventLog;
using test::GatedBuilder;
using test::PhotoLibraryTest;
using test::eventually;
using test::kDocuments;

TEST_F(PhotoLibraryTest, SearchFindsTheAlbumsAndBuildsTheirCaches) {
    const std::vector<std::u16string> pictures{add("top.jpg"), add("a/1.jpg", 1), add("a/2.JPG", 2),
                                               add("a/sub/3.jpeg", 3), add("b/4.jpg", 4)};
    add("Windows/hidden.jpg");
    test::write_file(m_root.file("docs/a/notes.txt"), "not a picture");
    {
        PhotoLibrary library(options());
        EventLog log;
        library.add_listener(&log);
        EXPECT_EQ(PhotoLibrary::instance(), &library);
        EXPECT_EQ(library.get_folders_size(), 0);  // no folder list yet, no search yet
        library.need_search();
        ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::cache_complete); }));
        EXPECT_EQ(log.count(&LibraryEvent::search_complete), 1);
        const std::vector<std::u16string> paths = log.paths();
        const std::set<std::u16string> built(paths.begin(), paths.end());
        EXPECT_EQ(built, std::set<std::u16string>(pictures.begin(), pictures.end()));

        std::map<std::u16string, Folder> folders;
        for (int i = 0; i < library.get_folders_size(); ++i) {
            const Folder folder = library.get_folder(i);
            EXPECT_EQ(folder.drive_path, kDocuments);
            EXPECT_EQ(directory_part(folder.key_picture), folder.folder_path);
            folders[folder.folder_path] = folder;
        }
        ASSERT_EQ(folders.size(), 4u);
        EXPECT_EQ(folders[u"%my_documents%/a/"].size, 2);
        EXPECT_EQ(folders[u"%my_documents%/a/sub/"].size, 1);
        EXPECT_EQ(folders[u"%my_documents%/"].key_picture, pictures[0]);
        EXPECT_EQ(library.get_folder(4).folder_path, u"");
        EXPECT_EQ(library.get_folder(-1).folder_path, u"");
        for (const std::u16string& picture : pictures)
            EXPECT_TRUE(is_cache_valid(picture, kDocuments)) << to_utf8(picture);
        library.remove_listener(&log);
    }
    EXPECT_EQ(PhotoLibrary::instance(), nullptr);

    // The next start shows the same albums at once; a search finds every cache valid,
    // reports no progress, and ends as a finished build does, with one cache_complete.
    std::vector<Folder> saved;
    load_folders(folder_list(), saved);
    EXPECT_EQ(saved.size(), 4u);
    PhotoLibrary library(options());
    EventLog log;
    library.add_listener(&log);
    EXPECT_EQ(library.get_folders_size(), 4);
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::search_complete); }));
    sleep_ms(20);
    library.poll_events();
    EXPECT_EQ(log.count(&LibraryEvent::progress), 0);
    EXPECT_EQ(log.count(&LibraryEvent::cache_complete), 1);
    EXPECT_EQ(library.get_folders_size(), 4);
    library.remove_listener(&log);
}

TEST_F(PhotoLibraryTest, ProgressIsReportedAsPicturesAreBuilt) {
    for (int i = 0; i < 10; ++i)
        add("p/" + std::to_string(i) + ".jpg", i);
    GatedBuilder builder;
    PhotoLibrary library(options(builder.function()));
    EventLog log;
    library.add_listener(&log);
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::search_complete); }));
    EXPECT_EQ(library.progress().max, 10);
    for (int built = 1; built <= 10; ++built) {
        log.events.clear();
        builder.allow(1);
        ASSERT_TRUE(eventually([&] { return library.progress().value == built; }));
        library.poll_events();
        EXPECT_EQ(log.paths().size(), 1u);
        if (built < 10) {
            EXPECT_EQ(log.fractions(), std::vector<double>{built / 10.0});
            EXPECT_EQ(log.count(&LibraryEvent::cache_complete), 0);
        } else {
            EXPECT_TRUE(log.fractions().empty());
            EXPECT_EQ(log.count(&LibraryEvent::cache_complete), 1);
        }
    }
    EXPECT_EQ(library.progress().max, 0);
    EXPECT_EQ(library.progress().value, 0);
    library.remove_listener(&log);
}

TEST_F(PhotoLibraryTest, PicturesAroundThePrioritizedOneAreBuiltFirst) {
    std::vector<std::u16string> pictures;
    for (int i = 0; i < 10; ++i)
        pictures.push_back(add("p/" + std::to_string(i) + ".jpg", i));
    GatedBuilder builder;
    PhotoLibrary library(options(builder.function()));
    EventLog log;
    library.add_listener(&log);
    for (const std::u16string& picture : pictures)
        library.add_picture(picture, kDocuments);
    library.add_picture(pictures[3], kDocuments);  // queued once only
    EXPECT_EQ(library.progress().max, 10);
    // The worker is building picture 0 when the viewer shows picture 7.
    ASSERT_TRUE(eventually([&] { return builder.order().size() == 1; }));
    library.prioritize_picture(pictures[7]);
    builder.allow(2);
    ASSERT_TRUE(polled(library, [&] { return log.paths().size() == 2; }));
    // Picture 0 was built and is reported by its path, though 7 heads the list now.
    EXPECT_EQ(log.paths(), (std::vector<std::u16string>{pictures[0], pictures[7]}));
    // A picture already built is ready at once.
    library.prioritize_picture(pictures[0]);
    EXPECT_EQ(log.paths().back(), pictures[0]);
    builder.allow(100);
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::cache_complete); }));
    std::vector<std::u16string> expected;
    for (const int i : {0, 7, 6, 8, 5, 9, 4, 3, 2, 1})
        expected.push_back(pictures[size_t(i)]);
    EXPECT_EQ(builder.order(), expected);
    library.remove_listener(&log);
}

TEST_F(PhotoLibraryTest, StaleCacheEntriesGoAndValidOnesStay) {
    const std::u16string kept = add("k/keep.jpg");
    ASSERT_TRUE(build_cache_file(kept, kDocuments, {}));
    const fs::path cache = m_root.path() / "docs" / "!vistrelcache";
    test::write_file((cache / "stale").string(), "old");
    fs::create_directory(cache / "empty");
    const std::string kept_cache = to_utf8(expand_path(cache_file_name(kept, kDocuments)));
    const auto kept_time = fs::last_write_time(kept_cache);
    PhotoLibrary library(options());
    EventLog log;
    library.add_listener(&log);
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::search_complete); }));
    EXPECT_FALSE(fs::exists(cache / "stale"));
    EXPECT_FALSE(fs::exists(cache / "empty"));
    EXPECT_EQ(fs::last_write_time(kept_cache), kept_time);
    EXPECT_EQ(library.progress().max, 0);
    library.remove_listener(&log);
}

// A picture whose failure marker is current is not decoded again by a later search, even
// in a new session; once the picture changes it is.
TEST_F(PhotoLibraryTest, CurrentFailureMarkersAreNotDecodedAgain) {
    add("a/good.jpg");
    const fs::path bad = m_root.path() / "docs" / "a" / "bad.jpg";
    test::write_file(bad.string(), "not a picture");
    std::atomic<int> builds{0};
    const CacheBuildFunction counting = [&](const std::u16string& p, const std::u16string& drive,
                                            const StopTest& stop) {
        ++builds;
        return build_cache_file(p, drive, stop);
    };
    for (const int expected : {2, 2, 3}) {
        if (expected == 3) test::write_file(bad.string(), "still not a picture");
        PhotoLibrary library(options(counting));
        EventLog log;
        library.add_listener(&log);
        library.need_search();
        ASSERT_TRUE(polled(library, [&] {
            return log.count(&LibraryEvent::search_complete) && library.progress().max == 0;
        }));
        EXPECT_EQ(builds, expected);
        EXPECT_EQ(library.get_folders_size(), 1);
        library.remove_listener(&log);
    }
}

TEST_F(PhotoLibraryTest, FolderRecordsChangeOnRequest) {
    const std::u16string a1 = add("a/1.jpg"), a2 = add("a/2.jpg", 1), b1 = add("b/1.jpg", 2);
    PhotoLibrary library(options());
    EventLog log;
    library.add_listener(&log);
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return log.count(&LibraryEvent::search_complete); }));
    ASSERT_EQ(library.get_folders_size(), 2);
    const int a = library.get_folder(0).folder_path == u"%my_documents%/a/" ? 0 : 1;
    const std::u16string old_key = library.get_folder(a).key_picture;
    const std::u16string new_key = old_key == a1 ? a2 : a1;
    EXPECT_EQ(library.search_folder_num(old_key), a);
    EXPECT_EQ(library.search_folder_num(u"%my_documents%/none.jpg"), -1);

    log.events.clear();
    library.set_key_picture(a1, new_key);
    EXPECT_EQ(library.get_folder(a).key_picture, new_key);
    EXPECT_EQ(log.count(&LibraryEvent::folders_changed), 1);
    library.set_folder_size(a1, 7);
    EXPECT_EQ(library.get_folder(a).size, 7);
    library.set_folder_size(b1, 0);
    EXPECT_EQ(library.get_folders_size(), 1);
    std::vector<Folder> saved;
    load_folders(folder_list(), saved);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].key_picture, new_key);
    EXPECT_EQ(saved[0].size, 7);
    library.set_folder_size(u"%my_documents%/elsewhere/x.jpg", 3);  // no such folder
    EXPECT_EQ(log.count(&LibraryEvent::folders_changed), 4);
    // A folder opened from outside the search joins the list once and is saved.
    Folder extra{u"%my_documents%/", u"%my_documents%/extra/", u"%my_documents%/extra/1.jpg", 2};
    EXPECT_TRUE(library.add_folder(extra));
    EXPECT_FALSE(library.add_folder(extra));
    EXPECT_EQ(library.get_folders_size(), 2);
    saved.clear();
    load_folders(folder_list(), saved);
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[1].folder_path, extra.folder_path);
    EXPECT_EQ(log.count(&LibraryEvent::folders_changed), 5);
    library.remove_listener(&log);

    EXPECT_EQ(PhotoLibrary::folder_display_name(u"%my_documents%/"), u"My documents");
    EXPECT_EQ(PhotoLibrary::folder_display_name(u"%my_documents%/Holiday/"), u"Holiday");
    EXPECT_EQ(PhotoLibrary::folder_display_name(u"\\Storage Card\\DCIM\\"), u"DCIM");
    EXPECT_EQ(PhotoLibrary::folder_display_name(u"/media/card/"), u"card");
    EXPECT_EQ(PhotoLibrary::folder_display_name(from_file_name("/media/caf\xE9\\s/")),
              u"caf\u00e9\\s");
}

// Listeners are called outside the library's locks, so they may call it while the worker
// searches and builds.
TEST_F(PhotoLibraryTest, ListenersMayCallTheLibraryWhileTheWorkerRuns) {
    for (int i = 0; i < 30; ++i)
        add("f" + std::to_string(i % 3) + "/" + std::to_string(i) + ".jpg", i);
    // A picture the search does not find, queued by the listener on the first event.
    const fs::path other = m_root.path() / "other";
    fs::create_directories(other);
    test::write_bytes((other / "extra.jpg").string(), test::make_jpeg({}));
    const std::u16string other_drive = from_utf8(other.string()) + u"/";
    PhotoLibrary library(options());
    struct Caller final : LibraryListener {
        PhotoLibrary* library = nullptr;
        std::u16string extra, drive;
        bool extra_queued = false, extra_built = false;
        void on_library_event(const LibraryEvent& event) override {
            for (int i = 0; i < library->get_folders_size(); ++i)
                library->search_folder_num(library->get_folder(i).key_picture);
            if (!event.path.empty() && !extra_queued) {
                library->add_picture(extra, drive);
                extra_queued = true;
            }
            extra_built = extra_built || event.path == extra;
        }
    } caller;
    caller.library = &library;
    caller.extra = other_drive + u"extra.jpg";
    caller.drive = other_drive;
    library.add_listener(&caller);
    library.need_search();
    ASSERT_TRUE(polled(library, [&] { return caller.extra_built; }));
    EXPECT_TRUE(is_cache_valid(caller.extra, other_drive));
    library.remove_listener(&caller);
}

// Stopping in the middle of a search ends it at the next entry and keeps the folder list
// of the last whole search on file.
TEST_F(PhotoLibraryTest, StopsCleanlyDuringASearch) {
    for (int folder = 0; folder < 80; ++folder) {
        const fs::path dir = m_root.path() / "docs" / ("f" + std::to_string(folder));
        fs::create_directories(dir);
        for (int i = 0; i < 50; ++i)
            test::write_file((dir / (std::to_string(i) + ".jpg")).string(), "x");
    }
    const std::vector<Folder> before{
        {kDocuments, u"%my_documents%/old/", u"%my_documents%/old/a.jpg", 3}};
    ASSERT_TRUE(save_folders(folder_list(), before));
    const std::vector<uint8_t> old_file = test::read_bytes(to_utf8(folder_list()));
    {
        PhotoLibrary library(options());
        library.need_search();
        ASSERT_TRUE(eventually([&] { return library.get_folders_size() > 0; }));
    }
    // Either the search was cut short and the old list stays, or it had just ended and
    // the whole new list was written; never part of it.
    std::vector<Folder> after;
    load_folders(folder_list(), after);
    if (test::read_bytes(to_utf8(folder_list())) != old_file) {
        EXPECT_EQ(after.size(), 80u);
    }
}

// Stopping in the middle of a build ends the decode at its next row; the half-built file
// goes and no marker is left, so the picture is built again at the next search.
TEST_F(PhotoLibraryTest, StopsCleanlyDuringABuild) {
    test::JpegOptions options;
    options.width = 1200;
    options.height = 900;
    test::write_bytes(m_root.file("docs/big.jpg"), test::make_jpeg(options));
    const std::u16string picture = u"%my_documents%/big.jpg";
    std::atomic<int> rows{0};
    const CacheBuildFunction build = [&](const std::u16string& p, const std::u16string& drive,
                                         const StopTest& stop) {
        return build_cache_file(p, drive, [&] {
            if (++rows == 100)
                while (!stop())
                    sleep_ms(1);
            return stop();
        });
    };
    {
        PhotoLibrary library(this->options(build));
        library.add_picture(picture, kDocuments);
        ASSERT_TRUE(eventually([&] { return rows >= 100; }));
    }
    EXPECT_EQ(rows, 101);
    EXPECT_FALSE(is_cache_valid(picture, kDocuments));
    EXPECT_FALSE(file_info(cache_file_name(picture, kDocuments)).exists);
    EXPECT_FALSE(file_info(cache_file_name(picture, kDocuments) + u".part").exists);
}

TEST(PendingPictures, QueuesEachPictureOnceAndOrdersAroundOne) {
    PendingPictures pending;
    EXPECT_TRUE(pending.empty());
    EXPECT_FALSE(pending.next(u""));
    for (const char16_t* name : {u"/a/0", u"/a/1", u"/a/2", u"/a/3", u"/a/4"})
        EXPECT_TRUE(pending.add(u"/a/", u"/", name));
    EXPECT_FALSE(pending.add(u"/a/", u"/", u"/a/2"));
    EXPECT_TRUE(pending.add(u"/b/", u"/card/", u"/b/0"));
    EXPECT_EQ(pending.picture_count(), 6u);
    EXPECT_EQ(pending.next(u"/b/")->picture, u"/b/0");
    EXPECT_EQ(pending.next(u"/b/")->drive_path, u"/card/");
    EXPECT_EQ(pending.next(u"/nothing/")->picture, u"/a/0");

    EXPECT_EQ(pending.prioritize(u"/a/", u"/a/3"), Priority::Ordered);
    std::vector<std::u16string> order;
    while (auto next = pending.next(u"/a/")) {
        order.push_back(next->picture);
        EXPECT_TRUE(pending.remove(directory_part(next->picture), next->picture));
        if (order.size() == 1) {
            EXPECT_EQ(pending.prioritize(u"/a/", u"/a/3"), Priority::NotQueued);
            EXPECT_EQ(pending.prioritize(u"/c/", u"/c/1"), Priority::NoFolder);
        }
    }
    EXPECT_EQ(order,
              (std::vector<std::u16string>{u"/a/3", u"/a/2", u"/a/4", u"/a/1", u"/a/0", u"/b/0"}));
    EXPECT_TRUE(pending.empty());
    EXPECT_FALSE(pending.remove(u"/a/", u"/a/3"));
    EXPECT_TRUE(pending.add(u"/a/", u"/", u"/a/3"));  // may be queued again once built
}

}  // namespace
}  // namespace vistrel
