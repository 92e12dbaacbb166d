// The photo library's vistrel-tool commands, run as a user runs them.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "colour_samples.h"
#include "jpeg_samples.h"
#include "library/folder_list.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

test::CommandResult tool(const std::vector<std::string>& args) {
    return test::run_program(VISTREL_TOOL, args);
}

// A 600 x 400 picture with EXIF orientation 6.
void write_turned_picture(const std::string& path) {
    test::JpegOptions options;
    options.width = 600;
    options.height = 400;
    test::write_bytes(path, test::with_exif_orientation(test::make_jpeg(options), 6, false));
}

TEST(LibraryTool, OrientationCacheAndThumb) {
    test::TempDir dir;
    write_turned_picture(dir.file("p.jpg"));
    test::write_file(dir.file("bad.jpg"), "not a picture");

    EXPECT_EQ(tool({"orientation", dir.file("p.jpg")}).out, "6\n");
    EXPECT_EQ(tool({"orientation", dir.file("bad.jpg")}).out, "1\n");
    EXPECT_EQ(tool({"orientation", dir.file("missing.jpg")}).status, 1);
    EXPECT_EQ(tool({"orientation"}).status, 2);

    test::CommandResult built = tool({"cache", dir.file("p.jpg"), dir.str()});
    EXPECT_EQ(built.status, 0) << built.out;
    EXPECT_NE(built.out.find("!vistrelcache/"), std::string::npos);
    test::CommandResult check = tool({"cache", dir.file("p.jpg"), dir.str(), "--check"});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("level 1: 300 x 200"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("thumbnail: 64 x 64"), std::string::npos) << check.out;
    EXPECT_EQ(tool({"cache", dir.file("bad.jpg"), dir.str()}).status, 1);
    test::CommandResult marker = tool({"cache", dir.file("bad.jpg"), dir.str(), "--check"});
    EXPECT_EQ(marker.status, 1);
    EXPECT_NE(marker.out.find("failure marker"), std::string::npos);

    test::CommandResult thumb = tool({"thumb", dir.file("p.jpg"), dir.str(), dir.file("t.png")});
    EXPECT_EQ(thumb.status, 0) << thumb.out;
    EXPECT_TRUE(std::filesystem::exists(dir.file("t.png")));
    EXPECT_EQ(tool({"thumb", dir.file("bad.jpg"), dir.str(), dir.file("u.png")}).status, 1);
}

TEST(LibraryTool, IccSaysWhatBecomesOfAProfile) {
    test::TempDir dir;
    const std::vector<uint8_t> plain = test::make_jpeg({});
    // Made once: a profile's header carries the second it was made in.
    const std::vector<uint8_t> profile = test::swapped_profile();
    test::write_bytes(dir.file("swapped.jpg"), test::with_icc_profile(plain, profile, 300));
    test::write_bytes(dir.file("srgb.jpg"), test::with_icc_profile(plain, test::srgb_profile()));
    test::write_bytes(dir.file("plain.jpg"), plain);
    test::write_file(dir.file("bad.jpg"), "not a picture");
    const test::CommandResult swapped =
        tool({"icc", dir.file("swapped.jpg"), "--save", dir.file("out.icc")});
    EXPECT_EQ(swapped.status, 0);
    EXPECT_NE(swapped.out.find("converted into sRGB"), std::string::npos) << swapped.out;
    EXPECT_EQ(test::read_bytes(dir.file("out.icc")), profile);
    EXPECT_NE(tool({"icc", dir.file("srgb.jpg")}).out.find("sRGB already"), std::string::npos);
    EXPECT_NE(tool({"icc", dir.file("plain.jpg")}).out.find("no usable ICC profile"),
              std::string::npos);
    EXPECT_EQ(tool({"icc", dir.file("bad.jpg")}).status, 1);
    EXPECT_EQ(tool({"icc"}).status, 2);
}

