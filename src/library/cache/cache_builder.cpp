#include "library/cache/cache_builder.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "library/cache/cache_file.h"
#include "library/cache/crc32.h"
#include "library/cache/level_pipeline.h"
#include "library/cache/picture_facts.h"
#include "library/cache/thumbnail.h"
#include "library/formats/picture_source.h"
#include "library/jpeg/jpeg_writer.h"
#include "library/jpeg/orientation.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

double seconds_since(uint64_t start_us) {
    return static_cast<double>(micro_ticks() - start_us) / 1e6;
}

// Offsets and sizes are stored in 32 bits.
bool fits32(uint64_t value) {
    return value <= UINT32_MAX;
}

// Whether our decoder would follow the picture as one baseline scan: grey, or YCbCr with
// luminance sampled 1 or 2 each way and chroma once. Other copies would not be kept.
bool followable(const JpegReader& reader) {
    if (!reader.is_ycc_or_grey()) return false;
    if (reader.components() == 1) return true;
    if (reader.components() != 3) return false;
    for (int c = 1; c < 3; ++c)
        if (reader.horizontal_sampling(c) != 1 || reader.vertical_sampling(c) != 1) return false;
    const int h = reader.horizontal_sampling(0), v = reader.vertical_sampling(0);
    return h >= 1 && h <= 2 && v >= 1 && v <= 2;
}

// A build writes to a file of its own beside the cache file and renames it when it is
// whole, so a file under a cache name is always finished (or a failure marker). The name
// is the build's alone: two pictures of equal size and time share a cache name, and may
// be built at once by two threads or two processes.
std::u16string building_name(const std::u16string& name) {
    static std::atomic<uint32_t> builds{0};
    return name + u".part" + to_u16(int64_t(getpid())) + u"-" + to_u16(int64_t(builds++));
}

class CacheBuild {
public:
    CacheBuild(const std::u16string& picture, const std::u16string& drive,
               const std::u16string& name, const StopTest& stop, RecordingMode mode,
               bool allow_copy)
        : m_picture(picture), m_drive(drive), m_name(name), m_stop(stop), m_mode(mode),
          m_allow_copy(allow_copy) {}

    bool run();
    // The baseline copy could not be written (a full disk, say); a build without it may
    // still succeed.
    bool copy_failed() const { return m_copy_failed; }
    // What went wrong first.
    CacheProblem problem() const { return m_problem; }

private:
    bool fail(CacheProblem problem) {
        if (m_problem == CacheProblem::None) m_problem = problem;
        return false;
    }
    bool write();
    bool make_copy();
    // Makes the copy and the levels of a picture of another format.
    bool convert_picture(int& halvings);
    bool make_levels(int halvings);
    bool copy_damaged_picture(int halvings);
    bool append(const uint8_t* bytes, size_t size);
    // Appends a section of the file and notes its checksum.
    bool append_section(const uint8_t* bytes, size_t size);
    bool append_records(const std::vector<ResumeRecord>& records, uint32_t& size);
    bool append_copy();
    // Writes the entries at the end, then the header (the tag last of all).
    bool finish();

    const std::u16string& m_picture;
    const std::u16string& m_drive;
    const std::u16string& m_name;
    const StopTest& m_stop;
    RecordingMode m_mode;
    bool m_allow_copy;
    bool m_copy_failed = false;
    CacheProblem m_problem = CacheProblem::None;
    MemoryStream m_copy;    // the picture as one baseline scan, when it needs one
    bool m_converted = false;  // the picture is not a JPEG: the copy is made from its pixels
    bool m_damaged = false;  // libjpeg decoded the picture to its end past damaged data
    std::u16string m_building = building_name(m_name);  // written here, then renamed
    FileStream m_file;
    uint64_t m_end = 0;  // bytes written so far
    CacheHeader m_header;
    SectionChecksums m_checksums;
    // Facts about the picture, kept in the entries at the end of the file.
    CacheEntries m_entries;
    std::vector<ResumeRecord> m_picture_records;
    std::vector<MemoryStream> m_levels;  // levels 1..L
    uint64_t m_started_us = micro_ticks();
};

bool CacheBuild::append(const uint8_t* bytes, size_t size) {
    if (!fits32(m_end + size) || !m_file.seek(m_end)) return fail(CacheProblem::WriteFailed);
    if (size && m_file.write(bytes, size) != size) return fail(CacheProblem::WriteFailed);
    m_end += size;
    return true;
}

bool CacheBuild::append_section(const uint8_t* bytes, size_t size) {
    const uint64_t offset = m_end;
    if (!append(bytes, size)) return false;
    m_checksums.add(static_cast<uint32_t>(offset), static_cast<uint32_t>(size),
                    crc32_of(bytes, size));
    return true;
}

