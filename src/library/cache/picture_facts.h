#pragma once
// What the slide show's overlay shows of a picture: when it was taken and its caption,
// read from its metadata while its cache file is built and kept in the cache file's entry
// "FACT", so that showing them reads nothing more.
//
// Sources: the date from EXIF DateTimeOriginal; the caption from EXIF ImageDescription,
// else XMP dc:description, else the IPTC caption (2:120). Every source is bounded and
// checked; a date that is not a real one (year 0, month 13, the blank "0000:00:00") and a
// caption that says nothing (blanks, a camera's own "OLYMPUS DIGITAL CAMERA") count as none.
//
// Entry "FACT": u8 version 1, u8 flags (1: date present), u16 year, u8 month, day, hour,
// minute, second, u16 n, n bytes of caption (UTF-8, at most kMaxCaptionBytes).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/cache/cache_entries.h"
#include "platform/file_stream.h"

namespace vistrel {

inline constexpr uint32_t kCacheFactsTag = cache_tag("FACT");

struct TakenDate {
    int year = 0;  // 1..9999
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const TakenDate&) const = default;
};

struct PictureFacts {
    static constexpr size_t kMaxCaptionBytes = 600;
    std::optional<TakenDate> taken;
    std::u16string caption;  // empty for none

    std::vector<uint8_t> entry() const;
    // Nothing when the entry's bytes are not one this reader wrote.
    static std::optional<PictureFacts> from_entry(const std::vector<uint8_t>& bytes);
};

// Reads the metadata segments at the start of a JPEG stream (up to its image data).
PictureFacts read_picture_facts(InputStream& stream);

// The date of an EXIF date text "YYYY:MM:DD HH:MM:SS"; nothing when it is not a real date.
std::optional<TakenDate> parse_exif_date(std::string_view text);
// A caption as it may be shown: from UTF-8 (else Latin-1) bytes, controls turned to blanks,
// blanks collapsed and trimmed, shortened; empty when it says nothing.
std::u16string clean_caption(std::string_view bytes);

// The facts kept in a picture's cache file; nothing when it has none (or cannot be read).
std::optional<PictureFacts> read_cached_facts(const std::u16string& cache_file);

}  // namespace vistrel
