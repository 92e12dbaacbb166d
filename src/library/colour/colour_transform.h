#pragma once
// Converting decoded pixels into the screen's sRGB. A transform is made from what a picture
// says about its colours (an ICC profile, or primaries and a transfer curve) and turns rows
// of the picture's pixels into 8-bit sRGB, with relative colorimetric intent and black-point
// compensation.
//
// No transform (null) means "take the pixels as sRGB as they are": the picture says nothing
// usable, or it is sRGB already, so such pictures cost nothing. Every refusal writes a trace
// line saying why. Profiles come from outside: a damaged one is refused, never trusted.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vistrel {

// The pixels a transform takes in, channels interleaved. 16-bit samples use the whole range
// 0..65535 in the machine's own byte order. Inverted CMYK stores 255 - ink (the CMYK of
// JPEGs with an Adobe marker).
enum class PixelLayout : uint8_t {
    Gray8,
    GrayAlpha8,
    Rgb8,
    Rgba8,
    Gray16,
    GrayAlpha16,
    Rgb16,
    Rgba16,
    Cmyk8,
    InvertedCmyk8,
};

int bytes_per_pixel(PixelLayout layout);
bool has_alpha(PixelLayout layout);

// The chromaticity (CIE 1931 x, y) of a colour.
struct Chromaticity {
    double x = 0;
    double y = 0;
};

// Where a picture's red, green and blue lie, and its white.
struct Primaries {
    Chromaticity white;
    Chromaticity red;
    Chromaticity green;
    Chromaticity blue;
};

// sRGB's own (those of BT.709, white D65).
inline constexpr Primaries kSrgbPrimaries{
    {0.3127, 0.3290}, {0.640, 0.330}, {0.300, 0.600}, {0.150, 0.060}};

// How stored values become linear light.
enum class TransferKind : uint8_t {
    Srgb,   // the sRGB curve
    Gamma,  // linear = value ^ exponent
    Pq,     // SMPTE ST 2084; 203 cd/m2 becomes white, brighter is clipped
    Hlg,    // ARIB STD-B67 on a 1000 cd/m2 display; its reference white becomes white
};

struct TransferCurve {
    TransferKind kind = TransferKind::Srgb;
    double exponent = 1;  // for Gamma
};

// A picture's colours told by numbers instead of a profile (PNG's gAMA and cHRM, HEIF's nclx).
struct ColourDescription {
    Primaries primaries = kSrgbPrimaries;
    TransferCurve transfer;
};

// What a profile says of itself, for people.
struct IccProfileInfo {
    bool readable = false;     // false: damaged, nothing else is known
    std::string description;   // its own name for itself, in English where it has one
    std::string colour_space;  // "RGB", "grey", "CMYK" or another
    std::string device_class;  // "display", "input", "output", "colour space" or another
    bool srgb = false;         // it describes sRGB (an RGB or grey profile converting to itself)
};
IccProfileInfo describe_icc_profile(std::span<const uint8_t> profile);

class ColourTransform {
public:
    // From the bytes of an ICC profile. Null when the profile is damaged or cannot be used
    // as a source (a device link, say), when its colour space does not fit `input` (a grey
    // profile for RGB pixels), or when it is sRGB already.
    static std::unique_ptr<ColourTransform> from_icc(std::span<const uint8_t> profile,
                                                     PixelLayout input);
    // The same, shared: the last few profiles seen are remembered with their transforms
    // (or their refusal), so the pictures of one camera pay for making it once. Making one
    // takes milliseconds; looking one up costs a pass over the profile's bytes.
    static std::shared_ptr<const ColourTransform> shared_from_icc(std::span<const uint8_t> profile,
                                                                  PixelLayout input);
    // From primaries and a transfer curve. Null when they make no sense (a white or a
    // primary outside the diagram, primaries on one line), when `input` is CMYK, or when
    // they are sRGB's.
    static std::unique_ptr<ColourTransform> from_description(const ColourDescription& description,
                                                             PixelLayout input);

    ~ColourTransform();
    ColourTransform(const ColourTransform&) = delete;
    ColourTransform& operator=(const ColourTransform&) = delete;

    PixelLayout input() const { return m_input; }
    // Bytes per output pixel: 4 (RGBA, alpha kept) for inputs with alpha, else 3 (RGB).
    int output_channels() const { return has_alpha(m_input) ? 4 : 3; }
    // Converts `count` pixels of the input layout into 8-bit sRGB. `in` and `out` may be the
    // same buffer when the input is Rgb8 or Rgba8. Several threads may convert at once.
    void convert(const void* in, uint8_t* out, size_t count) const;

private:
    struct Lcms;
    ColourTransform(std::unique_ptr<Lcms> lcms, PixelLayout input);

    std::unique_ptr<Lcms> m_lcms;
    PixelLayout m_input;
};

}  // namespace vistrel
