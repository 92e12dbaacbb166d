#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/directory.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::TempDir;

TEST(Pattern, StarAndQuestionMarkIgnoreLetterCase) {
    EXPECT_TRUE(matches_pattern(u"*.jpg", u"a.JPG"));
    EXPECT_TRUE(matches_pattern(u"*.jpg", u".jpg"));
    EXPECT_FALSE(matches_pattern(u"*.jpg", u"a.jpe"));
    EXPECT_FALSE(matches_pattern(u"*.jpg", u"a.jpeg"));
    EXPECT_TRUE(matches_pattern(u"*.jpeg", u"\u0424\u043e\u0442\u043e.JPEG"));
    EXPECT_TRUE(matches_pattern(u"IMG_????.jpg", u"img_0042.jpg"));
    EXPECT_FALSE(matches_pattern(u"IMG_????.jpg", u"img_042.jpg"));
    EXPECT_TRUE(matches_pattern(u"*", u""));
    EXPECT_TRUE(matches_pattern(u"*.*", u"README"));
    EXPECT_TRUE(matches_pattern(u"a*b*c", u"aXXbYYbZc"));
    EXPECT_FALSE(matches_pattern(u"a*b*c", u"aXXbYYbZ"));
    // Many stars against a long name must not take exponential time.
    EXPECT_FALSE(matches_pattern(u"*a*a*a*a*a*a*a*a*b", std::u16string(200, u'a')));
}

std::vector<std::u16string> names(const std::u16string& folder, const std::u16string& pattern) {
    std::vector<std::u16string> out;
    DirectoryReader reader(folder, pattern);
    DirectoryEntry entry;
    while (reader.next(entry)) out.push_back(entry.name);
    std::sort(out.begin(), out.end());
    return out;
}

TEST(DirectoryReader, ListsMatchingEntriesWithTheirKinds) {
    TempDir dir;
    test::write_file(dir.file("a.jpg"), "x");
    test::write_file(dir.file("B.JPG"), "xy");
    test::write_file(dir.file("c.png"), "");
    std::filesystem::create_directory(dir.path() / "sub.jpg");
    EXPECT_EQ(names(dir.u16(), u"*.jpg"),
              (std::vector<std::u16string>{u"B.JPG", u"a.jpg", u"sub.jpg"}));
    DirectoryReader reader(dir.u16() + u"\\sub.*");
    DirectoryEntry entry;
    ASSERT_TRUE(reader.next(entry));
    EXPECT_EQ(entry.name, u"sub.jpg");
    EXPECT_TRUE(entry.is_directory);
    EXPECT_FALSE(reader.next(entry));
}

TEST(DirectoryReader, SymbolicLinksAreNeverFolders) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "real");
    ASSERT_EQ(symlink(dir.str().c_str(), dir.file("loop").c_str()), 0);
    DirectoryReader reader(dir.u16(), u"loop");
    DirectoryEntry entry;
    ASSERT_TRUE(reader.next(entry));
    EXPECT_TRUE(entry.is_symlink);
    EXPECT_FALSE(entry.is_directory);
}

TEST(DirectoryReader, MissingFoldersListNothing) {
    TempDir dir;
    DirectoryReader reader(dir.u16() + u"/none", u"*");
    DirectoryEntry entry;
    EXPECT_FALSE(reader.is_open());
    EXPECT_FALSE(reader.next(entry));
    EXPECT_TRUE(names(dir.u16(), u"").empty());
}

}  // namespace
}  // namespace vistrel
