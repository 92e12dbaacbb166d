#include "library/cache/cache_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <ctime>

#include "library/cache/crc32.h"
#include "library/cache/little_endian.h"
#include "library/jpeg/jpeg_reader.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

bool block_inside(uint64_t offset, uint64_t size, uint64_t file_size) {
    return offset <= file_size && size <= file_size - offset;
}

// "%f" of a number, whatever the process's locale says about decimal points.
std::u16string six_decimals(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return from_utf8(std::string_view(text, result.ptr - text));
}

}  // namespace

int levels_for(int width, int height) {
    const int64_t longer = std::max(width, height);
    int levels = 0;
    while (longer > (int64_t(256) << levels))
        ++levels;
    return levels;
}

std::vector<uint8_t> CacheHeader::bytes() const {
    std::vector<uint8_t> out;
    put32(out, tag);
    out.push_back(static_cast<uint8_t>(level_count()));
    out.push_back(static_cast<uint8_t>(orientation));
    put32(out, levels.empty() ? 0 : levels[0].records_offset);
    put32(out, levels.empty() ? 0 : levels[0].records_size);
    for (size_t k = 1; k < levels.size(); ++k) {
        put32(out, levels[k].records_offset);
        put32(out, levels[k].records_size);
        put32(out, levels[k].jpeg_offset);
        put32(out, levels[k].jpeg_size);
    }
    put32(out, thumbnail_offset);
    put32(out, thumbnail_size);
    return out;
}

std::vector<uint8_t> CacheHeader::copy_trailer() const {
    std::vector<uint8_t> out;
    put32(out, copy_offset);
    put32(out, copy_size);
    put32(out, kBaselineCopyTag);
    return out;
}

std::vector<uint8_t> CacheHeader::colours_entry() const {
    return {uint8_t(colours == CacheColours::Converted ? 1 : 0)};
}

bool CacheHeader::read(InputStream& stream, uint64_t file_size) {
    copy_offset = copy_size = 0;
    entries.clear();
    checksums.reset();
    damaged = false;
    fault = "";
    const auto refuse = [&](const char* why) {
        fault = why;
        return false;
    };
    // A file under a cache name is whole once it has its name: one that is cut short or
    // does not start with the tag was changed since.
    const auto broken = [&](const char* why) {
        damaged = true;
        return refuse(why);
    };
    colours = CacheColours::Unrecorded;
    uint8_t start[6];
    if (!stream.seek(0) || stream.read(start, 6) != 6)
        return file_size > 0 ? broken("cut short") : refuse("empty");
    tag = get32(start);
    if (tag != kCacheFormatTag) return broken("no format tag");
    const int halvings = start[4];
    orientation = start[5];
    std::vector<uint8_t> header(size_for(halvings));
    std::copy(start, start + 6, header.begin());
    if (stream.read(&header[6], header.size() - 6) != header.size() - 6) return broken("cut short");

    uint64_t end = file_size;  // of what the header lays out
    switch (entries.read(stream, file_size, end)) {
        case CacheEntries::Found::Damaged:
            return broken("entries: checksum fails");
        case CacheEntries::Found::Intact: {
            const std::vector<uint8_t>* sums = entries.find(SectionChecksums::kTag);
            checksums.emplace();
            if (!sums || !checksums->parse(*sums) || end < header.size() ||
                !checksums->matches(0, header.size(), crc32_of(header.data(), header.size())))
                return broken("header: checksum fails");
            break;
        }
        case CacheEntries::Found::None:
            break;
    }

    entries_offset = end;
    if (orientation < 1 || orientation > 8) return refuse("orientation out of range");
    const uint8_t* rest = &header[6];
    levels.assign(size_t(halvings) + 1, CacheLevel{});
    levels[0].records_offset = get32(&rest[0]);
    levels[0].records_size = get32(&rest[4]);
    for (int k = 1; k <= halvings; ++k) {
        const uint8_t* at = &rest[8 + 16 * (k - 1)];
        levels[k] = {get32(at), get32(at + 4), get32(at + 8), get32(at + 12)};
    }
    const uint8_t* tail = &rest[8 + 16 * halvings];
    thumbnail_offset = get32(tail);
    thumbnail_size = get32(tail + 4);
    for (const CacheLevel& level : levels)
        if (!block_inside(level.records_offset, level.records_size, end) ||
            !block_inside(level.jpeg_offset, level.jpeg_size, end))
            return refuse("a level outside the file");
    if (!block_inside(thumbnail_offset, thumbnail_size, end))
        return refuse("thumbnail outside the file");
    const uint64_t data_end = uint64_t(thumbnail_offset) + thumbnail_size;
    if (const std::vector<uint8_t>* value = entries.find(kCacheColoursTag);
        value && value->size() == 1 && (*value)[0] <= 1)
        colours = (*value)[0] == 1 ? CacheColours::Converted : CacheColours::AsStored;
    // A copy lies right after the thumbnail and fills the file up to its trailer.
    uint8_t trailer[kCopyTrailerSize];
    if (end >= data_end + kCopyTrailerSize && stream.seek(end - kCopyTrailerSize) &&
        stream.read(trailer, kCopyTrailerSize) == kCopyTrailerSize &&
        get32(trailer + 8) == kBaselineCopyTag && get32(trailer) == data_end &&
        data_end + get32(trailer + 4) + kCopyTrailerSize == end && get32(trailer + 4) > 0) {
        copy_offset = get32(trailer);
        copy_size = get32(trailer + 4);
    }
    // Bytes no block accounts for: entries whose footer was damaged, say.
    if (data_end + (has_copy() ? copy_section_size() : 0) != end)
        return broken("bytes after the data");
    return true;
}

