#pragma once
// Large pictures for the benchmarks, made at run time: a real photo scaled up when the
// photo folder is there, else a synthesised scene.

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel::bench {

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // 3 bytes per pixel, row by row
};

// A baseline JPEG (2 x 2 sampling, quality 90) of about `megapixels`, 3:2 landscape.
std::vector<uint8_t> large_picture(int megapixels);
// The pixels of the same scene at any size.
RgbPicture scene_pixels(int width, int height);
// A picture scaled bilinearly to width x height.
RgbPicture scale_picture(const RgbPicture& picture, int width, int height);
// The same written to a file in a temporary folder; returns its path.
std::string large_picture_file(int megapixels);
// Bytes written to a file of that name in the same folder (once); returns its path.
std::string bench_file(const std::string& name, const std::vector<uint8_t>& bytes);

// The JPEG files of a folder of the real photos, sorted; empty without the photos.
std::vector<std::string> photo_files(const std::string& subfolder);
// The folder the benchmark files are written to.
std::string bench_folder();

// libjpeg-turbo's decode with the fast integer IDCT.
RgbPicture decode_picture(const std::vector<uint8_t>& jpeg);

// The same picture losslessly in progressive form (libjpeg's simple progression).
std::vector<uint8_t> progressive_twin(const std::vector<uint8_t>& jpeg);

// libjpeg-turbo's plain full decode with the fast integer IDCT, rows into one buffer.
void full_decode(const std::vector<uint8_t>& jpeg);

// Reads every row of a picture of any format through its reader; false when it fails.
bool read_picture_rows(const std::string& file);
// libjpeg-turbo's entropy decoding alone: every scan read as coefficients.
void read_coefficients(const std::vector<uint8_t>& jpeg);

// libjpeg-turbo's decode of the region [x, x + width) x [y, y + height) alone, with the
// fast integer IDCT: jpeg_crop_scanline to the region's columns, jpeg_skip_scanlines to its
// first row. Returns the region's RGB pixels.
std::vector<uint8_t> cropped_decode(const std::vector<uint8_t>& jpeg, int x, int y, int width,
                                    int height);

// A baseline JPEG (2 x 2 sampling) of RGB pixels, at the benchmark pictures' quality.
std::vector<uint8_t> encode_picture(const std::vector<uint8_t>& rgb, int width, int height);

}  // namespace vistrel::bench
