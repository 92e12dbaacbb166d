#include "library/cache/cache_check.h"

#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/jpeg_reader.h"
#include "library/jpeg/resume_record.h"

namespace vistrel {

namespace {

// The size of a JPEG and how many records its scan yields.
bool read_level(InputStream& stream, uint64_t size, CacheLevelReport& out, size_t& per_row) {
    const uint64_t origin = stream.position();
    const JpegLayout layout = read_jpeg_layout(stream);
    stream.seek(origin);
    JpegReader reader(stream, size);
    if (!reader.ok()) return false;
    out.width = reader.width();
    out.height = reader.height();
    if (layout.ok()) {
        const int step = record_step(layout.mcu_width);
        per_row = size_t((layout.mcus_per_row + step - 1) / step);
        out.expected_records = per_row * size_t(layout.mcu_rows);
    }
    return true;
}

bool fail(CacheReport& report, std::string problem) {
    report.problem = std::move(problem);
    return false;
}

bool inspect(FileStream& file, FileStream& picture, CacheReport& report) {
    if (!report.header.read(file, file.size()))
        return fail(report, std::string("bad header: ") + report.header.fault);
    const CacheHeader& header = report.header;
    // Every section the file holds is checked against its checksum, in file order.
    const auto intact = [&](uint64_t offset, uint64_t size) {
        return header.intact(file, offset, size);
    };
    const int halvings = header.level_count();
    uint64_t expected_offset = header.size();
    for (int k = 0; k <= halvings; ++k) {
        const CacheLevel& level = header.levels[k];
        const std::string name = "level " + std::to_string(k);
        if (level.records_offset != expected_offset)
            return fail(report, name + ": gap before records");
        if (level.records_size % kResumeRecordSize)
            return fail(report, name + ": records size not a multiple of 17");
        if (!intact(level.records_offset, level.records_size))
            return fail(report, name + " records: checksum fails");
        CacheLevelReport info;
        info.records = level.records_size / kResumeRecordSize;
        expected_offset += level.records_size;
        bool read;
        size_t per_row = 0;
        if (k == 0 && header.has_copy()) {
            if (!intact(header.copy_offset, header.copy_section_size()))
                return fail(report, "baseline copy: checksum fails");
            read =
                file.seek(header.copy_offset) && read_level(file, header.copy_size, info, per_row);
        } else if (k == 0) {
            read = picture.seek(0) && read_level(picture, picture.size(), info, per_row);
        } else {
            if (level.jpeg_offset != expected_offset)
                return fail(report, name + ": gap before JPEG");
            expected_offset += level.jpeg_size;
            if (!intact(level.jpeg_offset, level.jpeg_size))
                return fail(report, name + " JPEG: checksum fails");
            read = file.seek(level.jpeg_offset) && read_level(file, level.jpeg_size, info, per_row);
        }
        if (!read) return fail(report, name + ": not a readable JPEG");
        if (k > 0) {
            const CacheLevelReport& above = report.levels.back();
            if (info.width != above.width / 2 || info.height != above.height / 2)
                return fail(report, name + ": not half the size of the level above");
        }
        // The records of a picture cut short end after its last whole MCU row.
        const bool cut = k == 0 && per_row > 0 && info.records % per_row == 0 &&
                         info.records < info.expected_records;
        if (info.records != 0 && info.records != info.expected_records && !cut)
            return fail(report, name + ": record count does not fit the level");
        if (k > 0 && info.records != info.expected_records)
            return fail(report, name + ": records missing");
        report.levels.push_back(info);
    }
    if (levels_for(report.levels[0].width, report.levels[0].height) != halvings)
        return fail(report, "wrong number of levels for the picture");
    if (header.thumbnail_offset != expected_offset) return fail(report, "gap before thumbnail");
    const uint64_t data_end = uint64_t(header.thumbnail_offset) + header.thumbnail_size;
    const uint64_t copy_bytes = header.has_copy() ? header.copy_size + kCopyTrailerSize : 0;
    if (data_end + copy_bytes != header.entries_offset)
        return fail(report, "data after the thumbnail");
    if (header.has_copy() && report.levels[0].records == 0)
        return fail(report, "baseline copy without records");
    if (!intact(header.thumbnail_offset, header.thumbnail_size))
        return fail(report, "thumbnail: checksum fails");
    CacheLevelReport thumbnail;
    size_t per_row = 0;
    if (!file.seek(header.thumbnail_offset) ||
        !read_level(file, header.thumbnail_size, thumbnail, per_row))
        return fail(report, "thumbnail not a readable JPEG");
    report.thumbnail_width = thumbnail.width;
    report.thumbnail_height = thumbnail.height;
    if (thumbnail.width != 64 || thumbnail.height != 64)
        return fail(report, "thumbnail not 64 x 64");
    if (colours_out_of_date(header, picture))
        return fail(report, "built before colours were converted");
    return true;
}

}  // namespace

CacheReport inspect_cache_file(const std::u16string& cache, const std::u16string& picture) {
    CacheReport report;
    FileStream file(cache, OpenMode::Read);
    FileStream source(picture, OpenMode::Read);
    if (!file.is_open()) {
        report.problem = "cannot open the cache file";
    } else if (file.size() == 0) {
        report.problem = "failure marker (empty file)";
    } else if (!source.is_open()) {
        report.problem = "cannot open the picture";
    } else {
        report.valid = inspect(file, source, report);
    }
    return report;
}

}  // namespace vistrel
