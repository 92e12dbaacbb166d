#pragma once
// ICC profiles made by the tests themselves through lcms2, and JPEGs that carry them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistrel::test {

// An RGB profile whose red is sRGB's green and whose green is sRGB's red (blue, white and
// the sRGB curve as sRGB's): converted, red pixels become green and green ones red.
std::vector<uint8_t> swapped_profile();
// lcms2's own sRGB profile.
std::vector<uint8_t> srgb_profile();
// Adobe RGB (1998): its primaries, D65 and the gamma 563/256.
std::vector<uint8_t> adobe_rgb_profile();
// ProPhoto RGB: its primaries, white D50 and the gamma 1.8.
std::vector<uint8_t> prophoto_profile();
// A grey profile with a linear curve: stored 128 is half the light, sRGB 188.
std::vector<uint8_t> linear_grey_profile();
// A CMYK printer profile whose cyan ink absorbs green instead of red, so cyan ink shows
// magenta; the other inks and black as the plain formula has them. Its table has
// `grid` points per ink.
std::vector<uint8_t> odd_cyan_cmyk_profile(int grid = 9);
// A device link, which describes no picture's colours.
std::vector<uint8_t> device_link_profile();

// 8-bit RGB pixels converted into sRGB by lcms2 itself (relative colorimetric, black-point
// compensation), to check our conversions against.
std::vector<uint8_t> lcms_srgb(const std::vector<uint8_t>& profile,
                               const std::vector<uint8_t>& rgb);

// The JPEG with `profile` as APP2 "ICC_PROFILE" segments after its start of image, cut into
// chunks of at most `chunk` bytes (numbered 1..n in that order).
std::vector<uint8_t> with_icc_profile(const std::vector<uint8_t>& jpeg,
                                      const std::vector<uint8_t>& profile, size_t chunk = 65519);
// One APP2 segment payload (without the marker and length) holding an ICC chunk.
std::vector<uint8_t> icc_segment(int number, int count, const std::vector<uint8_t>& data);

}  // namespace vistrel::test
