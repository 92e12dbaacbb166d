#include "tile_check.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "library/cache/cache_file.h"
#include "library/tiles/shown_region.h"
#include "platform/text.h"
#include "render/bitmap.h"

namespace vistrel::test {

namespace {

void put_pixel(DecodedPicture& picture, int x, int y, Pixel p) {
    uint8_t* at = &picture.rgb[(size_t(y) * picture.width + x) * 3];
    at[0] = red8(p);
    at[1] = green8(p);
    at[2] = blue8(p);
}

}  // namespace

DecodedPicture assemble_level(TileSource& source, int level) {
    DecodedPicture out;
    const Size size = source.level_size(level);
    const Size grid = source.tile_grid(level);
    if (size.empty()) {
        ADD_FAILURE() << "level " << level << " is empty";
        return out;
    }
    out.width = size.w;
    out.height = size.h;
    out.rgb.resize(size_t(size.w) * size.h * 3);
    out.ok = true;
    for (int row = 0; row < grid.h; ++row)
        for (int column = 0; column < grid.w; ++column) {
            const auto tile = source.make_tile(column, row, level);
            const Size tile_size = source.tile_size(column, row, level);
            if (!tile) {
                ADD_FAILURE() << "no tile " << column << "," << row << " of level " << level;
                out.ok = false;
                continue;
            }
            EXPECT_EQ(tile->size(), (Size{256, 256}));
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    const Pixel p = tile->row(y)[x];
                    if (x < tile_size.w && y < tile_size.h)
                        put_pixel(out, column * 256 + x, row * 256 + y, p);
                    else if (p != 0) {
                        ADD_FAILURE() << "tile " << column << "," << row << " of level " << level
                                      << " not black at " << x << "," << y;
                        out.ok = false;
                        y = x = 256;
                    }
                }
        }
    return out;
}

DecodedPicture as_shown(const DecodedPicture& decoded, int orientation) {
    std::unique_ptr<Bitmap> stored = Bitmap::create(decoded.width, decoded.height);
    for (int y = 0; y < decoded.height; ++y)
        for (int x = 0; x < decoded.width; ++x) {
            const uint8_t* p = &decoded.rgb[(size_t(y) * decoded.width + x) * 3];
            stored->row(y)[x] = to_pixel(p[0], p[1], p[2]);
        }
    const Size size = shown_size(stored->size(), orientation);
    std::unique_ptr<Bitmap> shown = Bitmap::create(size);
    copy_shown(*stored, orientation, *shown);
    DecodedPicture out;
    out.ok = decoded.ok;
    out.width = size.w;
    out.height = size.h;
    out.rgb.resize(size_t(size.w) * size.h * 3);
    for (int y = 0; y < size.h; ++y)
        for (int x = 0; x < size.w; ++x)
            put_pixel(out, x, y, shown->row(y)[x]);
    return out;
}

std::vector<uint8_t> cache_level_bytes(const std::string& cache_file,
                                       const std::vector<uint8_t>& picture, int level) {
    if (level == 0) return picture;
    const std::vector<uint8_t> bytes = read_bytes(cache_file);
    MemoryStream stream(bytes);
    CacheHeader header;
    if (!header.read(stream, bytes.size()) || level > header.level_count()) return {};
    const CacheLevel& stored = header.levels[level];
    return std::vector<uint8_t>(bytes.begin() + stored.jpeg_offset,
                                bytes.begin() + stored.jpeg_offset + stored.jpeg_size);
}

int max_difference(const DecodedPicture& a, const DecodedPicture& b) {
    if (a.rgb.size() != b.rgb.size()) return 256;
    int most = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        most = std::max(most, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return most;
}

}  // namespace vistrel::test