bool CacheBuild::append_records(const std::vector<ResumeRecord>& records, uint32_t& size) {
    std::vector<uint8_t> bytes(records.size() * kResumeRecordSize);
    for (size_t i = 0; i < records.size(); ++i)
        records[i].store(&bytes[i * kResumeRecordSize]);
    size = static_cast<uint32_t>(bytes.size());
    return append_section(bytes.data(), bytes.size());
}

// The copy and its trailer are one section: a damaged trailer would hide the copy.
bool CacheBuild::append_copy() {
    m_header.copy_offset = static_cast<uint32_t>(m_end);
    m_header.copy_size = static_cast<uint32_t>(m_copy.size());
    const std::vector<uint8_t> trailer = m_header.copy_trailer();
    const std::vector<uint8_t>& copy = m_copy.bytes();
    if (!append(copy.data(), copy.size()) || !append(trailer.data(), trailer.size())) return false;
    const uint32_t crc =
        crc32_of(trailer.data(), trailer.size(), crc32_of(copy.data(), copy.size()));
    m_checksums.add(m_header.copy_offset, static_cast<uint32_t>(m_header.copy_section_size()), crc);
    return true;
}

// One decode of the picture makes every level: each is halved from the pixels of the one
// above as the rows go by. Should our decoder fail where libjpeg's own would not, the
// picture is decoded once more by libjpeg alone.
// A progressive or arithmetic-coded picture is copied losslessly into one baseline scan;
// false only for a stop request. A picture that cannot be copied (damaged scans, say)
// goes on without a copy and is decoded as it is.
bool CacheBuild::make_copy() {
    FileStream input(m_picture, OpenMode::Read);
    JpegReader reader(input, input.size());
    const bool copied = reader.ok() && reader.is_copyable_to_baseline() &&
                        reader.read_coefficients(&m_stop) && !reader.data_damaged() &&
                        reader.holds_image_data() &&
                        write_baseline_copy(reader, m_copy);
    if (!copied) m_copy = MemoryStream{};
    return !(m_stop && m_stop());
}

// A picture of another format is decoded once, through its library. Its rows go both into
// a baseline JPEG of quality kCopyQuality, which then stands for the picture at full size,
// and into the halved levels, each on a thread of its own: where the decode is cheap (an
// uncompressed TIFF) encoding the copy is the longest step, and it no longer waits for the
// levels. The copy is never decoded again. Its records come from our decoder's pass over
// its entropy-coded data alone.
bool CacheBuild::convert_picture(int& halvings) {
    std::string why;
    std::unique_ptr<PictureSource> source = open_picture_source(m_picture, &why);
    if (!source) {
        trace() << tick_count() << "cache: picture not read: " << why << "\n";
        return fail(CacheProblem::NotReadable);
    }
    m_converted = true;
    m_header.orientation = source->orientation();
    m_header.colours = source->converts_colours() ? CacheColours::Converted : CacheColours::AsStored;
    halvings = levels_for(source->width(), source->height());
    m_levels.assign(size_t(halvings), MemoryStream{});
    std::vector<OutputStream*> outputs;
    for (MemoryStream& level : m_levels)
        outputs.push_back(&level);
    {
        LevelPipeline rows(source->width(), source->height(), outputs, kLevelQuality);
        LevelPipeline copy(source->width(), source->height(), {}, kLevelQuality, nullptr,
                           FullCopy{&m_copy, kCopyQuality});
        if (!rows.ok() || !copy.ok()) return fail(CacheProblem::Damaged);
        const size_t row_bytes = 3 * size_t(source->width());
        for (int y = 0; y < source->height(); ++y) {
            if (m_stop && m_stop()) return fail(CacheProblem::Stopped);
            uint8_t* row = rows.next_row();
            if (!source->read_row(row)) {
                trace() << tick_count() << "cache: picture not decoded: " << source->problem()
                        << "\n";
                return fail(CacheProblem::Damaged);
            }
            std::memcpy(copy.next_row(), row, row_bytes);
            if (!rows.commit_row() || !copy.commit_row()) return fail(CacheProblem::Damaged);
        }
        if (!rows.finish() || !copy.finish()) return fail(CacheProblem::Damaged);
    }
    source.reset();
    trace() << "create cache time copy " << seconds_since(m_started_us) << "\n";
    m_copy.rewind();
    m_picture_records = record_level(m_copy, m_copy.size());
    if (m_picture_records.empty()) return fail(CacheProblem::Damaged);
    return true;
}

