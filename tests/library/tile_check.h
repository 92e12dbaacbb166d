#pragma once
// Helpers for the tile tests: whole levels put together from tiles, and the references
// they are compared with.

#include <string>
#include <vector>

#include "jpeg_samples.h"
#include "library/tiles/tile_source.h"

namespace vistrel::test {

// Every tile of a level put together, as RGB565 widened to 8 bits per channel. Adds a test
// failure (and returns ok false) for a tile that is missing or has the wrong size, or whose
// bitmap is not black outside the tile.
DecodedPicture assemble_level(TileSource& source, int level);

// A decoded picture as the tiles would show it: through RGB565 and turned by the
// orientation.
DecodedPicture as_shown(const DecodedPicture& decoded, int orientation);

// The JPEG of a cache level (level 0: the picture itself).
std::vector<uint8_t> cache_level_bytes(const std::string& cache_file,
                                       const std::vector<uint8_t>& picture, int level);

// The largest difference of one channel between two pictures of the same size.
int max_difference(const DecodedPicture& a, const DecodedPicture& b);

}  // namespace vistrel::test
