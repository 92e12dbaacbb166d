#include "jpeg_samples.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>

#include <jpeglib.h>

namespace vistrel::test {

namespace {

struct TestErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void on_error(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<TestErrors*>(cinfo->err)->jump, 1);
}

void quiet(j_common_ptr, int) {}

void install(TestErrors& errors, j_common_ptr cinfo) {
    cinfo->err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = on_error;
    errors.pub.emit_message = quiet;
}

uint8_t clamp(int value) {
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

}  // namespace

std::vector<uint8_t> sample_pixels(const JpegOptions& o) {
    std::vector<uint8_t> pixels(size_t(o.width) * o.height * o.components);
    uint32_t noise = 12345u + uint32_t(o.pattern) * 7919u;
    size_t i = 0;
    for (int y = 0; y < o.height; ++y) {
        for (int x = 0; x < o.width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = o.smooth ? 0 : int(noise >> 27) - 16;
            const int wave = int(40 * std::sin((x + o.pattern * 13) * 0.11) *
                                 std::cos((y - o.pattern * 7) * 0.07));
            const int r = x * 255 / std::max(1, o.width - 1) + wave + grain;
            const int g = y * 255 / std::max(1, o.height - 1) - wave + grain;
            const int b = o.smooth ? 128 + wave : ((x / 9 + y / 7) % 2) * 160 + 40 + grain;
            if (o.components == 1) {
                pixels[i++] = clamp((r + g + b) / 3);
            } else {
                pixels[i++] = clamp(r);
                pixels[i++] = clamp(g);
                pixels[i++] = clamp(b);
            }
        }
    }
    return pixels;
}

// Compresses pixels of 1 or 3 components; `settings` adjusts the defaults.
std::vector<uint8_t> compress(const std::vector<uint8_t>& pixels, int width, int height,
                              int components,
                              const std::function<void(jpeg_compress_struct&)>& settings) {
    jpeg_compress_struct cinfo{};
    TestErrors errors;
    install(errors, reinterpret_cast<j_common_ptr>(&cinfo));
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space =
        components == 1 ? JCS_GRAYSCALE : (components == 4 ? JCS_CMYK : JCS_RGB);
    jpeg_set_defaults(&cinfo);
    settings(cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = size_t(width) * components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&pixels[cinfo.next_scanline * stride]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> make_jpeg(const JpegOptions& o) {
    return compress(sample_pixels(o), o.width, o.height, o.components,
                    [&](jpeg_compress_struct& cinfo) {
                        jpeg_set_quality(&cinfo, o.quality, TRUE);
                        if (o.components == 3) {
                            cinfo.comp_info[0].h_samp_factor = o.h;
                            cinfo.comp_info[0].v_samp_factor = o.v;
                        }
                        cinfo.restart_in_rows = o.restart_rows;
                        cinfo.restart_interval = static_cast<unsigned>(o.restart_mcus);
                        cinfo.optimize_coding = o.optimize ? TRUE : FALSE;
                        cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
                        if (o.progressive) jpeg_simple_progression(&cinfo);
                    });
}

std::vector<uint8_t> encode_rgb(const std::vector<uint8_t>& rgb, int width, int height,
                                int quality) {
    return compress(rgb, width, height, 3,
                    [&](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, quality, FALSE); });
}

std::vector<uint8_t> encode_pixels(const std::vector<uint8_t>& pixels, int width, int height,
                                   int components, bool progressive) {
    return compress(pixels, width, height, components, [&](jpeg_compress_struct& cinfo) {
        jpeg_set_quality(&cinfo, 90, TRUE);
        if (progressive) jpeg_simple_progression(&cinfo);
    });
}

std::vector<uint8_t> encode_cmyk(const std::vector<uint8_t>& cmyk, int width, int height,
                                 bool ycck, bool adobe, bool progressive) {
    return compress(cmyk, width, height, 4, [&](jpeg_compress_struct& cinfo) {
        jpeg_set_quality(&cinfo, 95, TRUE);
        if (ycck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
        cinfo.write_Adobe_marker = adobe || ycck ? TRUE : FALSE;
        if (progressive) jpeg_simple_progression(&cinfo);
    });
}

DecodedPicture decode_jpeg(const std::vector<uint8_t>& bytes, int scale) {
    DecodedPicture picture;
    jpeg_decompress_struct cinfo{};
    TestErrors errors;
    install(errors, reinterpret_cast<j_common_ptr>(&cinfo));
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return DecodedPicture{};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = scale;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    picture.width = cinfo.output_width;
    picture.height = cinfo.output_height;
    picture.rgb.resize(size_t(picture.width) * picture.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &picture.rgb[size_t(cinfo.output_scanline) * picture.width * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    picture.ok = true;
    return picture;
}

Coefficients read_coefficients(const std::vector<uint8_t>& bytes) {
    Coefficients result;
    jpeg_decompress_struct cinfo{};
    TestErrors errors;
    install(errors, reinterpret_cast<j_common_ptr>(&cinfo));
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return Coefficients{};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&cinfo);
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& info = cinfo.comp_info[c];
        result.width_in_blocks.push_back(int(info.width_in_blocks));
        result.height_in_blocks.push_back(int(info.height_in_blocks));
        std::vector<std::array<int16_t, 64>> blocks;
        for (JDIMENSION row = 0; row < info.height_in_blocks; ++row) {
            JBLOCKARRAY line = (*cinfo.mem->access_virt_barray)(
                reinterpret_cast<j_common_ptr>(&cinfo), arrays[c], row, 1, FALSE);
            for (JDIMENSION col = 0; col < info.width_in_blocks; ++col) {
                std::array<int16_t, 64> block{};
                for (int k = 0; k < 64; ++k)
                    block[k] = line[0][col][k];
                blocks.push_back(block);
            }
        }
        result.blocks.push_back(std::move(blocks));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    result.ok = true;
    return result;
}

std::vector<uint8_t> with_exif_orientation(const std::vector<uint8_t>& jpeg, int orientation,
                                           bool big_endian, bool app0_first) {
    auto u16 = [&](std::vector<uint8_t>& out, int value) {
        if (big_endian) {
            out.push_back(uint8_t(value >> 8));
            out.push_back(uint8_t(value));
        } else {
            out.push_back(uint8_t(value));
            out.push_back(uint8_t(value >> 8));
        }
    };
    std::vector<uint8_t> tiff;
    tiff.push_back(big_endian ? 'M' : 'I');
    tiff.push_back(big_endian ? 'M' : 'I');
    u16(tiff, 42);
    u16(tiff, big_endian ? 0 : 8);  // offset 8 as two 16-bit halves in file order
    u16(tiff, big_endian ? 8 : 0);
    u16(tiff, 2);  // entries
    // An entry before the orientation (image width), then the orientation: tag, type
    // SHORT, count 1, the value in the first half of the value field.
    for (const int tag_value : {256, 274}) {
        u16(tiff, tag_value);
        u16(tiff, 3);
        u16(tiff, big_endian ? 0 : 1);
        u16(tiff, big_endian ? 1 : 0);
        u16(tiff, tag_value == 256 ? 640 : orientation);
        u16(tiff, 0);
    }
    tiff.insert(tiff.end(), {0, 0, 0, 0});  // no next directory
    std::vector<uint8_t> segment{0xFF, 0xE1};
    const size_t length = 2 + 6 + tiff.size();
    segment.push_back(uint8_t(length >> 8));
    segment.push_back(uint8_t(length));
    segment.insert(segment.end(), {'E', 'x', 'i', 'f', 0, 0});
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    // libjpeg writes a JFIF APP0 first; keep or drop it as asked.
    const bool has_app0 = jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0;
    const size_t app0_end = has_app0 ? 4 + (size_t(jpeg[4]) << 8 | jpeg[5]) : 2;
    std::vector<uint8_t> out;
    out.reserve(jpeg.size() + segment.size());
    for (size_t i = 0; i < jpeg.size(); ++i) {
        if (i == (app0_first ? app0_end : 2)) out.insert(out.end(), segment.begin(), segment.end());
        if (i >= 2 && i < app0_end && !app0_first) continue;
        out.push_back(jpeg[i]);
    }
    return out;
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 / (sum / double(a.size())));
}

double mean_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 256;
    uint64_t sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += uint64_t(std::abs(int(a[i]) - int(b[i])));
    return double(sum) / double(a.size());
}

static void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
static void put32le(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A JPEG with the given segments (marker, payload) after its start of image.
std::vector<uint8_t> with_segments(const std::vector<std::pair<uint8_t, std::string>>& segments) {
    const std::vector<uint8_t> jpeg = make_jpeg({});
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    for (const auto& [marker, payload] : segments) {
        const size_t length = payload.size() + 2;
        out.insert(out.end(), {0xFF, marker, uint8_t(length >> 8), uint8_t(length)});
        out.insert(out.end(), payload.begin(), payload.end());
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// An EXIF payload (little-endian TIFF) with an image description and DateTimeOriginal.
std::string exif(const std::string& description, const std::string& taken) {
    std::vector<uint8_t> t = {'I', 'I', 42, 0};
    put32le(t, 8);
    // IFD0 at 8: two entries, then the next-directory link; the values follow.
    const uint32_t ifd0_end = 8 + 2 + 2 * 12 + 4;
    const uint32_t text_at = ifd0_end;
    const uint32_t exif_at = text_at + uint32_t(description.size()) + 1;
    put16(t, 2);
    put16(t, 0x010E);
    put16(t, 2);
    put32le(t, uint32_t(description.size()) + 1);
    put32le(t, text_at);
    put16(t, 0x8769);
    put16(t, 4);
    put32le(t, 1);
    put32le(t, exif_at);
    put32le(t, 0);
    t.insert(t.end(), description.begin(), description.end());
    t.push_back(0);
    // The EXIF directory: one entry.
    put16(t, 1);
    put16(t, 0x9003);
    put16(t, 2);
    put32le(t, uint32_t(taken.size()) + 1);
    put32le(t, exif_at + 2 + 12 + 4);
    put32le(t, 0);
    t.insert(t.end(), taken.begin(), taken.end());
    t.push_back(0);
    return std::string("Exif\0\0", 6) + std::string(t.begin(), t.end());
}

std::vector<uint8_t> ExifBlock::tiff() const {
    std::vector<uint8_t> out;
    auto u16 = [&](uint32_t v) {
        if (big_endian) {
            out.push_back(uint8_t(v >> 8));
            out.push_back(uint8_t(v));
        } else {
            out.push_back(uint8_t(v));
            out.push_back(uint8_t(v >> 8));
        }
    };
    auto u32 = [&](uint32_t v) {
        if (big_endian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    };
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
        u16(tag);
        u16(type);
        u32(1);
        if (type == 3) {
            u16(value);
            u16(0);
        } else {
            u32(value);
        }
    };
    const bool exif = picture_width > 0;
    const uint32_t first = 8;
    const uint32_t first_entries = exif ? 2 : 1;
    const uint32_t exif_at = first + 2 + 12 * first_entries + 4;
    const uint32_t second = exif_at + (exif ? 2 + 24 + 4 : 0);
    const uint32_t data = second + 2 + 36 + 4;
    out.push_back(big_endian ? 'M' : 'I');
    out.push_back(big_endian ? 'M' : 'I');
    u16(42);
    u32(first);
    u16(first_entries);
    entry(0x0112, 3, uint32_t(orientation));
    if (exif) entry(0x8769, 4, exif_at);
    u32(second_points_to_first ? first : second);
    if (exif) {
        u16(2);
        entry(0xA002, 4, uint32_t(picture_width));
        entry(0xA003, 4, uint32_t(picture_height));
        u32(0);
    }
    u16(3);
    entry(0x0103, 3, uint32_t(compression));
    entry(0x0201, 4, uint32_t(int64_t(data) + offset_change));
    entry(0x0202, 4, uint32_t(int64_t(thumbnail.size()) + length_change));
    u32(0);
    out.insert(out.end(), thumbnail.begin(), thumbnail.end());
    return out;
}

std::vector<uint8_t> ExifBlock::inserted(const std::vector<uint8_t>& jpeg) const {
    const std::vector<uint8_t> block = tiff();
    const size_t length = block.size() + 8;
    const uint8_t head[] = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length),
                            'E',  'x',  'i',  'f',  0,    0};
    // Laid out in a vector of the final size: GCC 12 warns, wrongly, of inserts into a
    // vector that started from a short constant list.
    std::vector<uint8_t> out(sizeof head + block.size() + jpeg.size() - 2);
    auto at = std::copy(std::begin(head), std::end(head), out.begin());
    at = std::copy(block.begin(), block.end(), at);
    std::copy(jpeg.begin() + 2, jpeg.end(), at);
    return out;
}

}  // namespace vistrel::test
