// The ICC path: any bytes as a JPEG whose APP2 chunks are put together into a profile that
// converts its rows, and the same bytes as a profile of their own for every kind of pixels.
// A profile is used or refused, never a crash, a hang or a read out of bounds.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "library/colour/colour_transform.h"
#include "library/jpeg/jpeg_reader.h"

namespace {

using namespace vistrel;

constexpr int64_t kMaxPixels = 1 << 16;

void convert_some(const ColourTransform& transform) {
    uint8_t in[8 * 16], out[4 * 16];
    for (size_t i = 0; i < sizeof in; ++i)
        in[i] = uint8_t(i * 37);
    transform.convert(in, out, 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    {
        MemoryStream input(bytes);
        JpegReader reader(input, bytes.size());
        if (reader.ok() && int64_t(reader.width()) * reader.height() <= kMaxPixels &&
            reader.start()) {
            std::vector<uint8_t> row(3 * size_t(reader.output_width()));
            while (reader.read_row(row.data())) {
            }
        }
    }
    for (const PixelLayout layout : {PixelLayout::Rgb8, PixelLayout::Rgba16, PixelLayout::Gray8,
                                     PixelLayout::GrayAlpha8, PixelLayout::InvertedCmyk8})
        if (const auto transform = ColourTransform::from_icc(std::span(bytes), layout))
            convert_some(*transform);
    return 0;
}
