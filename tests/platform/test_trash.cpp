// The desktop trash: moves with their info, names kept free, and failures that leave the
// file where it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/trash.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

TEST(Trash, PathsArePercentEncoded) {
    EXPECT_EQ(trash_path_text("/home/a/Trip 2024/p.jpg"), "/home/a/Trip%202024/p.jpg");
    EXPECT_EQ(trash_path_text("/x/%/#?"), "/x/%25/%23%3F");
    EXPECT_EQ(trash_path_text("/\xC3\xA9t\xC3\xA9"), "/%C3%A9t%C3%A9");
    EXPECT_EQ(trash_path_text("a-b_c.d~"), "a-b_c.d~");
}

TEST(Trash, AFileOnTheHomeFileSystemMovesWithItsInfo) {
    test::TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", dir.file("data"));
    fs::create_directories(dir.file("Trip 1"));
    const std::string first = dir.file("Trip 1/p.jpg");
    test::write_file(first, "one");
    std::string why, moved;
    ASSERT_TRUE(move_to_trash(first, why, &moved)) << why;
    EXPECT_FALSE(fs::exists(first));
    EXPECT_EQ(moved, dir.file("data/Trash/files/p.jpg"));
    EXPECT_EQ(test::read_file_bytes(moved), "one");
    const std::string info = test::read_file_bytes(dir.file("data/Trash/info/p.jpg.trashinfo"));
    EXPECT_NE(info.find("[Trash Info]\nPath=" + trash_path_text(first) + "\n"), std::string::npos)
        << info;
    EXPECT_TRUE(std::regex_search(info, std::regex("\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n")))
        << info;
    // A second picture of the same name takes a free one; the first stays as it was.
    test::write_file(first, "two");
    ASSERT_TRUE(move_to_trash(first, why, &moved)) << why;
    EXPECT_EQ(moved, dir.file("data/Trash/files/p.2.jpg"));
    EXPECT_EQ(test::read_file_bytes(moved), "two");
    EXPECT_TRUE(fs::exists(dir.file("data/Trash/info/p.2.jpg.trashinfo")));
    EXPECT_EQ(test::read_file_bytes(dir.file("data/Trash/files/p.jpg")), "one");
}

TEST(Trash, AFailedMoveDeletesNothingAndLeavesNoInfo) {
    test::TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", dir.file("data"));
    // The trash's "files" is a file, not a folder: no move is possible.
    fs::create_directories(dir.file("data/Trash/info"));
    test::write_file(dir.file("data/Trash/files"), "not a folder");
    const std::string picture = dir.file("p.jpg");
    test::write_file(picture, "kept");
    std::string why;
    EXPECT_FALSE(trash_for(picture).has_value());
    EXPECT_FALSE(move_to_trash(picture, why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(test::read_file_bytes(picture), "kept");
    EXPECT_TRUE(fs::is_empty(dir.file("data/Trash/info")));
    // Neither a missing file nor a relative path goes anywhere.
    EXPECT_FALSE(move_to_trash(dir.file("missing.jpg"), why));
    EXPECT_FALSE(move_to_trash("p.jpg", why));
}

}  // namespace
}  // namespace vistrel
