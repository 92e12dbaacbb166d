#pragma once
// JPEG pictures made by the tests themselves through libjpeg, and what libjpeg reads back
// from them, to check our own code against.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::test {

struct JpegOptions {
    int width = 64;
    int height = 48;
    int components = 3;  // 1 or 3
    int h = 2, v = 2;    // sampling of the first component
    int quality = 90;
    int restart_rows = 0;  // restart interval in MCU rows, or
    int restart_mcus = 0;  // in MCUs
    bool progressive = false;
    bool arithmetic = false;
    bool optimize = false;  // Huffman tables made for the picture
    int pattern = 0;        // which content: gradients and noise of different sorts
    bool smooth = false;    // gradients and waves only, no grain or sharp edges
};

// RGB (or grey) pixels of the content, row by row.
std::vector<uint8_t> sample_pixels(const JpegOptions& options);
std::vector<uint8_t> make_jpeg(const JpegOptions& options);
// Encodes given pixels (3 bytes per pixel) with default settings.
std::vector<uint8_t> encode_rgb(const std::vector<uint8_t>& rgb, int width, int height,
                                int quality);

// Encodes grey (1 byte) or RGB (3 bytes) pixels at quality 90, progressive when asked.
std::vector<uint8_t> encode_pixels(const std::vector<uint8_t>& pixels, int width, int height,
                                   int components, bool progressive);

// Encodes CMYK pixels (4 bytes each, as stored) at quality 95: as YCCK when `ycck`, with an
// Adobe marker when `adobe` (YCCK always has one).
std::vector<uint8_t> encode_cmyk(const std::vector<uint8_t>& cmyk, int width, int height,
                                 bool ycck, bool adobe, bool progressive = false);

struct DecodedPicture {
    bool ok = false;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};
// libjpeg's decode at 1/`scale` into RGB with the fast integer inverse DCT.
DecodedPicture decode_jpeg(const std::vector<uint8_t>& bytes, int scale = 1);

// Quantised coefficients as libjpeg reads them: per component, blocks row by row, each in
// natural order.
struct Coefficients {
    bool ok = false;
    std::vector<int> width_in_blocks;
    std::vector<int> height_in_blocks;
    std::vector<std::vector<std::array<int16_t, 64>>> blocks;
};
Coefficients read_coefficients(const std::vector<uint8_t>& bytes);

// A copy of a JPEG with an APP1 EXIF segment holding the orientation tag inserted after
// the start of image (after an APP0 segment too when `app0_first`).
std::vector<uint8_t> with_exif_orientation(const std::vector<uint8_t>& jpeg, int orientation,
                                           bool big_endian, bool app0_first = false);

std::vector<uint8_t> read_bytes(const std::string& path);
void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Peak signal-to-noise ratio of two equally sized byte images, in dB.
double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
// Mean absolute difference per byte of two equally sized byte images; 256 when they differ
// in size or are empty.
double mean_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// A small JPEG with the given segments (marker, payload) after its start of image.
std::vector<uint8_t> with_segments(const std::vector<std::pair<uint8_t, std::string>>& segments);
// An APP1 EXIF payload (little-endian) holding an ImageDescription and a DateTimeOriginal.
std::string exif(const std::string& description, const std::string& taken);


// An EXIF block written field by field: the first directory (orientation, a pointer to
// the EXIF directory with the picture's size), the second (the thumbnail), the thumbnail.
struct ExifBlock {
    bool big_endian = false;
    int orientation = 1;
    int picture_width = 0;  // 0: no EXIF directory
    int picture_height = 0;
    std::vector<uint8_t> thumbnail;
    int compression = 6;
    int64_t length_change = 0;  // added to the stored thumbnail length
    int64_t offset_change = 0;  // added to the stored thumbnail offset
    bool second_points_to_first = false;

    // The TIFF structure: header, directories and thumbnail.
    std::vector<uint8_t> tiff() const;
    // `jpeg` with this block as its first segment.
    std::vector<uint8_t> inserted(const std::vector<uint8_t>& jpeg) const;
};

}  // namespace vistrel::test
