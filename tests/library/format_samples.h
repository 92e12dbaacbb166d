#pragma once
// Pictures of every format we read, made by the tests through the formats' own libraries,
// each with the 8-bit RGBA pixels it should decode to.

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel::test {

struct FormatSample {
    std::vector<uint8_t> bytes;  // the file; empty when its encoder is not available
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // what it shows, 4 bytes a pixel, alpha not yet applied
    std::string skipped;        // why there is no file
};

// A smooth picture: red grows to the right, green downwards, blue constant; alpha (when
// asked) clear in the right third.
std::vector<uint8_t> pattern_rgba(int width, int height, bool alpha);

// A photo-like RGB picture: gradients under sharp edges and fine noise, which lossy
// encoders lose a little of and which takes a real photo's bytes per pixel.
std::vector<uint8_t> textured_rgb(int width, int height);

struct PngOptions {
    int width = 67;
    int height = 45;
    int colour_type = 2;  // PNG_COLOR_TYPE_*
    int bit_depth = 8;
    bool interlaced = false;
    bool transparency = false;  // a tRNS chunk (palette: the first 16 entries clear)
    std::vector<uint8_t> icc_profile;
};
FormatSample make_png(const PngOptions& options);

struct TiffOptions {
    int width = 70;
    int height = 50;
    int bits = 8;
    bool tiled = false;
    bool alpha = false;
    bool associated = false;  // colours stored multiplied by alpha
    bool soft_alpha = false;  // alpha of every level instead of clear or opaque
    bool grey = false;        // the red of the pattern as grey
    int orientation = 1;
    std::vector<uint8_t> icc_profile;
};
FormatSample make_tiff(const TiffOptions& options, const std::string& scratch_file);

struct WebPOptions {
    int width = 64;
    int height = 48;
    bool lossless = false;
    bool alpha = false;
    bool animated = false;  // two frames, the second one black
    std::vector<uint8_t> icc_profile;
};
FormatSample make_webp(const WebPOptions& options);

// A GIF of 256 colours (index = (x + 2 y) mod 256); `transparent` makes index 0 clear.
FormatSample make_gif(int width, int height, bool transparent, bool interlaced);

FormatSample make_jxl(int width, int height, bool alpha, bool sixteen_bits);

// HEIC (HEVC) or AVIF (AV1) through libheif's encoders; skipped when the encoder is missing.
FormatSample make_heif(int width, int height, bool avif);
// A HEIC of the same pattern with a thumbnail item of at most `side` pixels a side, made
// from `thumbnail` (RGB pixels of thumbnail_width x thumbnail_height) when given, else from
// the picture itself.
FormatSample make_heif_with_thumbnail(int width, int height, int side,
                                      const std::vector<uint8_t>& thumbnail = {},
                                      int thumbnail_width = 0, int thumbnail_height = 0);

// Writes the pixels of a picture laid over a background colour (0xRRGGBB), as RGB.
std::vector<uint8_t> flattened(const FormatSample& sample, uint32_t background);

}  // namespace vistrel::test

namespace vistrel::test {

// Any RGB picture as a file of `format` ("png", "webp", "tiff", "jxl", "heic"), at the
// settings a camera or an export would use; empty when the encoder fails or is missing.
// `scratch` is a file the TIFF is written through.
std::vector<uint8_t> encode_rgb_as(const std::string& format, const std::vector<uint8_t>& rgb,
                                   int width, int height, const std::string& scratch);

}  // namespace vistrel::test