bool CacheBuild::make_levels(int halvings) {
    FileStream picture(m_picture, OpenMode::Read);
    if (!picture.is_open()) return false;
    // A stored 0 is not a valid orientation; the pixels are fine, so the picture is shown
    // as stored rather than dropped from the collection.
    m_header.orientation = std::max(read_orientation(picture), 1);
    InputStream& input = m_copy.size() > 0 ? static_cast<InputStream&>(m_copy) : picture;
    const uint64_t size = m_copy.size() > 0 ? m_copy.size() : picture.size();
    for (const RecordingMode mode : {m_mode, RecordingMode::OwnPass}) {
        m_levels.assign(size_t(halvings), MemoryStream{});
        std::vector<OutputStream*> outputs;
        for (MemoryStream& level : m_levels)
            outputs.push_back(&level);
        if (!input.seek(0)) return false;
        if (decode_levels(input, size, outputs, m_stop, &m_picture_records, mode, &m_damaged))
            return true;
        if (mode == RecordingMode::OwnPass || (m_stop && m_stop())) break;
    }
    return false;
}

// A picture libjpeg decodes to its end past damaged data (a premature end of its data, a
// broken stretch it resynchronises after) is shown as libjpeg decodes it. Our decoder does
// not follow libjpeg through damage, so the coefficients libjpeg made of it are copied into
// one clean baseline scan, which then stands for the picture at full size (its records,
// its tiles), and the levels are made again from it. A picture that cannot be copied keeps
// the levels made and has no records at full size (its tiles come through libjpeg). False
// when the levels cannot be made again, or for a stop request.
bool CacheBuild::copy_damaged_picture(int halvings) {
    if (!m_damaged || !m_allow_copy || m_copy.size() > 0) return true;
    trace() << tick_count() << "damaged picture shown as decoded\n";
    {
        FileStream input(m_picture, OpenMode::Read);
        JpegReader reader(input, input.size());
        if (!reader.ok() || !followable(reader)) return true;
        if (!reader.read_coefficients(&m_stop) || !reader.holds_image_data() ||
            !write_baseline_copy(reader, m_copy)) {
            m_copy = MemoryStream{};
            return !(m_stop && m_stop());
        }
    }
    if (make_levels(halvings) && !m_picture_records.empty()) return true;
    if (m_stop && m_stop()) return false;
    m_copy = MemoryStream{};
    return make_levels(halvings);
}

bool CacheBuild::finish() {
    m_header.tag = kCacheFormatTag;
    std::vector<uint8_t> bytes = m_header.bytes();
    SectionChecksums checksums = m_checksums;
    checksums.add(0, static_cast<uint32_t>(bytes.size()), crc32_of(bytes.data(), bytes.size()));
    m_entries.set(SectionChecksums::kTag, checksums.bytes());
    const std::vector<uint8_t> entries = m_entries.bytes();
    if (!append(entries.data(), entries.size())) return false;
    // Everything but the tag first, the tag last: a file cut short is never valid.
    m_header.tag = 0;
    bytes = m_header.bytes();
    if (!m_file.seek(0) || m_file.write(bytes.data(), bytes.size()) != bytes.size()) return false;
    m_header.tag = kCacheFormatTag;
    bytes = m_header.bytes();
    return m_file.seek(0) && m_file.write(bytes.data(), 4) == 4;
}

bool CacheBuild::run() {
    if (m_name.empty() || !is_regular_file(m_picture)) return fail(CacheProblem::Missing);
    const bool written = write();
    m_file.close();
    if (written && rename_file(m_building, m_name)) return true;
    delete_file(m_building);
    return fail(CacheProblem::WriteFailed);
}