bool CacheHeader::intact(InputStream& stream, uint64_t offset, uint64_t size) const {
    return !checksums || checksums->matches(stream, offset, size);
}

bool CacheHeader::intact(uint64_t offset, const uint8_t* bytes, size_t size) const {
    return !checksums || checksums->matches(offset, size, crc32_of(bytes, size));
}

std::optional<std::vector<uint8_t>> read_cache_entry(const std::u16string& name, uint32_t tag) {
    FileStream file(name, OpenMode::Read);
    CacheHeader header;
    if (!file.is_open() || !header.read(file, file.size())) return std::nullopt;
    const std::vector<uint8_t>* value = header.entries.find(tag);
    if (!value) return std::nullopt;
    return *value;
}

void discard_cache_file(const std::u16string& name, const FileStream& opened) {
    struct stat held {};
    struct stat named {};
    if (!opened.is_open() || fstat(opened.descriptor(), &held) != 0 ||
        stat(to_utf8(expand_path(name)).c_str(), &named) != 0 || held.st_dev != named.st_dev ||
        held.st_ino != named.st_ino)
        return;
    trace() << tick_count() << " damaged cache file removed " << name << "\n";
    delete_file(name);
}

std::u16string cache_folder(const std::u16string& drive) {
    return join(drive, kCacheFolderName);
}

std::u16string cache_file_part(const std::u16string& expanded_picture) {
    // The picture's own size and time, through any symbolic link.
    struct stat st {};
    if (stat(to_utf8(expanded_picture).c_str(), &st) != 0) return {};
    return cache_file_part(uint64_t(st.st_size),
                           int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
}

std::u16string cache_file_part(uint64_t size, int64_t modified_ns) {
    time_t seconds = static_cast<time_t>(modified_ns / 1000000000);
    int64_t nanoseconds = modified_ns % 1000000000;
    if (nanoseconds < 0) {  // times before 1970
        nanoseconds += 1000000000;
        --seconds;
    }
    tm local{};
    if (!localtime_r(&seconds, &local)) return {};
    const int milliseconds = static_cast<int>(nanoseconds / 1000000);
    std::u16string name = to_u16(static_cast<int64_t>(size));
    name += to_u16(local.tm_mon + 1);
    name += to_u16(local.tm_mday);
    name += to_u16(local.tm_hour);
    name += to_u16(local.tm_min);
    name += six_decimals(local.tm_sec + milliseconds / 1000.0);
    return name;
}

std::u16string cache_file_name(const std::u16string& picture, const std::u16string& drive) {
    const std::u16string name = cache_file_part(expand_path(picture));
    return name.empty() ? name : join(cache_folder(drive), name);
}

bool is_cache_valid(const std::u16string& picture, const std::u16string& drive) {
    return is_cache_file_valid(cache_file_name(picture, drive));
}

bool is_cache_file_valid(const std::u16string& name) {
    if (name.empty()) return false;
    FileStream file(name, OpenMode::Read);
    uint8_t tag[4];
    return file.is_open() && file.read(tag, 4) == 4 && get32(tag) == kCacheFormatTag;
}

bool is_failed_thumbnail(const std::u16string& path) {
    const FileInfo info = file_info(path);
    return info.exists && !info.is_directory && info.size == 0;
}

bool colours_out_of_date(const CacheHeader& header, InputStream& picture) {
    if (header.colours != CacheColours::Unrecorded || !picture.is_open() || !picture.seek(0))
        return false;
    const JpegReader reader(picture, picture.size());
    if (!reader.converts_colours()) return false;
    trace() << tick_count() << "colour: cache file from before colours were converted\n";
    return true;
}

bool colours_out_of_date(const std::u16string& picture, const std::u16string& drive) {
    const std::u16string name = cache_file_name(picture, drive);
    if (name.empty()) return false;
    FileStream cache(name, OpenMode::Read);
    CacheHeader header;
    if (!cache.is_open() || !header.read(cache, cache.size())) return false;
    FileStream file(picture, OpenMode::Read);
    return colours_out_of_date(header, file);
}

}  // namespace vistrel
