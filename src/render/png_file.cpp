// The one file that talks to libpng. Its error handling jumps back with longjmp, so the
// encoding function below keeps no object with a destructor alive across setjmp.

#include "render/png_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "platform/paths.h"
#include "platform/text.h"

namespace vistrel {
namespace {

void expand_row(const Pixel* src, int width, uint8_t* out) {
    for (int x = 0; x < width; ++x) {
        out[3 * x + 0] = red8(src[x]);
        out[3 * x + 1] = green8(src[x]);
        out[3 * x + 2] = blue8(src[x]);
    }
}

// Plain C from here on: `row` is owned by the caller.
bool encode(const Bitmap& bitmap, FILE* file, uint8_t* row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(bitmap.width()), png_uint_32(bitmap.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < bitmap.height(); ++y) {
        expand_row(bitmap.row(y), bitmap.width(), row);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool write_png(const Bitmap& bitmap, const std::u16string& path) {
    if (bitmap.width() < 1 || bitmap.height() < 1) return false;
    if (bitmap.width() > kMaxPngSide || bitmap.height() > kMaxPngSide) return false;
    const std::u16string expanded = expand_path(path);
    const std::string name = to_utf8(expanded);
    std::vector<uint8_t> row(size_t(bitmap.width()) * 3);
    FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) return false;
    bool ok = encode(bitmap, file, row.data());
    ok = std::fclose(file) == 0 && ok;
    if (!ok) delete_file(expanded);
    return ok;
}

}  // namespace vistrel
