#include "library/tiles/direct_tile_source.h"

#include <vector>

#include "library/cache/cache_file.h"
#include "library/formats/picture_source.h"
#include "library/jpeg/cropped_decode.h"
#include "library/jpeg/jpeg_reader.h"
#include "platform/paths.h"

namespace vistrel {

namespace {

// The mean of each `factor` x `factor` block of 565 pixels (the picture's last columns and
// rows that fill no block are dropped).
std::unique_ptr<Bitmap> shrink(const Bitmap& from, int factor, Size size) {
    std::unique_ptr<Bitmap> to = Bitmap::create(size);
    if (!to || size.w * factor > from.width() || size.h * factor > from.height()) return nullptr;
    const uint32_t n = uint32_t(factor) * uint32_t(factor);
    for (int y = 0; y < size.h; ++y) {
        Pixel* out = to->row(y);
        for (int x = 0; x < size.w; ++x) {
            uint32_t r = 0, g = 0, b = 0;
            for (int dy = 0; dy < factor; ++dy) {
                const Pixel* in = from.row(y * factor + dy) + x * factor;
                for (int dx = 0; dx < factor; ++dx) {
                    r += (in[dx] >> 11) & 31;
                    g += (in[dx] >> 5) & 63;
                    b += in[dx] & 31;
                }
            }
            out[x] = Pixel(((r / n) << 11) | ((g / n) << 5) | (b / n));
        }
    }
    return to;
}

}  // namespace

// A picture of another format is decoded once, at the largest level that may be kept
// whole (the screen's size or near it); the levels below are made from that one.
bool DirectTileSource::open_other() {
    std::string why;
    std::unique_ptr<PictureSource> source = open_picture_source(std::move(m_picture), m_path, &why);
    if (!source) return false;
    m_file_size = m_path.empty() ? 0 : file_info(m_path).size;
    m_orientation = source->orientation();
    m_stored_width = source->width();
    m_stored_height = source->height();
    m_levels = levels_for(m_stored_width, m_stored_height);
    int halvings = 0;
    while (halvings < m_levels &&
           int64_t(m_stored_width >> halvings) * (m_stored_height >> halvings) > kMaxKeptPixels)
        ++halvings;
    const Size size = halved_size(halvings);
    const int factor = 1 << halvings;
    std::unique_ptr<Bitmap> kept = Bitmap::create(size);
    if (!kept || size.empty()) return false;
    std::vector<uint8_t> rgb(3 * size_t(m_stored_width));
    std::vector<uint32_t> sums(3 * size_t(size.w));
    const uint32_t n = uint32_t(factor) * uint32_t(factor);
    for (int y = 0; y < size.h; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int dy = 0; dy < factor; ++dy) {
            if (!source->read_row(rgb.data())) return false;
            for (int x = 0; x < size.w * factor; ++x)
                for (int c = 0; c < 3; ++c)
                    sums[3 * size_t(x / factor) + c] += rgb[3 * size_t(x) + c];
        }
        Pixel* row = kept->row(y);
        for (int x = 0; x < size.w; ++x)
            row[x] = to_pixel(uint8_t(sums[3 * x] / n), uint8_t(sums[3 * x + 1] / n),
                              uint8_t(sums[3 * x + 2] / n));
    }
    m_kept = std::move(kept);
    m_kept_level = m_levels - halvings;
    m_other = true;
    return true;
}

DirectTileSource::DirectTileSource(std::u16string picture) : m_path(std::move(picture)) {}

DirectTileSource::DirectTileSource(std::unique_ptr<InputStream> picture)
    : m_picture(std::move(picture)) {}

DirectTileSource::~DirectTileSource() = default;

bool DirectTileSource::open() {
    m_open = false;
    m_decoded_level = -1;
    m_decoded.reset();
    if (!m_path.empty()) m_picture = std::make_unique<FileStream>(m_path, OpenMode::Read);
    if (m_picture && picture_format(*m_picture, m_path) != PictureFormat::Jpeg) {
        m_open = open_other();
        return m_open;
    }
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
    if (m_other)
        return m_open && level >= 0 && level <= m_kept_level ? halved_size(m_levels - level) : Size{};
    if (!m_open || level < 0 || level > m_levels) return {};
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
    if (m_other) {
        if (level != m_kept_level && m_decoded_level != level) {
            m_decoded = shrink(*m_kept, 1 << (m_kept_level - level), size);
            m_decoded_level = m_decoded ? level : -1;
            if (!m_decoded) return false;
        }
    } else if (!scale_of(level)) {
        // Smaller than libjpeg decodes: the 1/8 decode, averaged down, so that a large
        // picture shows whole at screen size before its cache file exists.
        if (m_decoded_level != level) {
            const int eighth = m_levels - 3;
            if (int64_t(stored_level_size(eighth).w) * stored_level_size(eighth).h > 4 * kMaxKeptPixels ||
                !decode_level(eighth))
                return false;
            m_decoded = shrink(*m_decoded, 1 << (eighth - level), size);
            m_decoded_level = m_decoded ? level : -1;
            if (!m_decoded) return false;
        }
    } else if (int64_t(size.w) * size.h > kMaxKeptPixels) {
        if (!m_picture->seek(0)) return false;
        return decode_cropped(*m_picture, m_file_size, scale_of(level), region, out, pitch);
    }
    else if (m_decoded_level != level && !decode_level(level)) return false;
    const Bitmap& from = m_other && level == m_kept_level ? *m_kept : *m_decoded;
    if (from.width() < region.right || from.height() < region.bottom) return false;
    for (int y = region.top; y < region.bottom; ++y) {
        Pixel* row = reinterpret_cast<Pixel*>(reinterpret_cast<uint8_t*>(out) +
                                              ptrdiff_t(y - region.top) * pitch);
        std::copy(from.row(y) + region.left, from.row(y) + region.right, row);
    }
    return true;
}

}  // namespace vistrel
