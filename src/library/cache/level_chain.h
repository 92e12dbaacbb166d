#pragma once
// The halved levels of a picture, made as its rows go by: each level's rows are the 2 x 2
// means of the rows of the level above (the first level's may be given whole, by a decode
// at half scale), encoded as JPEG as soon as they are made.

#include <cstdint>
#include <memory>
#include <vector>

#include "library/colour/colour_transform.h"
#include "library/jpeg/jpeg_writer.h"
#include "platform/file_stream.h"

namespace vistrel {

// The picture itself kept as a JPEG beside its halved levels, written from the same rows.
struct FullCopy {
    OutputStream* output = nullptr;  // none: no copy
    int quality = 0;
};

// What the rows given to a chain are: the picture's own, or a decode of it at half scale
// (libjpeg's scaled inverse DCT, which rounds odd sizes up), which then are level 1 but
// for an odd last row and column.
enum class ChainRows { FullSize, HalfScale };

// The width of the rows a chain of a picture `width` pixels wide takes.
inline int chain_row_width(int width, ChainRows rows) {
    return rows == ChainRows::HalfScale ? (width + 1) / 2 : width;
}
// The number of those rows.
inline int chain_row_count(int height, ChainRows rows) {
    return rows == ChainRows::HalfScale ? (height + 1) / 2 : height;
}

// Each output pixel j is the rounded mean (a + b + c + d + 2) >> 2 of the pixels 2j and
// 2j + 1 of two rows, per channel; `out_width` pixels are made.
void average_rows(const uint8_t* even, const uint8_t* odd, uint8_t* out, int out_width);

class LevelChain {
public:
    // Levels 1..outputs.size() of a width x height picture, level k written to
    // outputs[k - 1] as a JPEG of `quality`. An odd last row or column is dropped. With
    // `colours` (an Rgb8 transform), the rows of level 1 are converted through it as they
    // are made, so every level is in sRGB while the picture's rows are not: a quarter of the
    // work of converting those. With `full`, every row is also encoded as it comes, at full
    // size, into the copy's output. With ChainRows::HalfScale the rows given are those of a
    // half-scale decode (chain_row_width x chain_row_count of them): level 1 is made of the
    // first width / 2 pixels of the first height / 2 of them, the further levels halved
    // from it as before; no copy is made then.
    LevelChain(int width, int height, const std::vector<OutputStream*>& outputs, int quality,
               std::shared_ptr<const ColourTransform> colours = nullptr, FullCopy full = {},
               ChainRows rows = ChainRows::FullSize);
    ~LevelChain();

    // False when a level would be empty or its writer could not start.
    bool ok() const { return m_ok; }
    // The next row given (3 bytes per pixel).
    bool add_row(const uint8_t* rgb);
    // Ends every level; false when one of them is short of rows or could not be written.
    bool finish();

private:
    struct Stage;
    bool add_row(size_t stage, const uint8_t* rgb);
    // A row of level 1 itself, from a half-scale decode.
    bool add_level_row(const uint8_t* rgb);

    std::vector<std::unique_ptr<Stage>> m_stages;
    std::shared_ptr<const ColourTransform> m_colours;
    std::unique_ptr<JpegWriter> m_full;
    ChainRows m_rows;
    bool m_ok = true;
};

}  // namespace vistrel
