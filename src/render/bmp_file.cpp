#include "render/bmp_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/paths.h"

namespace vistrel {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kMasksSize = 12;

uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

// Bytes of one stored row of `width` 16-bit pixels, padded to a multiple of 4.
int64_t stored_row_bytes(int64_t width) {
    return (16 * width + 31) / 32 * 4;
}

}  // namespace

std::unique_ptr<Bitmap> read_bmp_565(InputStream& reader) {
    uint8_t file_header[kFileHeaderSize] = {};
    uint8_t info[kInfoHeaderSize] = {};
    const size_t delivered =
        reader.read(file_header, sizeof file_header) + reader.read(info, sizeof info);
    if (le16(info + 14) != 16) return nullptr;

    const int32_t width = int32_t(le32(info + 4));
    const int32_t height = int32_t(le32(info + 8));
    if (width < 1 || height == 0 || height == INT32_MIN) return nullptr;
    const int rows = height < 0 ? -height : height;
    if (int64_t(width) * rows > kMaxBmpPixels) return nullptr;

    // The pixel data may not start inside the headers, nor beyond the end of the file.
    const uint32_t offset = le32(file_header + 10);
    if (offset < delivered) return nullptr;
    const size_t gap = offset - delivered;
    if (reader.skip(gap) != gap) return nullptr;

    // The bitmap is made only for pixel data the file holds: a header may claim any size.
    const uint64_t stored = uint64_t(stored_row_bytes(width)) * uint64_t(rows);
    const uint64_t size = reader.size();
    const uint64_t position = reader.position();
    const uint64_t held = size > position ? size - position : 0;
    if (stored > kSmallBmpBytes && held < stored / 2) return nullptr;

    std::unique_ptr<Bitmap> bitmap = Bitmap::create(width, rows);
    if (!bitmap) return nullptr;

    const size_t row_bytes = size_t(2) * size_t(width);
    const size_t padding = size_t(stored_row_bytes(width)) - row_bytes;
    bool ended = false;
    for (int i = 0; i < rows; ++i) {
        auto* row = reinterpret_cast<uint8_t*>(bitmap->row(height < 0 ? i : rows - 1 - i));
        size_t got = 0;
        if (!ended) {
            got = reader.read(row, row_bytes);
            if (got < row_bytes || reader.skip(padding) != padding) ended = true;
        }
        // Rows (and the pitch padding) the file does not supply are black.
        std::memset(row + got, 0, size_t(bitmap->pitch()) - got);
    }
    return bitmap;
}

bool write_bmp_565(const Bitmap& bitmap, OutputStream& out) {
    const int width = bitmap.width();
    const int height = bitmap.height();
    if (width < 1 || height < 1) return false;
    const size_t stored = size_t(stored_row_bytes(width));
    const size_t row_bytes = size_t(2) * size_t(width);
    const uint32_t offset = kFileHeaderSize + kInfoHeaderSize + kMasksSize;
    const uint64_t image_bytes = uint64_t(stored) * uint64_t(height);
    if (offset + image_bytes > UINT32_MAX) return false;

    uint8_t header[kFileHeaderSize + kInfoHeaderSize + kMasksSize] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, uint32_t(offset + image_bytes));
    put32(header + 10, offset);
    uint8_t* info = header + kFileHeaderSize;
    put32(info + 0, kInfoHeaderSize);
    put32(info + 4, uint32_t(width));
    put32(info + 8, uint32_t(height));  // positive: bottom row first
    put16(info + 12, 1);                // planes
    put16(info + 14, 16);               // bits per pixel
    put32(info + 16, 3);                // compression: bit fields
    put32(info + 20, uint32_t(image_bytes));
    put32(info + 24, 2835);  // 72 dots per inch, in dots per metre
    put32(info + 28, 2835);
    uint8_t* masks = info + kInfoHeaderSize;
    put32(masks + 0, 0xF800);
    put32(masks + 4, 0x07E0);
    put32(masks + 8, 0x001F);
    if (out.write(header, sizeof header) != sizeof header) return false;

    std::vector<uint8_t> row(stored, 0);
    for (int y = height - 1; y >= 0; --y) {
        std::memcpy(row.data(), bitmap.row(y), row_bytes);
        if (out.write(row.data(), stored) != stored) return false;
    }
    return true;
}

bool write_bmp_565(const Bitmap& bitmap, const std::u16string& path) {
    bool ok = false;
    {
        FileStream file(path, OpenMode::Write);
        if (!file.is_open()) return false;
        ok = write_bmp_565(bitmap, file);
    }
    if (!ok) delete_file(path);
    return ok;
}

}  // namespace vistrel
