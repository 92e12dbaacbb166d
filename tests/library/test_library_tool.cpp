// The photo library's vistrel-tool commands, run as a user runs them.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "jpeg_samples.h"
#include "library/folder_list.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

struct Result {
    int status = -1;
    std::string out;
};

Result tool(const std::vector<std::string>& args) {
    std::string command = VISTREL_TOOL;
    for (const auto& a : args)
        command += " '" + a + "'";
    command += " 2>&1";
    Result r;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 4096> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe.get()))
        r.out.append(buffer.data(), n);
    const int status = pclose(pipe.release());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(LibraryTool, OrientationCacheAndThumb) {
    test::TempDir dir;
    test::JpegOptions options;
    options.width = 600;
    options.height = 400;
    test::write_bytes(dir.file("p.jpg"),
                      test::with_exif_orientation(test::make_jpeg(options), 6, false));
    test::write_file(dir.file("bad.jpg"), "not a picture");

    EXPECT_EQ(tool({"orientation", dir.file("p.jpg")}).out, "6\n");
    EXPECT_EQ(tool({"orientation", dir.file("bad.jpg")}).out, "1\n");
    EXPECT_EQ(tool({"orientation", dir.file("missing.jpg")}).status, 1);
    EXPECT_EQ(tool({"orientation"}).status, 2);

    Result built = tool({"cache", dir.file("p.jpg"), dir.str()});
    EXPECT_EQ(built.status, 0) << built.out;
    EXPECT_NE(built.out.find("!vistrelcache/"), std::string::npos);
    Result check = tool({"cache", dir.file("p.jpg"), dir.str(), "--check"});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("level 1: 300 x 200"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("thumbnail: 64 x 64"), std::string::npos) << check.out;
    EXPECT_EQ(tool({"cache", dir.file("bad.jpg"), dir.str()}).status, 1);
    Result marker = tool({"cache", dir.file("bad.jpg"), dir.str(), "--check"});
    EXPECT_EQ(marker.status, 1);
    EXPECT_NE(marker.out.find("failure marker"), std::string::npos);

    Result thumb = tool({"thumb", dir.file("p.jpg"), dir.str(), dir.file("t.png")});
    EXPECT_EQ(thumb.status, 0) << thumb.out;
    EXPECT_TRUE(std::filesystem::exists(dir.file("t.png")));
    EXPECT_EQ(tool({"thumb", dir.file("bad.jpg"), dir.str(), dir.file("u.png")}).status, 1);
}

TEST(LibraryTool, Folders) {
    test::TempDir dir;
    ASSERT_TRUE(save_folders(from_utf8(dir.file("folders.ini")),
                             {{u"/card/", u"/card/DCIM/", u"/card/DCIM/a.jpg", 3}}));
    Result listed = tool({"folders", dir.file("folders.ini")});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out,
              "folder 0: /card/DCIM/\n  key picture: /card/DCIM/a.jpg\n  drive: /card/\n"
              "  pictures: 3\n1 folders\n");
    EXPECT_EQ(tool({"folders", dir.file("none.ini")}).status, 1);
}

}  // namespace
}  // namespace vistrel
