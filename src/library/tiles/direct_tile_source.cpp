#include "library/tiles/direct_tile_source.h"

#include <vector>

#include "library/jpeg/cropped_decode.h"
#include "library/jpeg/jpeg_reader.h"

namespace vistrel {

DirectTileSource::DirectTileSource(std::u16string picture) : m_path(std::move(picture)) {}

DirectTileSource::DirectTileSource(std::unique_ptr<InputStream> picture)
    : m_picture(std::move(picture)) {}

DirectTileSource::~DirectTileSource() = default;

bool DirectTileSource::open() {
    m_open = false;
    m_decoded_level = -1;
    m_decoded.reset();
    if (!m_path.empty()) m_picture = std::make_unique<FileStream>(m_path, OpenMode::Read);
    m_open = m_picture && read_picture(*m_picture);
    return m_open;
}

VersionSizes DirectTileSource::version_sizes() const {
    VersionSizes sizes;
    sizes.full = m_file_size;
    return sizes;
}

bool DirectTileSource::save_version(const std::u16string&, int) {
    return false;
}

int DirectTileSource::scale_of(int level) const {
    if (!m_open || level < 0 || level > m_levels || m_levels - level > 3) return 0;
    return 1 << (m_levels - level);
}

Size DirectTileSource::stored_level_size(int level) const {
    const int scale = scale_of(level);
    if (!scale) return {};
    // libjpeg rounds its scaled sizes up; the level is the cache's size, rounded down, and
    // the decode's last column or row beyond it is not shown.
    return halved_size(m_levels - level);
}

bool DirectTileSource::decode_level(int level) {
    m_decoded_level = -1;
    m_decoded.reset();
    if (!m_picture->seek(0)) return false;
    JpegReader reader(*m_picture, m_file_size);
    if (!reader.ok() || !reader.start(scale_of(level))) return false;
    const int width = reader.output_width(), height = reader.output_height();
    std::unique_ptr<Bitmap> decoded = Bitmap::create(width, height);
    if (!decoded) return false;
    std::vector<uint8_t> rgb(3 * size_t(width));
    for (int y = 0; y < height; ++y) {
        if (!reader.read_row(rgb.data())) return false;
        Pixel* row = decoded->row(y);
        for (int x = 0; x < width; ++x)
            row[x] = to_pixel(rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]);
    }
    m_decoded = std::move(decoded);
    m_decoded_level = level;
    return true;
}

bool DirectTileSource::decode_region(int level, const Rect& region, Pixel* out, int pitch) {
    const Size size = stored_level_size(level);
    if (size.empty()) return false;
    if (int64_t(size.w) * size.h > kMaxKeptPixels) {
        if (!m_picture->seek(0)) return false;
        return decode_cropped(*m_picture, m_file_size, scale_of(level), region, out, pitch);
    }
    if (m_decoded_level != level && !decode_level(level)) return false;
    if (m_decoded->width() < region.right || m_decoded->height() < region.bottom) return false;
    for (int y = region.top; y < region.bottom; ++y) {
        Pixel* row = reinterpret_cast<Pixel*>(reinterpret_cast<uint8_t*>(out) +
                                              ptrdiff_t(y - region.top) * pitch);
        std::copy(m_decoded->row(y) + region.left, m_decoded->row(y) + region.right, row);
    }
    return true;
}

}  // namespace vistrel
