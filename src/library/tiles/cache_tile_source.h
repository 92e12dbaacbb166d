#pragma once
// Tiles from a picture's cache file: each tile is decoded from one level (the picture file
// itself at full size, a reduced JPEG of the cache file below that) by resuming our decoder
// at the level's resume records, once per MCU row of the tile, so a tile costs the same
// wherever it lies in however large a picture. A level without records (a picture our
// decoder does not follow) is decoded through libjpeg, cropped to the tile. Only the
// current level's records and tables stay in memory.

#include <memory>
#include <string>

#include "library/cache/cache_file.h"
#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/level_records.h"
#include "library/jpeg/region_decoder.h"
#include "library/tiles/tile_source.h"

namespace vistrel {

class CacheTileSource final : public TileSource {
public:
    // The picture and its cache file under the storage root `drive`.
    CacheTileSource(std::u16string picture, std::u16string drive);
    // The picture and its cache file as open streams (tests, fuzzing).
    CacheTileSource(std::unique_ptr<InputStream> picture, std::unique_ptr<InputStream> cache);
    ~CacheTileSource() override;

    // Opens both files and reads the picture's header and the cache file's header; false
    // when either cannot be read or they do not belong together. Each level's JPEG and
    // records are checked against their checksums when the level is first used.
    bool open() override;
    bool damaged() const override { return m_damaged; }
    VersionSizes version_sizes() const override;
    bool save_version(const std::u16string& file, int level) override;

    // Whether tiles of a zoom level come from resume records (else through libjpeg); makes
    // the level current.
    bool uses_records(int level);
    // Bytes held for the current level: its records, layout, decoding tables and buffers.
    size_t held_bytes() const;
    const std::u16string& cache_path() const { return m_cache_path; }

protected:
    Size stored_level_size(int level) const override;
    bool decode_region(int level, const Rect& region, Pixel* out, int pitch) override;

private:
    struct Level;
    // Makes cache level `e` current; false when it cannot be read or is damaged.
    bool select(int e);
    bool load(Level& level);
    // Notes that the cache file is damaged and removes it (when it was opened by its path).
    bool fail_damaged();
    // The size of a picture of another format, from its copy in the cache file.
    bool read_copy_size();

    std::u16string m_picture_path;
    std::u16string m_drive;
    std::u16string m_cache_path;
    std::unique_ptr<InputStream> m_picture;
    std::unique_ptr<InputStream> m_cache;
    FileStream* m_cache_file = nullptr;  // m_cache, when opened by its path
    CacheHeader m_header;
    bool m_open = false;
    bool m_damaged = false;
    std::unique_ptr<Level> m_level;
};

}  // namespace vistrel
