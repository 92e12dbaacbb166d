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
// tiles) is then that copy. The file ends in a 12-byte trailer: the copy's offset and
// size and the copy tag. Files of other pictures end with the thumbnail, as before.
//
// Every file built since colours are converted then ends in a 12-byte colour record: the
// state (0: the picture's colours are shown as stored, 1: its levels and thumbnail are
// converted into sRGB through its ICC profile), 0, and the colour tag. A file without one
// was built before: its levels are as stored, which is wrong for a picture whose profile
// converts (colours_out_of_date).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_stream.h"

namespace vistrel {

// The name of the cache folder on every searched storage root.
inline constexpr char16_t kCacheFolderName[] = u"!vistrelcache";

inline constexpr uint32_t kCacheFormatTag = 19;
// Ends the trailer of a file holding a baseline copy: the bytes "VBC1".
inline constexpr uint32_t kBaselineCopyTag = 0x31434256;
inline constexpr uint32_t kCopyTrailerSize = 12;
// Ends the colour record: the bytes "VCL1".
inline constexpr uint32_t kColourRecordTag = 0x314C4356;
inline constexpr uint32_t kColourRecordSize = 12;

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
    CacheColours colours = CacheColours::Unrecorded;

    bool has_copy() const { return copy_size > 0; }
    int level_count() const { return static_cast<int>(levels.size()) - 1; }  // L
    static uint32_t size_for(int halvings) { return 22 + 16 * uint32_t(halvings); }
    uint32_t size() const { return size_for(level_count()); }

    std::vector<uint8_t> bytes() const;
    // The trailer that follows a baseline copy.
    std::vector<uint8_t> copy_trailer() const;
    // The colour record that ends the file (`colours` must not be Unrecorded).
    std::vector<uint8_t> colour_record() const;
    // Reads and checks a header from the stream's start: the tag, and every block inside
    // a file of `file_size` bytes, and the colour record and copy trailer when there are
    // some. False for anything else.
    bool read(InputStream& stream, uint64_t file_size);
};

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
