#include "library/tiles/cache_tile_source.h"

#include "library/colour/colour_transform.h"
#include "library/formats/picture_format.h"
#include "library/jpeg/cropped_decode.h"
#include "library/jpeg/jpeg_reader.h"
#include "platform/stream_window.h"

namespace vistrel {

// The current level: where its JPEG lies and how its tiles are made.
struct CacheTileSource::Level {
    int e = -1;  // cache level
    bool usable = false;
    bool through_records = false;  // else cropped decoding through libjpeg
    LevelBytes bytes;
    JpegLayout layout;
    LevelRecords records;
    RegionDecoder decoder;
};

CacheTileSource::CacheTileSource(std::u16string picture, std::u16string drive)
    : m_picture_path(std::move(picture)), m_drive(std::move(drive)) {}

CacheTileSource::CacheTileSource(std::unique_ptr<InputStream> picture,
                                 std::unique_ptr<InputStream> cache)
    : m_picture(std::move(picture)), m_cache(std::move(cache)) {}

CacheTileSource::~CacheTileSource() = default;

bool CacheTileSource::open() {
    m_open = false;
    m_level.reset();
    if (!m_picture_path.empty()) {
        m_cache_path = cache_file_name(m_picture_path, m_drive);
        if (m_cache_path.empty()) return false;
        m_picture = std::make_unique<FileStream>(m_picture_path, OpenMode::Read);
        auto cache = std::make_unique<FileStream>(m_cache_path, OpenMode::Read);
        m_cache_file = cache.get();
        m_cache = std::move(cache);
    }
    if (!m_picture || !m_cache || !m_cache->is_open()) return false;
    const bool jpeg = picture_format(*m_picture, m_picture_path) == PictureFormat::Jpeg;
    if (jpeg && !read_picture(*m_picture)) return false;
    if (!m_header.read(*m_cache, m_cache->size())) return m_header.damaged && fail_damaged();
    // A picture of another format is known by its copy, which stands for it at full size.
    if (!jpeg && !read_copy_size()) return false;
    if (m_header.level_count() != m_levels) return false;
    // Its levels would not match the converted full size; the picture is shown straight
    // from its file until the file is built again.
    if (colours_out_of_date(m_header, *m_picture)) return false;
    m_orientation = m_header.orientation;
    m_open = true;
    return true;
}

VersionSizes CacheTileSource::version_sizes() const {
    VersionSizes sizes;
    if (!m_open) return sizes;
    sizes.full = m_file_size;
    uint64_t* reduced[3] = {&sizes.large, &sizes.medium, &sizes.small};
    for (int k = 1; k <= 3 && k <= m_levels; ++k)
        *reduced[k - 1] = m_header.levels[k].jpeg_size;
    return sizes;
}

bool CacheTileSource::save_version(const std::u16string& file, int level) {
    if (!m_open || level < 0 || level > m_levels) return false;
    if (level == 0) return copy_to_file(*m_picture, 0, m_file_size, file);
    const CacheLevel& stored = m_header.levels[level];
    if (!m_header.intact(*m_cache, stored.jpeg_offset, stored.jpeg_size)) return fail_damaged();
    return copy_to_file(*m_cache, stored.jpeg_offset, stored.jpeg_size, file);
}

bool CacheTileSource::read_copy_size() {
    if (!m_header.has_copy() || !m_cache->seek(m_header.copy_offset)) return false;
    JpegReader reader(*m_cache, m_header.copy_size);
    if (!reader.ok()) return false;
    m_file_size = m_picture->size();
    m_stored_width = reader.width();
    m_stored_height = reader.height();
    m_levels = levels_for(m_stored_width, m_stored_height);
    return true;
}

bool CacheTileSource::fail_damaged() {
    if (!m_damaged && m_cache_file) discard_cache_file(m_cache_path, *m_cache_file);
    m_damaged = true;
    return false;
}

bool CacheTileSource::uses_records(int level) {
    return m_open && level >= 0 && level <= m_levels && select(m_levels - level) &&
           m_level->through_records;
}

size_t CacheTileSource::held_bytes() const {
    if (!m_level) return 0;
    return sizeof(Level) - sizeof(RegionDecoder) + m_level->records.held_bytes() +
           m_level->decoder.held_bytes();
}

Size CacheTileSource::stored_level_size(int level) const {
    if (!m_open || level < 0 || level > m_levels) return {};
    return halved_size(m_levels - level);
}

bool CacheTileSource::load(Level& level) {
    const int e = level.e;
    // Full size is the picture file itself, or its baseline copy when the cache holds one.
    const bool from_picture = e == 0 && !m_header.has_copy();
    InputStream& stream = from_picture ? *m_picture : *m_cache;
    level.bytes = {&stream, 0, m_file_size};
    if (e > 0)
        level.bytes = {&stream, m_header.levels[e].jpeg_offset,
                       uint64_t(m_header.levels[e].jpeg_offset) + m_header.levels[e].jpeg_size};
    else if (!from_picture)
        level.bytes = {&stream, m_header.copy_offset,
                       uint64_t(m_header.copy_offset) + m_header.copy_size};
    const uint64_t size = level.bytes.end - level.bytes.start;
    // A level of the cache file is checked whole when it is first used; the copy with its
    // trailer.
    if (!from_picture &&
        !m_header.intact(stream, level.bytes.start, e > 0 ? size : m_header.copy_section_size()))
        return fail_damaged();
    const Size expected = stored_level_size(m_levels - e);
    StreamWindow window(stream, level.bytes.start, size);
    level.layout = read_jpeg_layout(window);
    if (level.layout.status == LayoutStatus::Damaged || level.layout.width != expected.w ||
        level.layout.height != expected.h)
        return false;

    // libjpeg must read the level as our parser does, and its colours must be ones our
    // decoder converts; otherwise (and when there are no records) libjpeg decodes it.
    window.seek(0);
    JpegReader reader(window, size);
    if (!reader.ok() || reader.width() != expected.w || reader.height() != expected.h) return false;
    const uint32_t records_size = m_header.levels[e].records_size;
    const bool followed =
        level.layout.ok() && layout_matches(level.layout, reader) && reader.is_ycc_or_grey();
    if (records_size == 0 || !followed) {
        level.through_records = false;
        return true;
    }
    // Records are read only when their count fits the level, so a damaged header cannot
    // make us allocate much.
    const int step = record_step(level.layout.mcu_width);
    const uint64_t expected_size = uint64_t((level.layout.mcus_per_row + step - 1) / step) *
                                   uint64_t(level.layout.mcu_rows) * kResumeRecordSize;
    // The picture itself may be cut short: its records then end after its last whole row.
    const uint64_t row_size = expected_size / uint64_t(level.layout.mcu_rows);
    const bool whole = e == 0 ? records_size <= expected_size && records_size % row_size == 0
                              : records_size == expected_size;
    if (!whole || size < level.layout.data_offset) return false;
    std::vector<uint8_t> bytes(records_size);
    if (!m_cache->seek(m_header.levels[e].records_offset) ||
        m_cache->read(bytes.data(), bytes.size()) != bytes.size())
        return false;
    if (!m_header.intact(m_header.levels[e].records_offset, bytes.data(), bytes.size()))
        return fail_damaged();
    if (!level.records.assign(std::move(bytes), level.layout, size - level.layout.data_offset) ||
        !level.decoder.init(level.layout))
        return false;
    // The level's colours into sRGB as libjpeg's decodes of it have them (the picture's
    // profile; reduced levels are sRGB already and carry none).
    const bool grey = level.layout.components.size() == 1;
    level.decoder.set_colour_transform(ColourTransform::shared_from_icc(
        reader.icc_profile(), grey ? PixelLayout::Gray8 : PixelLayout::Rgb8));
    level.through_records = true;
    return true;
}

bool CacheTileSource::select(int e) {
    if (m_level && m_level->e == e) return m_level->usable;
    m_level.reset();  // the old level's records go before the new ones are read
    auto level = std::make_unique<Level>();
    level->e = e;
    level->usable = load(*level);
    if (!level->usable) level->records = LevelRecords{};
    m_level = std::move(level);
    return m_level->usable;
}

bool CacheTileSource::decode_region(int level, const Rect& region, Pixel* out, int pitch) {
    if (!m_open || level < 0 || level > m_levels || !select(m_levels - level)) return false;
    Level& current = *m_level;
    if (current.through_records)
        return current.decoder.decode(current.records, current.bytes, region, out, pitch);
    const uint64_t size = current.bytes.end - current.bytes.start;
    StreamWindow window(*current.bytes.stream, current.bytes.start, size);
    return decode_cropped(window, size, 1, region, out, pitch);
}

}  // namespace vistrel
