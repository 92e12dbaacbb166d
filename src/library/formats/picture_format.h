#pragma once
// What kind of picture a file holds, told by its first bytes, and which file names the
// search takes for pictures.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/file_stream.h"

namespace vistrel {

enum class PictureFormat : uint8_t { Unknown, Jpeg, Png, Gif, WebP, Tiff, JpegXl, Heif, Avif, Raw };

// Bytes of a file's start that picture_format looks at.
inline constexpr size_t kFormatProbeSize = 64;

// The format the first bytes of a file show. A TIFF-based camera RAW (DNG, NEF, ...) is
// told apart from a plain TIFF by `name`'s extension alone; CR3, RAF and ORF by their own marks.
PictureFormat picture_format(std::span<const uint8_t> start, std::u16string_view name = {});
// The same for the stream's start (the stream is left at its start).
PictureFormat picture_format(InputStream& input, std::u16string_view name = {});

// The format's name for people: "JPEG", "PNG", "HEIF"...
const char* format_name(PictureFormat format);

// Whether a file name ends in the extension of a picture format we read (without regard
// to letter case): the search and the folder listing take such files.
bool is_picture_name(std::u16string_view name);
// Whether it ends in ".jpg" or ".jpeg".
bool is_jpeg_name(std::u16string_view name);

}  // namespace vistrel