bool CacheBuild::write() {
    int halvings = 0;
    bool copyable = false;
    {
        FileStream input(m_picture, OpenMode::Read);
        const PictureFormat format = picture_format(input, m_picture);
        if (format != PictureFormat::Jpeg && !convert_picture(halvings)) return false;
    }
    if (!m_converted) {
        FileStream input(m_picture, OpenMode::Read);
        JpegReader reader(input, input.size());
        if (!reader.ok()) return fail(CacheProblem::NotReadable);
        halvings = levels_for(reader.width(), reader.height());
        copyable = m_allow_copy && reader.is_copyable_to_baseline() && followable(reader);
        // Every decode of the picture (and of its copy, which keeps its profile) converts
        // the same way; the levels made from them are then sRGB.
        m_header.colours =
            reader.converts_colours() ? CacheColours::Converted : CacheColours::AsStored;
    }
    if (copyable && !make_copy()) return false;
    if (!m_file.open(m_building, OpenMode::Write)) return fail(CacheProblem::WriteFailed);
    m_header.levels.assign(size_t(halvings) + 1, CacheLevel{});
    const std::vector<uint8_t> zeros(CacheHeader::size_for(halvings), 0);
    if (!append(zeros.data(), zeros.size())) return false;

    if (!m_converted && (!make_levels(halvings) || !copy_damaged_picture(halvings)))
        return fail(CacheProblem::Damaged);
    trace() << "create cache time " << 0 << " " << seconds_since(m_started_us) << "\n";
    m_header.levels[0].records_offset = static_cast<uint32_t>(m_end);
    if (!append_records(m_picture_records, m_header.levels[0].records_size)) return false;
    for (int k = 1; k <= halvings; ++k) {
        MemoryStream& level = m_levels[k - 1];
        CacheLevel& entry = m_header.levels[k];
        entry.records_offset = static_cast<uint32_t>(m_end);
        entry.jpeg_size = static_cast<uint32_t>(level.size());
        level.rewind();
        if (!append_records(record_level(level, level.size()), entry.records_size)) return false;
        entry.jpeg_offset = static_cast<uint32_t>(m_end);
        if (!append_section(level.bytes().data(), level.bytes().size())) return false;
        trace() << "create cache time " << k << " " << seconds_since(m_started_us) << "\n";
    }

    MemoryStream thumbnail;
    if (halvings > 0) {
        m_levels.back().rewind();
        if (!make_thumbnail(m_levels.back(), thumbnail, m_stop)) return fail(CacheProblem::Damaged);
    } else if (m_converted) {
        m_copy.rewind();
        if (!make_thumbnail(m_copy, thumbnail, m_stop))
            return fail(CacheProblem::Damaged);
    } else {
        FileStream input(m_picture, OpenMode::Read);
        if (!make_thumbnail(input, thumbnail, m_stop)) return fail(CacheProblem::Damaged);
    }
    m_header.thumbnail_offset = static_cast<uint32_t>(m_end);
    m_header.thumbnail_size = static_cast<uint32_t>(thumbnail.size());
    if (!append_section(thumbnail.bytes().data(), thumbnail.bytes().size())) return false;
    // The copy is kept only when our decoder follows it; it then stands for level 0. A
    // converted picture has no other level 0.
    if (m_converted && m_picture_records.empty()) return fail(CacheProblem::Damaged);
    if (m_copy.size() > 0 && !m_picture_records.empty() && !append_copy()) {
        m_copy_failed = true;
        return false;
    }
    m_entries.set(kCacheColoursTag, m_header.colours_entry());
    {
        FileStream input(m_picture, OpenMode::Read);
        m_entries.set(kCacheFactsTag, read_picture_facts(input).entry());
    }
    // A picture that changed while we read it would leave a cache of something else.
    if (cache_file_name(m_picture, m_drive) != m_name) return fail(CacheProblem::Changed);
    return finish();
}

}  // namespace

bool build_cache(const std::u16string& picture, const std::u16string& drive, const StopTest& stop,
                 RecordingMode mode, CacheProblem* problem) {
    const std::u16string name = cache_file_name(picture, drive);
    CacheBuild build(picture, drive, name, stop, mode, true);
    bool built = build.run();
    CacheProblem found = build.problem();
    if (!built && build.copy_failed() && !(stop && stop())) {
        CacheBuild plain(picture, drive, name, stop, mode, false);
        built = plain.run();
        found = plain.problem();
    }
    if (problem) *problem = built ? CacheProblem::None : found;
    return built;
}

bool build_cache_file(const std::u16string& picture, const std::u16string& drive,
                      const StopTest& stop) {
    return build_cache_file_for(picture, drive, stop) == CacheProblem::None;
}

CacheProblem build_cache_file_for(const std::u16string& picture, const std::u16string& drive,
                                  const StopTest& stop) {
    const std::u16string folder = cache_folder(drive);
    if (!file_info(folder).is_directory) create_directory(folder);
    const uint64_t started = micro_ticks();
    trace() << "Time for create cache begin " << seconds_since(started) << "\n";
    const std::u16string name = cache_file_name(picture, drive);
    // Whether the stop test ever said stop.
    bool stopped = false;
    const StopTest watched = [&] {
        const bool now = stop && stop();
        stopped = stopped || now;
        return now;
    };
    CacheProblem found = CacheProblem::None;
    const bool built = build_cache(picture, drive, watched, RecordingMode::InStep, &found);
    if (stopped && !built) found = CacheProblem::Stopped;
    // A build cut short by a stop request leaves nothing, so the next search queues the
    // picture again; a failed picture gets the marker, which stands until it changes.
    if (!built && !name.empty() && !stopped) FileStream marker(name, OpenMode::Write);
    trace() << "Time for create cache end " << seconds_since(started) << "\n";
    return built ? CacheProblem::None : found;
}

const char* describe(CacheProblem problem) {
    switch (problem) {
        case CacheProblem::None:
            return "built";
        case CacheProblem::Missing:
            return "the picture is gone";
        case CacheProblem::NotReadable:
            return "not a picture we can read";
        case CacheProblem::Damaged:
            return "no image data in it can be shown";
        case CacheProblem::Changed:
            return "it changed while it was being read";
        case CacheProblem::WriteFailed:
            return "the cache file could not be written";
        case CacheProblem::Stopped:
            return "stopped before it was done";
    }
    return "unknown";
}

}  // namespace vistrel
