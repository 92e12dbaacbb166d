#pragma once
// The cache file of a picture: its name, its header and the tests the library asks of it.
//
// Layout (numbers little-endian), for a picture needing L halvings:
//   0            4   format tag, 19 (written last, so a half-built file is never valid)
//   4            1   L
//   5            1   EXIF orientation 1..8
//   6            8   level 0: records offset, records size
//   14+16(k-1)   16  level k = 1..L: records offset, records size, JPEG offset, JPEG size
//   14+16L       8   thumbnail: offset, size
// The data follows without gaps: level 0 records (level 0 is the picture file itself),
// then per level its records and its JPEG, then the 64 x 64 thumbnail JPEG.
//
// A picture our decoder cannot follow as it is (progressive or arithmetic-coded) gets a
// lossless baseline copy of itself after the thumbnail, and level 0 (its records, its
// tiles) is then that copy, followed by a 12-byte trailer: the copy's offset and size and
// the copy tag.
//
// Files built since section checksums end in a block of tagged entries (cache_entries.h)
// after all of that: the entry "SCRC" (section_checksums.h) holds the CRC-32 of the header,
// of each level's records and JPEG, of the thumbnail and of the copy with its trailer, and
// further entries hold other facts about the picture. Everything before the block is laid
// out as in a file without it, which reads as before: no check, no entries. A reader checks
// only what it reads (the header when it opens the file, the thumbnail when it loads it, a
// level's records and JPEG when it first uses the level); a file that fails a check, or
// holds bytes its layout does not explain, is damaged and is built again.
//
// The entry "COLR" (one byte) tells how the levels and thumbnail show the picture's colours:
// 0 as stored (no profile, an sRGB one, or one that cannot be used), 1 converted into sRGB
// through its ICC profile. A file without it was built before colours were converted: its
// levels are as stored, which is wrong for a picture whose profile converts
// (colours_out_of_date).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "library/cache/cache_entries.h"
#include "library/cache/section_checksums.h"
#include "platform/file_stream.h"

namespace vistrel {

// The name of the cache folder on every searched storage root.
inline constexpr char16_t kCacheFolderName[] = u"!vistrelcache";

inline constexpr uint32_t kCacheFormatTag = 19;
// Ends the trailer of a file holding a baseline copy: the bytes "VBC1".
inline constexpr uint32_t kBaselineCopyTag = 0x31434256;
inline constexpr uint32_t kCopyTrailerSize = 12;

inline constexpr uint32_t kCacheColoursTag = cache_tag("COLR");

// What a cache file says about the colours of its levels.
enum class CacheColours : uint8_t {
    Unrecorded,  // built before colours were converted
    AsStored,    // no conversion: no profile, an sRGB one, or one that cannot be used
    Converted,   // converted into sRGB through the picture's profile
};

// The halvings a picture needs: the smallest L >= 0 with longer side <= 256 * 2^L.
int levels_for(int width, int height);

struct CacheLevel {
    uint32_t records_offset = 0;
    uint32_t records_size = 0;
    uint32_t jpeg_offset = 0;  // level 0: unused (the picture file itself)
    uint32_t jpeg_size = 0;
};

struct CacheHeader {
    uint32_t tag = 0;
    int orientation = 1;
    std::vector<CacheLevel> levels;  // L + 1 entries, level 0 first
    uint32_t thumbnail_offset = 0;
    uint32_t thumbnail_size = 0;
    uint32_t copy_offset = 0;  // the baseline copy of the picture; size 0 when none
    uint32_t copy_size = 0;
    // Read with the header: the entries at the end of the file and the checksums among them
    // (none in a file from before them).
    CacheEntries entries;
    std::optional<SectionChecksums> checksums;
    uint64_t entries_offset = 0;  // where the entries begin: the file size when it has none
    // Set by read: the file is not as it was written (a check failed, it is cut short, or
    // it holds bytes its layout does not explain). Its picture should be built again.
    bool damaged = false;
    // What read found wrong, in a few words (empty when it read the header).
    const char* fault = "";
    CacheColours colours = CacheColours::Unrecorded;  // from the entry "COLR"

    bool has_copy() const { return copy_size > 0; }
    int level_count() const { return static_cast<int>(levels.size()) - 1; }  // L
    static uint32_t size_for(int halvings) { return 22 + 16 * uint32_t(halvings); }
    uint32_t size() const { return size_for(level_count()); }
    // The copy and its trailer, which are checked together.
    uint64_t copy_section_size() const { return uint64_t(copy_size) + kCopyTrailerSize; }

    std::vector<uint8_t> bytes() const;
    // The trailer that follows a baseline copy.
    std::vector<uint8_t> copy_trailer() const;
    // The value of the entry "COLR" for `colours` (which must not be Unrecorded).
    std::vector<uint8_t> colours_entry() const;
    // Reads and checks a header from the stream's start: the tag, every block inside a file
    // of `file_size` bytes, the copy trailer when there is one, the entries and, when the
    // file has checksums, the header's own. False for anything else; see `damaged`.
    bool read(InputStream& stream, uint64_t file_size);

    // Whether `size` bytes at `offset` are as written: read from `stream`, or already read
    // into `bytes`. Always true for a file without checksums.
    bool intact(InputStream& stream, uint64_t offset, uint64_t size) const;
    bool intact(uint64_t offset, const uint8_t* bytes, size_t size) const;
};

// The value of entry `tag` of the cache file `name`; nothing when the file cannot be read
// or has no such entry.
std::optional<std::vector<uint8_t>> read_cache_entry(const std::u16string& name, uint32_t tag);

// Removes the damaged cache file `name`, so that its picture is built again, when it is
// still the file `opened` reads (a build may have put a new one in its place meanwhile).
void discard_cache_file(const std::u16string& name, const FileStream& opened);

// The cache folder of a storage root.
std::u16string cache_folder(const std::u16string& drive);

// drive/!vistrelcache/ + the picture's size in bytes, month, day, hour and minute of its
// last change in local time, and its seconds with milliseconds as "%f"; empty when the
// picture does not exist. Example: 123456 bytes, 28 April 13:05:07.250 gives
// "1234564281357.250000".
std::u16string cache_file_name(const std::u16string& picture, const std::u16string& drive);

// The file name part of cache_file_name for a picture at an expanded path (no macros);
// empty when the picture does not exist.
std::u16string cache_file_part(const std::u16string& expanded_picture);
// The same from the picture's size and time of last change (nanoseconds since 1970).
std::u16string cache_file_part(uint64_t size, int64_t modified_ns);

// The cache file opens and begins with the format tag.
bool is_cache_valid(const std::u16string& picture, const std::u16string& drive);
// The same for a cache file known by its name.
bool is_cache_file_valid(const std::u16string& cache_file);

// The file exists and is empty: the marker of a picture whose cache could not be built.
bool is_failed_thumbnail(const std::u16string& path);

// Whether a cache file was built before colours were converted for a picture whose ICC
// profile converts them: its levels and thumbnail show the wrong colours, and it is to be
// built again. Reads the picture's header (only for such older files).
bool colours_out_of_date(const CacheHeader& header, InputStream& picture);
// The same for the cache file of a picture under `drive`; false when it cannot be read.
bool colours_out_of_date(const std::u16string& picture, const std::u16string& drive);

}  // namespace vistrel
