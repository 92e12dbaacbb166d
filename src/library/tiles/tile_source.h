#pragma once
// Tile sources: square tiles of 256 x 256 pixels of a picture at a zoom level, made without
// ever holding the whole picture at full size. Zoom level 0 is the smallest (longer side at
// most 256 pixels), level levels() is full size, and each level is half the size of the one
// above. Tiles come in the picture's shown orientation: tile (column, row) of a level holds
// the shown pixels from (256 column, 256 row) on, narrower and shorter at the right and
// bottom edges of the level.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_stream.h"
#include "render/bitmap.h"
#include "render/geometry.h"

namespace vistrel {

// The byte sizes of the versions of a picture that can be sent: the picture file itself
// and its first three reduced levels (0 where there is none).
struct VersionSizes {
    uint64_t full = 0;
    uint64_t large = 0;
    uint64_t medium = 0;
    uint64_t small = 0;
    friend bool operator==(const VersionSizes&, const VersionSizes&) = default;
};

class TileSource {
public:
    static constexpr int kTileSize = 256;

    virtual ~TileSource() = default;

    // Reads what the source needs; false when the picture (or its cache file) cannot be read.
    virtual bool open() = 0;

    // A new 256 x 256 bitmap with the tile's pixels in its top-left part (black around
    // them), or nothing when the tile lies outside the level or cannot be made.
    std::unique_ptr<Bitmap> make_tile(int column, int row, int level);

    // Full size as shown (width and height exchanged for orientations 5 to 8).
    int width() const;
    int height() const;
    // The number of halved levels: zoom levels run from 0 to levels().
    int levels() const { return m_levels; }
    // The EXIF orientation 1..8 the tiles are turned by.
    int orientation() const { return m_orientation; }
    // The picture file's size in bytes.
    uint64_t file_size() const { return m_file_size; }
    // The size of a zoom level as shown; empty for a level the source cannot make.
    Size level_size(int level) const;
    // Tile columns and rows of a zoom level.
    Size tile_grid(int level) const;
    // The size of a tile's pixels in the bitmap make_tile returns; empty outside the level.
    Size tile_size(int column, int row, int level) const;

    // Whether the source found its cache file not as it was written (and removed it): the
    // picture has to be built again, and its tiles come from elsewhere meanwhile.
    virtual bool damaged() const { return false; }

    virtual VersionSizes version_sizes() const = 0;
    // Writes the JPEG of a version to `file`: level 0 the picture file, 1..3 the reduced
    // levels. False when the source has no such version or it cannot be copied.
    virtual bool save_version(const std::u16string& file, int level) = 0;

protected:
    // Reads the file size, orientation (0 counts as 1), size and halvings from the picture.
    bool read_picture(InputStream& picture);
    // The stored (unturned) size of a zoom level; empty for a level the source cannot make.
    virtual Size stored_level_size(int level) const = 0;
    // The stored size of the picture halved `halvings` times, each half rounded down: the
    // size of the cache's level of that number. Both sources size their levels by it.
    Size halved_size(int halvings) const;
    // Decodes the stored pixels of `region` (inside the level) into rows of `pitch` bytes.
    virtual bool decode_region(int level, const Rect& region, Pixel* out, int pitch) = 0;

    int m_orientation = 1;
    int m_stored_width = 0;
    int m_stored_height = 0;
    int m_levels = 0;
    uint64_t m_file_size = 0;
};

// Copies `size` bytes from `offset` of a stream into a new file, in 4096-byte blocks; false,
// leaving no file behind, when a read or write falls short.
bool copy_to_file(InputStream& stream, uint64_t offset, uint64_t size, const std::u16string& file);

}  // namespace vistrel
