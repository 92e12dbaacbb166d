// Transparent pictures are cached over the viewer's background colour of the skin in use,
// and over the new skin's once the skin changes.

#include <gtest/gtest.h>

#include <cstdlib>

#include "format_samples.h"
#include "library/cache/cache_builder.h"
#include "library/formats/picture_source.h"
#include "library/tiles/cache_tile_source.h"
#include "platform/text.h"
#include "screens/viewer_background.h"
#include "support/test_support.h"
#include "tile_check.h"
#include "ui_test_support.h"

namespace vistrel {
namespace {

// A viewer whose side views have another colour than its centre one, nested a level down.
std::string viewer_skin(const std::string& centre) {
    return "node Image { string type node\n"
           "  node { string type bigpicture string id left color empty_color #FF0000 }\n"
           "  node { string type node string id views\n"
           "    node { string type bigpicture string id center color empty_color " + centre +
           " } }\n"
           "  node { string type bigpicture string id right color empty_color #00FF00 } }\n";
}

// Builds the cache of an RGBA PNG whose right third is clear and checks that its full
// size shows `background` there and the picture's own colours on the left.
void expect_cached_over(const test::TempDir& dir, const std::string& name, uint32_t background) {
    SCOPED_TRACE(name);
    test::PngOptions options;
    options.width = 120;
    options.height = 80;
    options.colour_type = 6;
    const test::FormatSample sample = test::make_png(options);
    test::write_bytes(dir.file(name), sample.bytes);
    const std::u16string picture = from_utf8(dir.file(name));
    const std::u16string drive = dir.u16() + u"/";
    ASSERT_EQ(build_cache_file_for(picture, drive, nullptr), CacheProblem::None);
    CacheTileSource source(picture, drive);
    ASSERT_TRUE(source.open());
    const test::DecodedPicture full = test::assemble_level(source, source.levels());
    ASSERT_TRUE(full.ok);
    ASSERT_EQ(full.width, 120);
    // Screen pixels hold 5 or 6 bits a channel, after a JPEG copy: a few steps either way.
    auto near = [&](int x, int y, uint32_t rgb) {
        const uint8_t* p = &full.rgb[(size_t(y) * full.width + x) * 3];
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(p[c]) - int((rgb >> (16 - 8 * c)) & 255)) > 12) return false;
        return true;
    };
    for (int y = 4; y < 76; y += 9)
        for (int x = 86; x < 116; x += 7) EXPECT_TRUE(near(x, y, background)) << x << "," << y;
    // Opaque: red grows to the right, green downwards, blue 96.
    EXPECT_FALSE(near(40, 40, background));
    EXPECT_TRUE(near(40, 40, uint32_t(255 * 40 / 119) << 16 | uint32_t(255 * 40 / 79) << 8 | 96));
}

TEST(ViewerBackground, TransparentPicturesAreCachedOverTheSkinsViewerColour) {
    test::TempDir dir;
    Properties properties;
    test::use_source(properties, viewer_skin("#336699"));
    TransparencyFollowsSkin follower(properties);
    expect_cached_over(dir, "first.png", 0x336699);
    // Another skin: the pictures built from then on use its colour.
    test::use_source(properties, viewer_skin("#C0A040"));
    properties.send_reload_skin();
    expect_cached_over(dir, "second.png", 0xC0A040);
    // A skin without the viewer: black, as the view itself would draw.
    test::use_source(properties, "node Main { string type node }\n");
    properties.send_reload_skin();
    EXPECT_EQ(transparency_background(), 0u);
}

}  // namespace
}  // namespace vistrel
