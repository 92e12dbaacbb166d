#include "bench_pictures.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include <jpeglib.h>

#include "library/formats/picture_source.h"
#include "platform/text.h"

namespace vistrel::bench {

namespace {

using Rgb = RgbPicture;

// Starts libjpeg's decode of a JPEG in memory into RGB with the fast integer IDCT.
void start_decode(jpeg_decompress_struct& cinfo, jpeg_error_mgr& errors,
                  const std::vector<uint8_t>& jpeg) {
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_IFAST;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
}

// libjpeg's decode with the fast integer IDCT; each row goes to `row_for(y)`.
template <typename RowFor>
void decode_rows(const std::vector<uint8_t>& jpeg, int& width, int& height, RowFor row_for) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    start_decode(cinfo, errors, jpeg);
    width = int(cinfo.output_width);
    height = int(cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = row_for(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

Rgb decode(const std::vector<uint8_t>& jpeg) {
    Rgb out;
    decode_rows(jpeg, out.width, out.height, [&](int y) {
        if (out.pixels.empty()) out.pixels.resize(size_t(out.width) * out.height * 3);
        return &out.pixels[size_t(y) * out.width * 3];
    });
    return out;
}

// The JPEG quality of the pictures: 90, or $VISTREL_BENCH_QUALITY.
int picture_quality() {
    const char* text = std::getenv("VISTREL_BENCH_QUALITY");
    return text ? std::atoi(text) : 90;
}

std::vector<uint8_t> encode(const Rgb& picture) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = picture.width;
    cinfo.image_height = picture.height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, picture_quality(), TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<uint8_t*>(&picture.pixels[size_t(cinfo.next_scanline) * picture.width * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

Rgb source_scene() {
    const std::filesystem::path photo =
        std::filesystem::path(VISTREL_PHOTOS_DIR) / "orientation" / "Landscape_1.jpg";
    std::ifstream in(photo, std::ios::binary);
    if (in) {
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        Rgb picture = decode(bytes);
        if (picture.width > 0) return picture;
    }
    Rgb scene;
    scene.width = 1200;
    scene.height = 800;
    scene.pixels.resize(size_t(scene.width) * scene.height * 3);
    uint32_t noise = 1;
    for (int y = 0; y < scene.height; ++y)
        for (int x = 0; x < scene.width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28) - 8;
            uint8_t* p = &scene.pixels[(size_t(y) * scene.width + x) * 3];
            p[0] = uint8_t(std::clamp(int(128 + 100 * std::sin(x * 0.013) + grain), 0, 255));
            p[1] = uint8_t(std::clamp(int(128 + 100 * std::cos(y * 0.017) + grain), 0, 255));
            p[2] = uint8_t(std::clamp(int((x ^ y) & 0xFF) / 2 + 64 + grain, 0, 255));
        }
    return scene;
}

// Bilinear scaling to width x height.
Rgb scale(const Rgb& in, int width, int height) {
    Rgb out;
    out.width = width;
    out.height = height;
    out.pixels.resize(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const double fy = (y + 0.5) * in.height / height - 0.5;
        const int y0 = std::clamp(int(std::floor(fy)), 0, in.height - 1);
        const int y1 = std::min(y0 + 1, in.height - 1);
        const double wy = std::clamp(fy - y0, 0.0, 1.0);
        for (int x = 0; x < width; ++x) {
            const double fx = (x + 0.5) * in.width / width - 0.5;
            const int x0 = std::clamp(int(std::floor(fx)), 0, in.width - 1);
            const int x1 = std::min(x0 + 1, in.width - 1);
            const double wx = std::clamp(fx - x0, 0.0, 1.0);
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int xx, int yy) {
                    return double(in.pixels[(size_t(yy) * in.width + xx) * 3 + c]);
                };
                const double v = (at(x0, y0) * (1 - wx) + at(x1, y0) * wx) * (1 - wy) +
                                 (at(x0, y1) * (1 - wx) + at(x1, y1) * wx) * wy;
                out.pixels[(size_t(y) * width + x) * 3 + c] = uint8_t(v + 0.5);
            }
        }
    }
    return out;
}

}  // namespace

std::vector<uint8_t> large_picture(int megapixels) {
    static std::map<int, std::vector<uint8_t>> made;
    auto& bytes = made[megapixels];
    if (bytes.empty()) {
        const int height = int(std::sqrt(megapixels * 1e6 / 1.5));
        const int width = height * 3 / 2;
        bytes = encode(scene_pixels(width, height));
    }
    return bytes;
}

RgbPicture scale_picture(const RgbPicture& picture, int width, int height) {
    return scale(picture, width, height);
}

RgbPicture scene_pixels(int width, int height) {
    static const Rgb scene = source_scene();
    return scale(scene, width, height);
}

// A temporary folder for the run, removed with everything in it at exit.
class BenchFolder {
public:
    BenchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vistrel-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        m_path = pattern;
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

const BenchFolder& the_folder() {
    static const BenchFolder folder;
    return folder;
}

std::string bench_folder() {
    return the_folder().path().string();
}

std::vector<std::string> photo_files(const std::string& subfolder) {
    std::vector<std::string> files;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(VISTREL_PHOTOS_DIR) / subfolder;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().extension() == ".jpg") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string bench_file(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path file = the_folder().path() / name;
    if (!std::filesystem::exists(file)) {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    return file.string();
}

std::string large_picture_file(int megapixels) {
    return bench_file("picture-" + std::to_string(megapixels) + ".jpg", large_picture(megapixels));
}

RgbPicture decode_picture(const std::vector<uint8_t>& jpeg) {
    return decode(jpeg);
}

std::vector<uint8_t> cropped_decode(const std::vector<uint8_t>& jpeg, int x, int y, int width,
                                    int height) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    start_decode(cinfo, errors, jpeg);
    JDIMENSION first = JDIMENSION(x), count = JDIMENSION(width);
    jpeg_crop_scanline(&cinfo, &first, &count);
    jpeg_skip_scanlines(&cinfo, JDIMENSION(y));
    std::vector<uint8_t> row(size_t(count) * 3), out(size_t(width) * height * 3);
    for (int r = 0; r < height; ++r) {
        JSAMPROW rows = row.data();
        jpeg_read_scanlines(&cinfo, &rows, 1);
        std::copy_n(row.data() + size_t(x - int(first)) * 3, size_t(width) * 3,
                    out.data() + size_t(r) * width * 3);
    }
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

std::vector<uint8_t> encode_picture(const std::vector<uint8_t>& rgb, int width, int height) {
    Rgb picture;
    picture.width = width;
    picture.height = height;
    picture.pixels = rgb;
    return encode(picture);
}

std::vector<uint8_t> progressive_twin(const std::vector<uint8_t>& jpeg) {
    jpeg_decompress_struct in{};
    jpeg_compress_struct out{};
    jpeg_error_mgr in_errors, out_errors;
    in.err = jpeg_std_error(&in_errors);
    out.err = jpeg_std_error(&out_errors);
    jpeg_create_decompress(&in);
    jpeg_create_compress(&out);
    jpeg_mem_src(&in, jpeg.data(), jpeg.size());
    jpeg_read_header(&in, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&in);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&out, &buffer, &size);
    jpeg_copy_critical_parameters(&in, &out);
    jpeg_simple_progression(&out);
    jpeg_write_coefficients(&out, coefficients);
    jpeg_finish_compress(&out);
    jpeg_finish_decompress(&in);
    std::vector<uint8_t> result(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&out);
    jpeg_destroy_decompress(&in);
    return result;
}

void full_decode(const std::vector<uint8_t>& jpeg) {
    std::vector<uint8_t> row;
    int width = 0, height = 0;
    decode_rows(jpeg, width, height, [&](int) {
        row.resize(size_t(width) * 3);
        return row.data();
    });
}

void read_coefficients(const std::vector<uint8_t>& jpeg) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_read_coefficients(&cinfo);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

bool read_picture_rows(const std::string& file) {
    std::unique_ptr<PictureSource> source = open_picture_source(from_utf8(file));
    if (!source) return false;
    std::vector<uint8_t> row(size_t(source->width()) * 3);
    for (int y = 0; y < source->height(); ++y)
        if (!source->read_row(row.data())) return false;
    return true;
}

}  // namespace vistrel::bench
