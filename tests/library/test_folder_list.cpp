// The folder list file: its exact written form, the reading rules, and a save that never
// loses the old list.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "library/folder_list.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

std::vector<uint8_t> utf16_file(std::u16string_view text) {
    std::vector<uint8_t> bytes{0xFF, 0xFE};
    for (char16_t c : text) {
        bytes.push_back(uint8_t(c));
        bytes.push_back(uint8_t(c >> 8));
    }
    return bytes;
}

std::vector<Folder> parse(const std::vector<uint8_t>& bytes) {
    std::vector<Folder> folders;
    parse_folders(bytes, folders);
    return folders;
}

std::vector<Folder> parse_text(std::u16string_view text) {
    return parse(utf16_file(text));
}

TEST(FolderList, WrittenForm) {
    EXPECT_EQ(format_folders({}), (std::vector<uint8_t>{0xFF, 0xFE}));
    const std::vector<Folder> folders{
        {u"%my_documents%\\", u"%my_documents%\\Trip\\", u"%my_documents%\\Trip\\a.jpg", 12}};
    EXPECT_EQ(format_folders(folders), utf16_file(u"KeyPicturePath0\t%my_documents%\\Trip\\a.jpg\n"
                                                  u"DrivePath0\t%my_documents%\\\n"
                                                  u"FolderSize0\t12\n"));
}

TEST(FolderList, ReadingRules) {
    // '=' instead of a tab; spaces around '=' keep the '=' in the value.
    EXPECT_EQ(parse_text(u"KeyPicturePath0=\\Storage Card\\a.jpg")[0].key_picture,
              u"\\Storage Card\\a.jpg");
    EXPECT_EQ(parse_text(u"KeyPicturePath0 = \\a.jpg")[0].key_picture, u"= \\a.jpg");
    // Any order of lines, a missing size, carriage returns, junk lines, a later duplicate.
    const auto folders = parse_text(
        u"FolderSize0\t7\r\n  junk line here\r\nDrivePath0\t/media/card/\r\n"
        u"KeyPicturePath0\t/media/old.jpg\nKeyPicturePath0\t/media/card/DCIM/b.jpg\n"
        u"KeyPicturePath1\t/x/y.jpg\n=lonely\n\n");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].key_picture, u"/media/card/DCIM/b.jpg");
    EXPECT_EQ(folders[0].folder_path, u"/media/card/DCIM/");
    EXPECT_EQ(folders[0].drive_path, u"/media/card/");
    EXPECT_EQ(folders[0].size, 7);
    EXPECT_EQ(folders[1].size, 0);
    EXPECT_EQ(folders[1].drive_path, u"");
    // Sizes: leading numbers only, clamped; extra entries ignored.
    EXPECT_EQ(parse_text(u"KeyPicturePath0\ta\nFolderSize0\t12abc")[0].size, 12);
    EXPECT_EQ(parse_text(u"KeyPicturePath0\ta\nFolderSize0\tabc")[0].size, 0);
    EXPECT_EQ(parse_text(u"KeyPicturePath0\ta\nFolderSize0\t99999999999")[0].size, INT32_MAX);
    EXPECT_EQ(parse_text(u"KeyPicturePath0\ta\nFolderSize0\t1\nFolderSize1\t2").size(), 1u);
}

TEST(FolderList, MoreThanTenFoldersComeBackInTextOrder) {
    std::vector<Folder> folders;
    for (char16_t c = u'A'; c <= u'L'; ++c)
        folders.push_back({u"/d/", std::u16string(u"/d/") + c + u"/",
                           std::u16string(u"/d/") + c + u"/p.jpg", c - u'A' + 1});
    std::u16string order;
    for (const Folder& f : parse(format_folders(folders)))
        order += f.folder_path[3];
    EXPECT_EQ(order, u"ABKLCDEFGHIJ");
    // Sizes and drives travel with their folders by rank, not by index.
    const auto back = parse(format_folders(folders));
    EXPECT_EQ(back[2].size, 11);
}

TEST(FolderList, EightBitFiles) {
    const std::string utf8 = "KeyPicturePath0\t/m/\xC3\xA9t\xC3\xA9/a.jpg\nFolderSize0\t3\n";
    EXPECT_EQ(parse({utf8.begin(), utf8.end()})[0].key_picture, u"/m/\u00E9t\u00E9/a.jpg");
    const std::string latin1 = "KeyPicturePath0\t/m/\xE9t\xE9/a.jpg\n";
    EXPECT_EQ(parse({latin1.begin(), latin1.end()})[0].key_picture, u"/m/\u00E9t\u00E9/a.jpg");
    EXPECT_TRUE(parse({}).empty());
    EXPECT_TRUE(parse({0xFF}).empty());
}

TEST(FolderList, SaveReplacesTheFileWhole) {
    test::TempDir dir;
    const std::u16string path = from_utf8(dir.file("folders.ini"));
    std::vector<Folder> folders{{u"/c/", u"/c/a/", u"/c/a/1.jpg", 4}};
    ASSERT_TRUE(save_folders(path, folders));
    std::vector<Folder> loaded;
    load_folders(path, loaded);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].key_picture, u"/c/a/1.jpg");
    EXPECT_EQ(loaded[0].size, 4);
    EXPECT_FALSE(std::filesystem::exists(dir.file("folders.ini.tmp")));

    // A folder we cannot write into keeps the old list and leaves nothing behind.
    if (geteuid() != 0) {
        chmod(dir.str().c_str(), 0500);
        EXPECT_FALSE(save_folders(path, {}));
        chmod(dir.str().c_str(), 0700);
        std::vector<Folder> again;
        load_folders(path, again);
        EXPECT_EQ(again.size(), 1u);
    }
    std::vector<Folder> none;
    load_folders(from_utf8(dir.file("missing.ini")), none);
    EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace vistrel
