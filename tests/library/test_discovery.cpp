// Path parts, the directory walker and the storage-card enumeration.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "library/drives.h"
#include "library/file_walker.h"
#include "platform/path_parts.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(PathParts, JoinAndTakeApart) {
    EXPECT_EQ(join(u"/", u"Storage Card"), u"/Storage Card");
    EXPECT_EQ(join(u"/media/card/", u"DCIM"), u"/media/card/DCIM");
    EXPECT_EQ(join(u"\\Storage Card\\", u"a.jpg"), u"\\Storage Card/a.jpg");
    EXPECT_EQ(join(u"", u"a.jpg"), u"a.jpg");
    EXPECT_EQ(join(u"dir//", u"x"), u"dir//x");  // only one separator is dropped

    EXPECT_EQ(directory_part(u"\\Storage Card\\DCIM\\a.jpg"), u"\\Storage Card\\DCIM\\");
    EXPECT_EQ(directory_part(u"/media/card\\DCIM/a.jpg"), u"/media/card\\DCIM/");
    EXPECT_EQ(directory_part(u"a.jpg"), u"");
    EXPECT_EQ(file_name_part(u"/media/card\\DCIM\\a.jpg"), u"a.jpg");
    EXPECT_EQ(file_name_part(u"a.jpg"), u"a.jpg");
    EXPECT_EQ(file_name_part(u"/media/"), u"");

    EXPECT_TRUE(is_prefix_of(u"/media", u"/media/card"));
    EXPECT_TRUE(is_prefix_of(u"", u"x"));
    EXPECT_FALSE(is_prefix_of(u"/media/card", u"/media"));
    EXPECT_FALSE(is_prefix_of(u"/Media", u"/media/card"));
}

TEST(PathParts, ExcludedPictures) {
    EXPECT_TRUE(is_excluded_picture(u"/card/My Windows Pictures/a.jpg"));
    EXPECT_TRUE(is_excluded_picture(u"/card/Program Files/x/a.jpg"));
    EXPECT_TRUE(is_excluded_picture(u"/card/!vistrelcache/a.jpg"));
    EXPECT_FALSE(is_excluded_picture(u"/card/windows/a.jpg"));
    EXPECT_FALSE(is_excluded_picture(u"/card/DCIM/a.jpg"));
}

std::vector<std::string> names(const std::vector<std::u16string>& paths, const TempDir& root) {
    std::vector<std::string> out;
    for (const auto& p : paths)
        out.push_back(fs::path(to_utf8(p)).lexically_relative(root.path()).string());
    return out;
}

TEST(FileWalker, FilesBeforeFoldersDepthFirstWithPatterns) {
    TempDir root;
    fs::create_directories(root.path() / "b" / "c");
    fs::create_directories(root.path() / "d");
    for (const char* file : {"a.JPG", "x.jpe", "b/one.jpg", "b/c/two.jpeg", "d/three.jpg"})
        test::write_file(root.file(file), "x");
    FileCollector jpg;
    EXPECT_TRUE(find_files(jpg, root.u16(), u"*.jpg", u"*", true));
    std::vector<std::string> files = names(jpg.files, root);
    EXPECT_EQ(files.front(), "a.JPG");  // the root's files come first, case ignored
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"a.JPG", "b/one.jpg", "d/three.jpg"}));
    std::vector<std::string> folders = names(jpg.directories, root);
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::string>{"b", "b/c", "d"}));
    // A folder is reported before what is inside it.
    const auto b = std::find(folders.begin(), folders.end(), "b");
    ASSERT_NE(b, folders.end());

    FileCollector flat;
    find_files(flat, root.u16(), u"*.jpeg", u"*", false);
    EXPECT_TRUE(flat.files.empty());
    EXPECT_EQ(flat.directories.size(), 2u);
}

TEST(FileWalker, SurvivesLoopsPipesAndUnreadableFolders) {
    TempDir root;
    fs::create_directories(root.path() / "sub");
    test::write_file(root.file("sub/a.jpg"), "x");
    fs::create_directory_symlink(root.path(), root.path() / "sub" / "loop");
    fs::create_symlink(root.path() / "sub" / "a.jpg", root.path() / "link.jpg");
    ASSERT_EQ(mkfifo(root.file("pipe.jpg").c_str(), 0600), 0);
    fs::create_directories(root.path() / "closed");
    test::write_file(root.file("closed/hidden.jpg"), "x");
    chmod(root.file("closed").c_str(), 0);
    FileCollector all;
    find_files(all, root.u16(), u"*.jpg", u"*", true);
    chmod(root.file("closed").c_str(), 0700);
    std::vector<std::string> files = names(all.files, root);
    std::sort(files.begin(), files.end());
    // The link to a file counts; the pipe never does; the link to a folder is not followed.
    std::vector<std::string> expected{"link.jpg", "sub/a.jpg"};
    if (geteuid() == 0) expected.insert(expected.begin(), "closed/hidden.jpg");
    EXPECT_EQ(files, expected);
}

