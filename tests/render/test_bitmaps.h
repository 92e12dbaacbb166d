#pragma once
// Test inputs: bitmap files built byte by byte, and bitmaps whose pixels name their place.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/bitmap.h"

namespace vistrel::test {

struct BmpFields {
    int32_t width = 0;
    int32_t height = 0;  // negative: top-down
    uint16_t bits = 16;
    uint32_t offset = 54;  // pixel-data offset; the gap after the headers is filled with 0xEE
    // Stored rows in file order, each `row_bytes` long with its padding.
    std::vector<std::vector<uint8_t>> rows;
};

inline void put_le(std::string& s, size_t at, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s[at + i] = char((v >> (8 * i)) & 0xFF);
}

inline std::string bmp_bytes(const BmpFields& fields) {
    std::string s(54, '\0');
    s[0] = 'B';
    s[1] = 'M';
    put_le(s, 10, fields.offset, 4);
    put_le(s, 14, 40, 4);
    put_le(s, 18, uint32_t(fields.width), 4);
    put_le(s, 22, uint32_t(fields.height), 4);
    put_le(s, 26, 1, 2);
    put_le(s, 28, fields.bits, 2);
    if (fields.offset > 54) s.append(fields.offset - 54, char(0xEE));
    for (const auto& row : fields.rows)
        s.append(row.begin(), row.end());
    put_le(s, 2, s.size(), 4);
    return s;
}

// A stored row of 16-bit pixels padded to 4 bytes with `pad` bytes.
inline std::vector<uint8_t> bmp_row(const std::vector<uint16_t>& pixels, uint8_t pad = 0xAA) {
    std::vector<uint8_t> row;
    for (uint16_t p : pixels) {
        row.push_back(uint8_t(p));
        row.push_back(uint8_t(p >> 8));
    }
    while (row.size() % 4)
        row.push_back(pad);
    return row;
}

// A pixel value no coordinate bitmap holds: marks what was not drawn.
constexpr uint16_t kUndrawn = 0xFFFF;

// A bitmap whose pixel (x, y) holds y << 8 | x (so width and height up to 255).
inline std::unique_ptr<Bitmap> coordinates(int w, int h) {
    auto b = Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b->row(y)[x] = Pixel(y << 8 | x);
    return b;
}

}  // namespace vistrel::test
