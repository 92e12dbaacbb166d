#pragma once
// Tiles straight from the picture file, while its cache file is missing or failed: a zoom
// level is decoded by libjpeg at 1/2, 1/4 or 1/8 of full size (a smaller one is the 1/8
// decode averaged down) and kept whole, tiles being cut from it; a level too large to keep
// is decoded anew for each tile, cropped to it. A picture of another format is decoded once
// at the largest level that may be kept whole, and shows no larger; its reader's own cost
// comes first: formats decoded whole (HEIF, AVIF, JPEG XL, GIF, lossless WebP) hold all of
// the picture while that level is made, within PictureSource::kMaxWholePixels.

#include <memory>
#include <string>

#include "library/tiles/tile_source.h"

namespace vistrel {

class DirectTileSource final : public TileSource {
public:
    // Levels larger than this many pixels are not kept whole.
    static constexpr int64_t kMaxKeptPixels = int64_t(4) << 20;

    explicit DirectTileSource(std::u16string picture);
    // Over an open stream (tests, fuzzing).
    explicit DirectTileSource(std::unique_ptr<InputStream> picture);
    ~DirectTileSource() override;

    bool open() override;
    // Only the picture file itself: the reduced versions come from a cache file.
    VersionSizes version_sizes() const override;
    bool save_version(const std::u16string& file, int level) override;

protected:
    Size stored_level_size(int level) const override;
    bool decode_region(int level, const Rect& region, Pixel* out, int pitch) override;

private:
    // The scale divisor of a zoom level: 1, 2, 4 or 8, or 0 beyond 1/8.
    int scale_of(int level) const;
    bool decode_level(int level);
    bool open_other();

    std::u16string m_path;
    std::unique_ptr<InputStream> m_picture;
    bool m_open = false;
    int m_decoded_level = -1;
    std::unique_ptr<Bitmap> m_decoded;
    // A picture of another format: its largest level kept whole, the levels below made
    // from it.
    bool m_other = false;
    int m_kept_level = -1;
    std::unique_ptr<Bitmap> m_kept;
};

}  // namespace vistrel