TEST(LibraryTool, Folders) {
    test::TempDir dir;
    ASSERT_TRUE(save_folders(from_utf8(dir.file("folders.ini")),
                             {{u"/card/", u"/card/DCIM/", u"/card/DCIM/a.jpg", 3}}));
    test::CommandResult listed = tool({"folders", dir.file("folders.ini")});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out,
              "folder 0: /card/DCIM/\n  key picture: /card/DCIM/a.jpg\n  drive: /card/\n"
              "  pictures: 3\n1 folders\n");
    EXPECT_EQ(tool({"folders", dir.file("none.ini")}).status, 1);
}

TEST(LibraryTool, Tile) {
    test::TempDir dir;
    write_turned_picture(dir.file("p.jpg"));
    // No cache file yet: from the picture itself; turned, so 400 x 600 at full size.
    test::CommandResult direct =
        tool({"tile", dir.file("p.jpg"), dir.str(), "2", "1", "2", dir.file("a.png")});
    EXPECT_EQ(direct.status, 0) << direct.out;
    EXPECT_NE(direct.out.find("144 x 88, tile 1,2 of 2 x 3 at level 2 of 2 (400 x 600"),
              std::string::npos)
        << direct.out;
    EXPECT_NE(direct.out.find("from the picture"), std::string::npos) << direct.out;
    EXPECT_TRUE(std::filesystem::exists(dir.file("a.png")));

    ASSERT_EQ(tool({"cache", dir.file("p.jpg"), dir.str()}).status, 0);
    test::CommandResult cached =
        tool({"tile", dir.file("p.jpg"), dir.str(), "1", "0", "0", dir.file("b.png")});
    EXPECT_EQ(cached.status, 0) << cached.out;
    EXPECT_NE(cached.out.find("200 x 256, tile 0,0 of 1 x 2 at level 1"), std::string::npos)
        << cached.out;
    EXPECT_NE(cached.out.find("from the cache file"), std::string::npos) << cached.out;

    EXPECT_EQ(tool({"tile", dir.file("p.jpg"), dir.str(), "1", "1", "0", dir.file("c.png")}).status,
              1);
    EXPECT_EQ(tool({"tile", dir.file("p.jpg"), dir.str(), "3", "0", "0", dir.file("c.png")}).status,
              1);
    EXPECT_EQ(
        tool({"tile", dir.file("no.jpg"), dir.str(), "0", "0", "0", dir.file("c.png")}).status, 1);
    EXPECT_EQ(tool({"tile", dir.file("p.jpg"), dir.str(), "x", "0", "0", dir.file("c.png")}).status,
              2);
}

TEST(LibraryTool, Index) {
    test::TempDir dir;
    for (const char* name : {"docs/a/1.jpg", "docs/a/2.jpg", "docs/b/3.jpg", "card/DCIM/4.jpg"}) {
        std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
        test::write_bytes(dir.file(name), test::make_jpeg({}));
    }
    test::write_file(dir.file("docs/b/bad.jpg"), "not a picture");
    test::CommandResult indexed = tool({"index", "--documents", dir.file("docs"), "--cards",
                                        dir.file("card"), "--folders", dir.file("folders.ini")});
    EXPECT_EQ(indexed.status, 0) << indexed.out;
    EXPECT_NE(indexed.out.find("3 albums:"), std::string::npos) << indexed.out;
    EXPECT_NE(indexed.out.find("DCIM"), std::string::npos) << indexed.out;
    // With the reason in our own words, not the decoder's.
    EXPECT_NE(indexed.out.find("could not be cached: %my_documents%/b/bad.jpg (not a picture we "
                               "can read: not a picture format we read)"),
              std::string::npos)
        << indexed.out;
    EXPECT_EQ(indexed.out.find("jpeg:"), std::string::npos) << indexed.out;
    EXPECT_NE(indexed.out.find("5 pictures, 4 cache files built, 1 pictures could not be cached"),
              std::string::npos)
        << indexed.out;
    // Built one at a time, the same comes out; a second run finds nothing to build, the
    // failed picture included.
    std::filesystem::remove_all(dir.file("docs/!vistrelcache"));
    std::filesystem::remove_all(dir.file("card/!vistrelcache"));
    test::CommandResult one = tool({"index", "--jobs", "1", "--documents", dir.file("docs"),
                                    "--cards", dir.file("card"), "--folders", dir.file("f.ini")});
    EXPECT_NE(one.out.find("5 pictures, 4 cache files built, 1 pictures could not be cached"),
              std::string::npos)
        << one.out;
    test::CommandResult again = tool({"index", "--documents", dir.file("docs"), "--cards",
                                      dir.file("card"), "--folders", dir.file("f.ini")});
    EXPECT_NE(again.out.find("5 pictures, 0 cache files built, 0 pictures could not be cached"),
              std::string::npos)
        << again.out;
    EXPECT_EQ(tool({"index", "--jobs", "0"}).status, 2);
    std::vector<Folder> folders;
    load_folders(from_utf8(dir.file("folders.ini")), folders);
    EXPECT_EQ(folders.size(), 3u);
    EXPECT_EQ(tool({"index", "extra"}).status, 2);
}

