// Tiles from damaged cache files: the input is a picture and its cache file (a 4-byte
// little-endian length, the picture's bytes, then the cache file's), so that the fuzzer
// damages headers, level tables, records and entropy-coded data alike. Every level is
// asked for its corner tiles and a few others.

#include <cstdint>
#include <memory>
#include <vector>

#include "library/tiles/cache_tile_source.h"
#include "platform/file_stream.h"

namespace {

using namespace vistrel;

constexpr int kTilesPerLevel = 6;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint32_t length =
        uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    if (length > size - 4) return 0;
    std::vector<uint8_t> picture(data + 4, data + 4 + length);
    std::vector<uint8_t> cache(data + 4 + length, data + size);
    CacheTileSource source(std::make_unique<MemoryStream>(std::move(picture)),
                           std::make_unique<MemoryStream>(std::move(cache)));
    if (!source.open()) return 0;
    source.version_sizes();
    for (int level = 0; level <= source.levels(); ++level) {
        const Size grid = source.tile_grid(level);
        const int columns[kTilesPerLevel] = {0, grid.w - 1, 0, grid.w - 1, grid.w / 2, 1};
        const int rows[kTilesPerLevel] = {0, 0, grid.h - 1, grid.h - 1, grid.h / 2, 1};
        for (int i = 0; i < kTilesPerLevel; ++i)
            source.make_tile(columns[i], rows[i], level);
    }
    return 0;
}
