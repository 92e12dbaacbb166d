#pragma once
// The resuming half of our decoder: the pixels of any rectangle of a level, decoded from
// the level's resume records. For each MCU row the rectangle covers, it takes the record
// at or before the rectangle's first MCU, rebuilds the bit buffer from the bytes before
// the record's position, and decodes only that row's MCUs up to the rectangle's last
// one; the coefficients then go through our dequantisation, inverse DCT, chroma
// upsampling and colour conversion into RGB565 pixels.
//
// The chroma of the MCUs around the rectangle is decoded too, as the upsampling filters
// reach one chroma sample beyond it, so rectangles side by side join without seams and
// match a decode of the whole level.

#include <cstdint>
#include <memory>
#include <vector>

#include "library/colour/colour_transform.h"
#include "library/jpeg/chroma_upsampling.h"
#include "library/jpeg/entropy_decoder.h"
#include "library/jpeg/fast_idct.h"
#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/level_records.h"
#include "platform/file_stream.h"
#include "render/geometry.h"
#include "render/pixel.h"

namespace vistrel {

// Where a level's bytes are: [start, end) of a stream, the JPEG from its start of image.
struct LevelBytes {
    InputStream* stream = nullptr;
    uint64_t start = 0;
    uint64_t end = 0;
};

class RegionDecoder {
public:
    // Prepares for a level of this layout; false when our decoder does not follow it. The
    // layout must outlive the decoder's use.
    bool init(const JpegLayout& layout);

    // Decodes the pixels of `region` (inside the level) into rows of `pitch` bytes at `out`.
    // False when the records or the data turn out damaged or a read fails; `out` may then
    // hold part of the region.
    bool decode(const LevelRecords& records, const LevelBytes& level, const Rect& region,
                Pixel* out, int pitch);

    // Pixels go through `transform` (into sRGB) before they become RGB565: Gray8 for a grey
    // level, Rgb8 for a colour one. Null (the default): as decoded.
    void set_colour_transform(std::shared_ptr<const ColourTransform> transform);

    // Bytes held: the decoding tables and the buffers of the last region, which do not
    // grow with the level.
    size_t held_bytes() const;

private:
    // A component's samples for the MCUs decoded, row by row.
    struct Plane {
        std::vector<uint8_t> samples;
        int width = 0;   // samples per row
        int column = 0;  // component column of the first sample
        int row = 0;     // component row of the first row
        const uint8_t* at(int component_row) const {
            return samples.data() + size_t(component_row - row) * size_t(width);
        }
    };
    // The MCUs a region needs: the luminance ones, and the wider range its chroma reaches.
    struct McuSpan {
        int luma_first_column, luma_last_column, luma_first_row, luma_last_row;
        int first_column, last_column, first_row, last_row;
    };

    McuSpan span_of(const Rect& region) const;
    bool decode_row(const LevelRecords& records, const LevelBytes& level, const McuSpan& span,
                    int mcu_row);
    // Grey samples for an MCU row a picture cut short does not hold.
    void fill_missing_row(const McuSpan& span, int mcu_row);
    // Transforms the blocks of one MCU into the planes; its luminance only when `luma`.
    void place_blocks(int mcu_column, int mcu_row, bool luma);
    void convert(const Rect& region, Pixel* out, int pitch);

    const JpegLayout* m_layout = nullptr;
    EntropyDecoder m_entropy;
    std::vector<FastIdct> m_idct;  // per component
    int m_h = 1;                   // luminance sampling factors (chroma is 1 x 1)
    int m_v = 1;
    int m_chroma_width = 0;  // real chroma size in samples
    int m_chroma_height = 0;
    std::vector<CoefficientBlock> m_blocks;
    std::vector<Plane> m_planes;  // per component
    std::vector<uint8_t> m_buffer;
    ChromaUpsampler m_upsampler;
    std::vector<uint8_t> m_upsampled;  // Cb and Cr of one output row
    std::shared_ptr<const ColourTransform> m_transform;
    std::vector<uint8_t> m_rgb;  // one output row before its colours are converted
};

}  // namespace vistrel