class StopAfter : public FileVisitor {
public:
    explicit StopAfter(int count) : m_left(count) {}
    bool on_file(const std::u16string&) override { return --m_left > 0; }
    bool on_directory(const std::u16string&) override { return --m_left > 0; }
    int left() const { return m_left; }

private:
    int m_left;
};

TEST(FileWalker, AFalseAnswerEndsTheWholeWalk) {
    TempDir root;
    for (int i = 0; i < 5; ++i) {
        fs::create_directories(root.path() / ("d" + std::to_string(i)));
        test::write_file(root.file("d" + std::to_string(i) + "/p.jpg"), "x");
    }
    StopAfter visitor(3);
    EXPECT_TRUE(find_files(visitor, root.u16(), u"*.jpg", u"*", true));
    EXPECT_EQ(visitor.left(), 0);
}

// Deletes the other pictures when it sees the first: the walk goes on past entries that
// vanished under it.
class Vandal : public FileCollector {
public:
    explicit Vandal(const TempDir& root) : m_root(root) {}
    bool on_file(const std::u16string& path) override {
        if (files.empty())
            for (const auto& e : fs::directory_iterator(m_root.path()))
                if (e.path() != fs::path(to_utf8(path))) fs::remove_all(e.path());
        return FileCollector::on_file(path);
    }

private:
    const TempDir& m_root;
};

TEST(FileWalker, EntriesThatVanishAreSkipped) {
    TempDir root;
    for (int i = 0; i < 20; ++i)
        test::write_file(root.file("p" + std::to_string(i) + ".jpg"), "x");
    fs::create_directories(root.path() / "sub");
    Vandal vandal(root);
    find_files(vandal, root.u16(), u"*.jpg", u"*", true);
    EXPECT_EQ(vandal.files.size(), 1u);
    EXPECT_TRUE(vandal.directories.empty());
}

class IdleWorker : public WorkerThread {
protected:
    void run() override {}
};

TEST(FileWalker, StoppableCollectorEndsTheWalkOnceTheWorkerIsAskedToStop) {
    TempDir root;
    for (int i = 0; i < 5; ++i)
        test::write_file(root.file("p" + std::to_string(i) + ".jpg"), "x");
    IdleWorker worker;
    StoppableCollector going(&worker);
    find_files(going, root.u16(), u"*.jpg", u"*", true);
    EXPECT_EQ(going.files.size(), 5u);
    worker.request_stop();
    StoppableCollector stopped(&worker);
    find_files(stopped, root.u16(), u"*.jpg", u"*", true);
    EXPECT_EQ(stopped.files.size(), 1u);  // the entry that saw the stop is still kept
}

TEST(Drives, CardsFromTheEnvironmentAndTheDocumentsTest) {
    TempDir root;
    fs::create_directories(root.path() / "card1" / "Pictures");
    fs::create_directories(root.path() / "card2");
    fs::create_directories(root.path() / "card10");
    const std::string cards =
        root.file("card1") + ":" + root.file("card2") + "::" + root.file("card10");
    test::ScopedEnv env_cards("VISTREL_CARDS", cards);
    test::ScopedEnv documents("VISTREL_DOCUMENTS", root.file("card1/Pictures"));
    EXPECT_EQ(storage_cards().size(), 3u);
    FileCollector found;
    EXPECT_TRUE(find_drives(found));
    // card1 holds the documents folder and is searched through it; card10 shares card1's
    // first letters but not its folder.
    EXPECT_EQ(names(found.directories, root), (std::vector<std::string>{"card2", "card10"}));

    test::ScopedEnv missing("VISTREL_CARDS", root.file("nowhere"));
    FileCollector none;
    find_drives(none);
    EXPECT_TRUE(none.directories.empty());  // a size query that fails counts as 0 bytes
}

TEST(Drives, RemovableMountPointsFromTheMountTable) {
    const std::string table =
        "/dev/sda1 / ext4 rw 0 0\n"
        "/dev/sdb1 /media/usb ext4 rw 0 0\n"
        "/dev/sdc1 /run/media/ann/My\\040Card vfat rw 0 0\n"
        "/dev/sdd1 /run/media/bob/Other vfat rw 0 0\n"
        "tmpfs /media tmpfs rw 0 0\n"
        "garbage\n";
    EXPECT_EQ(removable_mount_points(table, {"/media", "/run/media/ann"}),
              (std::vector<std::string>{"/media/usb", "/run/media/ann/My Card"}));
}

}  // namespace
}  // namespace vistrel
