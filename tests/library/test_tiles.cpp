// Tile sources: the tile grid, tiles from the records against libjpeg's decoding of whole
// levels, seams, orientations, the libjpeg paths, versions, and the real photos.

#include <gtest/gtest.h>

#include <filesystem>

#include "jpeg_samples.h"
#include "library/cache_builder.h"
#include "library/cache_file.h"
#include "library/cache_tile_source.h"
#include "library/direct_tile_source.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"
#include "tile_check.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using test::JpegOptions;

class TileTest : public ::testing::Test {
protected:
    // Writes the picture and builds its cache file.
    std::u16string cached(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::u16string path = picture(name, bytes);
        EXPECT_TRUE(build_cache_file(path, drive(), {}));
        return path;
    }
    std::u16string picture(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::write_bytes(m_dir.file(name), bytes);
        return from_utf8(m_dir.file(name));
    }
    std::u16string drive() const { return m_dir.u16() + u"/"; }
    std::string cache_of(const std::u16string& path) {
        return to_utf8(cache_file_name(path, drive()));
    }

    // Every level of the picture's cache source against libjpeg's fast decode of the
    // level's JPEG; returns the lowest PSNR.
    double check_levels(const std::u16string& path, const std::vector<uint8_t>& bytes) {
        CacheTileSource source(path, drive());
        EXPECT_TRUE(source.open());
        double lowest = 99;
        for (int level = 0; level <= source.levels(); ++level) {
            const test::DecodedPicture tiles = test::assemble_level(source, level);
            const int e = source.levels() - level;
            const test::DecodedPicture reference =
                test::as_shown(test::decode_jpeg(test::cache_level_bytes(cache_of(path), bytes, e)),
                               source.orientation());
            EXPECT_EQ(tiles.width, reference.width);
            EXPECT_EQ(tiles.height, reference.height);
            const double psnr = test::psnr(tiles.rgb, reference.rgb);
            EXPECT_GE(psnr, 40.0) << "level " << level;
            lowest = std::min(lowest, psnr);
        }
        return lowest;
    }

    test::TempDir m_dir;
};

TEST_F(TileTest, LevelsMatchLibjpeg) {
    for (const auto& [h, v, components, restart] : {std::tuple{2, 2, 3, 0},
                                                    {2, 1, 3, 0},
                                                    {1, 2, 3, 0},
                                                    {1, 1, 3, 0},
                                                    {1, 1, 1, 0},
                                                    {2, 2, 3, 7},
                                                    {1, 1, 3, 5}}) {
        JpegOptions options;
        options.width = 1001;
        options.height = 701;
        options.h = h;
        options.v = v;
        options.components = components;
        options.restart_mcus = restart;
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        check_levels(cached("p.jpg", jpeg), jpeg);
        fs::remove_all(m_dir.path() / "!vistrelcache");
    }
}

}  // namespace
}  // namespace vistrel
