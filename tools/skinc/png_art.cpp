#include "skinc/png_art.h"

#include <png.h>

#include <vector>

namespace vistrel::skinc {

Pixel art_pixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    if (alpha == 0) return kColourKey;
    if (alpha == 255) return to_pixel(red, green, blue) | kOpaqueFlag;
    auto weigh = [alpha](uint8_t c) { return static_cast<uint8_t>((c * alpha + 127) / 255); };
    Pixel p = to_pixel(weigh(red), weigh(green), weigh(blue)) & ~kOpaqueFlag;
    if (p == kColourKey) p = kColourKey - 1;  // never transparent by accident
    return p;
}

std::unique_ptr<Bitmap> read_png_art(const std::string& path, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = path + ": " + image.message;
        return nullptr;
    }
    if (image.width < 1 || image.height < 1 || image.width > kMaxArtSide ||
        image.height > kMaxArtSide) {
        png_image_free(&image);
        error = path + ": picture size out of range";
        return nullptr;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return nullptr;
    }
    const int width = static_cast<int>(image.width);
    const int height = static_cast<int>(image.height);
    auto bitmap = Bitmap::create(width, height);
    if (!bitmap) {
        error = path + ": out of memory";
        return nullptr;
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = rgba.data() + static_cast<size_t>(y) * width * 4;
        Pixel* row = bitmap->row(y);
        for (int x = 0; x < width; ++x, src += 4)
            row[x] = art_pixel(src[0], src[1], src[2], src[3]);
    }
    return bitmap;
}

}  // namespace vistrel::skinc
