#pragma once
// The smallest level of a picture's cache file (its longer side at most 256 pixels), read
// as an RGB565 bitmap turned the way the picture is meant to be seen: what large grid cells
// are drawn from. It is the picture itself (or its baseline copy) when that is small.

#include <memory>
#include <string>

namespace vistrel {

class Bitmap;

// The longest side a smallest level may have; a file claiming more is not believed.
inline constexpr int kSmallestLevelMaxSide = 512;

// Nothing when the cache file is missing, the failure marker, cut short or damaged (a file
// whose header or level is not as written is removed, so that the picture is built again).
// When `scale_to` is above 0, the level is decoded at the smallest JPEG scale whose shorter
// side is still at least `scale_to`.
std::unique_ptr<Bitmap> load_smallest_level(const std::u16string& picture,
                                            const std::u16string& drive, int scale_to = 0);

}  // namespace vistrel