// Without a documents folder, index searches the cards alone and says so, and the macro
// expands to nothing a caller could use.
TEST(LibraryTool, NoDocumentsFolder) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("card"));
    test::write_bytes(dir.file("card/c.jpg"), test::make_jpeg({}));
    const std::string missing = dir.file("missing");
    test::CommandResult indexed =
        tool({"index", "--documents", missing, "--cards", dir.file("card"), "--folders",
              dir.file("folders.ini")});
    EXPECT_EQ(indexed.status, 0) << indexed.out;
    EXPECT_NE(indexed.out.find("no documents folder"), std::string::npos) << indexed.out;
    EXPECT_NE(indexed.out.find("1 albums:"), std::string::npos) << indexed.out;

    const std::string env = "VISTREL_DOCUMENTS='" + missing + "' HOME='" + missing +
                            "' XDG_CONFIG_HOME='" + missing + "' XDG_PICTURES_DIR= ";
    for (const char* path : {"%my_documents%", "%my_documents%/a.jpg"}) {
        test::CommandResult expanded =
            test::run_command(env + VISTREL_TOOL + " expand '" + path + "'");
        EXPECT_EQ(expanded.status, 1) << path;
        // No path at all, rather than one below the root.
        EXPECT_EQ(expanded.out, "%my_documents% names no existing folder\n") << path;
    }
}

// Names as the file system holds them: Latin-1 bytes and a backslash are listed as they are.
TEST(LibraryTool, IndexKeepsNamesByteForByte) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("docs/old"));
    for (const char* name : {"docs/old/caf\xE9.jpg", "docs/old/we\\ird.jpg"})
        test::write_bytes(dir.file(name), test::make_jpeg({}));
    test::CommandResult indexed = tool({"index", "--list", "--documents", dir.file("docs"),
                                        "--cards", "", "--folders", dir.file("folders.ini")});
    EXPECT_EQ(indexed.status, 0) << indexed.out;
    EXPECT_NE(indexed.out.find("2 pictures, 2 cache files built"), std::string::npos)
        << indexed.out;
    EXPECT_NE(indexed.out.find("built: %my_documents%/old/caf\xE9.jpg\n"), std::string::npos)
        << indexed.out;
    EXPECT_NE(indexed.out.find("built: %my_documents%/old/we\\ird.jpg\n"), std::string::npos)
        << indexed.out;
    // The other commands take such names too.
    for (const char* name : {"docs/old/caf\xE9.jpg", "docs/old/we\\ird.jpg"}) {
        test::CommandResult thumb =
            tool({"thumb", dir.file(name), dir.file("docs"), dir.file("t.png")});
        EXPECT_EQ(thumb.status, 0) << thumb.out;
    }
}

}  // namespace
}  // namespace vistrel
