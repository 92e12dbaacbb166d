#include "library/tiles/tile_source.h"

#include <algorithm>
#include <array>

#include "library/cache/cache_file.h"
#include "library/jpeg/jpeg_reader.h"
#include "library/jpeg/orientation.h"
#include "library/tiles/shown_region.h"
#include "platform/paths.h"

namespace vistrel {

int TileSource::width() const {
    return shown_size({m_stored_width, m_stored_height}, m_orientation).w;
}

int TileSource::height() const {
    return shown_size({m_stored_width, m_stored_height}, m_orientation).h;
}

Size TileSource::level_size(int level) const {
    if (level < 0 || level > m_levels) return {};
    return shown_size(stored_level_size(level), m_orientation);
}

Size TileSource::halved_size(int halvings) const {
    if (halvings < 0 || halvings > 30) return {};
    return {m_stored_width >> halvings, m_stored_height >> halvings};
}

Size TileSource::tile_grid(int level) const {
    const Size size = level_size(level);
    if (size.empty()) return {};
    return {(size.w + kTileSize - 1) / kTileSize, (size.h + kTileSize - 1) / kTileSize};
}

Size TileSource::tile_size(int column, int row, int level) const {
    const Size grid = tile_grid(level);
    if (column < 0 || row < 0 || column >= grid.w || row >= grid.h) return {};
    const Size size = level_size(level);
    return {std::min(kTileSize, size.w - column * kTileSize),
            std::min(kTileSize, size.h - row * kTileSize)};
}

std::unique_ptr<Bitmap> TileSource::make_tile(int column, int row, int level) {
    const Size size = tile_size(column, row, level);
    if (size.empty()) return nullptr;
    const Rect shown{column * kTileSize, row * kTileSize, column * kTileSize + size.w,
                     row * kTileSize + size.h};
    const Rect stored = stored_region(shown, stored_level_size(level), m_orientation);
    std::unique_ptr<Bitmap> tile = Bitmap::create(kTileSize, kTileSize);
    if (!tile) return nullptr;
    if (size.w < kTileSize || size.h < kTileSize) tile->clear();  // black around the pixels
    if (m_orientation < 2 || m_orientation > 8)
        return decode_region(level, stored, tile->pixels(), tile->pitch()) ? std::move(tile)
                                                                           : nullptr;
    const std::unique_ptr<Bitmap> piece =
        Bitmap::create(stored.right - stored.left, stored.bottom - stored.top);
    if (!piece || !decode_region(level, stored, piece->pixels(), piece->pitch())) return nullptr;
    copy_shown(*piece, m_orientation, *tile);
    return tile;
}

bool TileSource::read_picture(InputStream& picture) {
    if (!picture.is_open()) return false;
    m_file_size = picture.size();
    m_orientation = read_orientation(picture);
    if (m_orientation < 1 || m_orientation > 8) m_orientation = 1;
    if (!picture.seek(0)) return false;
    JpegReader reader(picture, m_file_size);
    if (!reader.ok()) return false;
    m_stored_width = reader.width();
    m_stored_height = reader.height();
    m_levels = levels_for(m_stored_width, m_stored_height);
    return true;
}

bool copy_to_file(InputStream& stream, uint64_t offset, uint64_t size, const std::u16string& file) {
    bool copied = false;
    {
        FileStream out(file, OpenMode::Write);
        if (!out.is_open()) return false;
        std::array<uint8_t, 4096> block;
        copied = stream.seek(offset);
        for (uint64_t done = 0; copied && done < size;) {
            const size_t count = static_cast<size_t>(std::min<uint64_t>(block.size(), size - done));
            copied = stream.read(block.data(), count) == count &&
                     out.write(block.data(), count) == count;
            done += count;
        }
    }
    if (!copied) delete_file(file);
    return copied;
}

}  // namespace vistrel
