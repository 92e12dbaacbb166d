#pragma once
// Colour transforms from what PNG and HEIF pictures say about their colours when they carry
// numbers rather than (or besides) an ICC profile.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "library/colour/colour_transform.h"

namespace vistrel {

// PNG's colour chunks as libpng hands them over; each may be absent.
struct PngColourChunks {
    std::span<const uint8_t> icc_profile;  // iCCP, inflated; empty when none
    bool srgb = false;                     // an sRGB chunk
    uint32_t gamma = 0;                    // gAMA: the file gamma times 100000; 0 when none
    bool has_chromaticities = false;       // cHRM
    // cHRM times 100000: white x, y, red x, y, green x, y, blue x, y.
    std::array<uint32_t, 8> chromaticities{};
};

// The transform a PNG's chunks ask for: its ICC profile when that is usable, else nothing
// for an sRGB chunk, else its gamma and chromaticities (either may stand alone: the other
// is then sRGB's). A gamma near 1/2.2 with sRGB's primaries, or none, is taken as sRGB:
// that is what writers of it mean. Null when nothing needs converting.
std::unique_ptr<ColourTransform> png_colour_transform(const PngColourChunks& chunks,
                                                      PixelLayout input);
// The description behind the gamma and chromaticities alone; nothing when they are absent,
// make no sense, or say sRGB.
std::optional<ColourDescription> png_colour_description(const PngColourChunks& chunks);

// The transform for HEIF's nclx colour box (ITU-T H.273 code points); the matrix and range
// are the decoder's business, which hands over RGB. Unspecified primaries are BT.709's and
// an unspecified transfer is sRGB's. Null when nothing needs converting or a code point is
// one we do not know.
std::unique_ptr<ColourTransform> nclx_colour_transform(int colour_primaries,
                                                       int transfer_characteristics,
                                                       PixelLayout input);
// The description behind it; nothing when it is sRGB or not known.
std::optional<ColourDescription> nclx_colour_description(int colour_primaries,
                                                         int transfer_characteristics);

}  // namespace vistrel
