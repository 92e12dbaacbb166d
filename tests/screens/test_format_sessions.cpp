// Pictures of every format as a user meets them: a folder of mixed formats shows each as a
// thumbnail, and each opens in the viewer and zooms to full size.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_session.h"
#include "format_samples.h"
#include "jpeg_samples.h"

namespace vistrel::test {
namespace {

std::string tap_at(const DumpLine& line) {
    return "tap " + std::to_string(line.centre().x) + " " + std::to_string(line.centre().y) + "\n";
}

TEST(FormatSessions, AFolderOfMixedFormatsShowsZoomsAndThumbnailsEachPicture) {
    AppSession session;
    const std::string folder = session.documents() + "/Mixed";
    std::filesystem::create_directories(folder);
    PngOptions png;
    png.width = 700;
    png.height = 500;
    WebPOptions webp;
    webp.width = 640;
    webp.height = 480;
    TiffOptions tiff;
    tiff.width = 600;
    tiff.height = 450;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"a.png", make_png(png).bytes},
        {"b.WEBP", make_webp(webp).bytes},
        {"c.tif", make_tiff(tiff, session.file("scratch.tif")).bytes},
        {"d.gif", make_gif(520, 400, false, false).bytes},
        {"e.jxl", make_jxl(560, 420, false, false).bytes}};
    const std::vector<uint8_t> heic = make_heif(640, 480, false).bytes;
    if (!heic.empty()) files.push_back({"f.heic", heic});
    for (const auto& [name, bytes] : files)
        write_bytes(folder + "/" + name, bytes);
    const int count = int(files.size());

    ASSERT_EQ(session.run("settle 30000\ndump " + session.file("list.txt") + "\n", {folder}), 0);
    const Dump list = session.dump("list.txt");
    ASSERT_EQ(list.top(), "FolderScreen");
    int shown = 0;
    for (const DumpLine* line : list.all("image"))
        if (line->visible && !line->picture.empty()) {
            EXPECT_NE(line->picture, "bad") << line->id;
            EXPECT_NE(line->picture, "load") << line->id;
            ++shown;
        }
    EXPECT_GE(shown, count);

    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        std::string script = "settle 20000\n";
        ASSERT_EQ(session.run(script + "dump " + session.file("v.txt"), {folder + "/" + name}), 0);
        const Dump viewer = session.dump("v.txt");
        ASSERT_EQ(viewer.top(), "ImageViewer");
        EXPECT_NE(viewer.get("center", "bigpicture").picture, "bad");
        const std::string plus = tap_at(viewer.get("btnPlus", "button"));
        for (int i = 0; i < 6; ++i)
            script += plus + "settle 1500\n";
        ASSERT_EQ(session.run(script + "dump " + session.file("z.txt"), {folder + "/" + name}), 0);
        const Dump zoomed = session.dump("z.txt");
        EXPECT_FALSE(zoomed.get("btnPlus", "button").enabled) << "not at full size";
        EXPECT_NE(zoomed.get("center", "bigpicture").picture, "bad");
    }
}

}  // namespace
}  // namespace vistrel::test
