#include "raw_samples.h"

#include <tiffio.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace vistrel::test {

namespace {

constexpr uint32_t kWhite = 4095;  // 12-bit data, as many sensors give
constexpr uint16_t kLinearRaw = 34892;  // the photometric interpretation of a linear DNG

void set_camera(TIFF* tiff, const DngOptions& o) {
    static const uint8_t version[4] = {1, 4, 0, 0};
    TIFFSetField(tiff, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tiff, TIFFTAG_MAKE, "Vistrel");
    TIFFSetField(tiff, TIFFTAG_MODEL, "Test Sensor");
    TIFFSetField(tiff, TIFFTAG_UNIQUECAMERAMODEL, "Vistrel Test Sensor");
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(o.orientation));
}

bool write_preview(TIFF* tiff, const DngOptions& o) {
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_REDUCEDIMAGE));
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(o.preview_width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(o.preview_height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(o.preview_height));
    const uint64_t sub_directory = 0;
    TIFFSetField(tiff, TIFFTAG_SUBIFD, 1, &sub_directory);
    set_camera(tiff, o);
    // The preview's JPEG as it is: the strip is the whole file.
    std::vector<uint8_t> jpeg = o.preview;
    if (TIFFWriteRawStrip(tiff, 0, jpeg.data(), tmsize_t(jpeg.size())) < 0) return false;
    return TIFFWriteDirectory(tiff) != 0;
}

bool write_raw(TIFF* tiff, const DngOptions& o) {
    const int samples = o.linear ? 3 : 1;
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, uint32_t(0));
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(o.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(o.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(16));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, o.linear ? kLinearRaw : PHOTOMETRIC_CFA);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(8));
    if (!o.linear) {
        static const uint16_t dimensions[2] = {2, 2};
        static const uint8_t pattern[4] = {0, 1, 1, 2};  // red, green / green, blue
        TIFFSetField(tiff, TIFFTAG_CFAREPEATPATTERNDIM, dimensions);
        TIFFSetField(tiff, TIFFTAG_CFAPATTERN, 4, pattern);
    }
    const uint32_t white[3] = {kWhite, kWhite, kWhite};
    TIFFSetField(tiff, TIFFTAG_WHITELEVEL, samples, white);
    if (o.preview.empty()) set_camera(tiff, o);
    std::vector<uint16_t> row(size_t(o.width) * size_t(samples));
    for (int y = 0; y < o.height; ++y) {
        for (int x = 0; x < o.width; ++x) {
            double rgb[3];
            dng_scene(x, y, o.width, o.height, rgb);
            if (o.linear) {
                for (int c = 0; c < 3; ++c)
                    row[size_t(x) * 3 + size_t(c)] = uint16_t(rgb[c] * kWhite + 0.5);
            } else {
                const int colour = (y & 1) == 0 ? ((x & 1) == 0 ? 0 : 1) : ((x & 1) == 0 ? 1 : 2);
                row[size_t(x)] = uint16_t(rgb[colour] * kWhite + 0.5);
            }
        }
        if (TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) < 0) return false;
    }
    return TIFFWriteDirectory(tiff) != 0;
}

}  // namespace

void dng_scene(int x, int y, int width, int height, double rgb[3]) {
    const double light = 0.25 + 0.5 * y / std::max(1, height - 1);
    const bool left = x < width / 2;
    rgb[0] = left ? light : 0.03;
    rgb[1] = 0.05;
    rgb[2] = left ? 0.03 : light;
}

std::vector<uint8_t> make_dng(const DngOptions& o, const std::string& scratch) {
    TIFF* tiff = TIFFOpen(scratch.c_str(), "w");
    if (!tiff) return {};
    bool ok = true;
    if (!o.preview.empty()) ok = write_preview(tiff, o);
    ok = ok && write_raw(tiff, o);
    TIFFClose(tiff);
    if (!ok) return {};
    std::ifstream in(scratch, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace vistrel::test
