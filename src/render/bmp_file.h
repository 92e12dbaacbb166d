#pragma once
// 16-bit bitmap files whose pixels are already RGB565.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_stream.h"
#include "render/bitmap.h"

namespace vistrel {

// The largest picture read_bmp_565 accepts, in pixels.
inline constexpr int64_t kMaxBmpPixels = 64'000'000;
// A file that ends early may lack up to half of its pixel data, or all of it when its rows
// take no more than this many bytes: the bitmap made never takes much more memory than the
// file holds.
inline constexpr uint64_t kSmallBmpBytes = 64 * 1024;

// Reads a 16-bit bitmap file from `reader`: bottom-up for a positive height, top-down for
// a negative one, pixels taken as RGB565 whatever masks the file names. Nothing when the
// bit count is not 16, the size is empty or larger than kMaxBmpPixels, the pixel data
// starts inside the headers or beyond the end, the file holds less than half of the pixel
// data its size needs (beyond kSmallBmpBytes), or memory runs out. Rows missing from a
// file that ends early are black.
std::unique_ptr<Bitmap> read_bmp_565(InputStream& reader);

// Writes a bottom-up 16-bit file with the RGB565 bit-field masks.
bool write_bmp_565(const Bitmap& bitmap, OutputStream& out);
// The same into a file (path macros expanded); a failed write removes the partial file.
bool write_bmp_565(const Bitmap& bitmap, const std::u16string& path);

}  // namespace vistrel
