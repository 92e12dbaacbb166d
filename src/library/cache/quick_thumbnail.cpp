#include "library/cache/quick_thumbnail.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "library/jpeg/exif_thumbnail.h"
#include "library/jpeg/orientation.h"
#include "render/bitmap.h"

namespace vistrel {

namespace {

// Larger EXIF thumbnails than this are damaged or not thumbnails.
constexpr int kMaxExifSide = 1024;

// Decoded RGB rows.
struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Decodes a whole JPEG at 1/`scale`; false when it fails, or (when `strict`) is damaged
// or cut short at all, else when it holds no image data.
bool decode(InputStream& input, uint64_t size, int scale, int max_side, bool strict, Rgb& out) {
    JpegReader reader(input, size);
    if (!reader.ok() || (max_side > 0 && std::max(reader.width(), reader.height()) > max_side))
        return false;
    if (!reader.start(scale)) return false;
    out.width = reader.output_width();
    out.height = reader.output_height();
    if (out.width < 1 || out.height < 1) return false;
    out.pixels.resize(size_t(out.width) * size_t(out.height) * 3);
    for (int y = 0; y < out.height; ++y)
        if (!reader.read_row(out.pixels.data() + size_t(y) * size_t(out.width) * 3)) return false;
    if (!strict) return reader.holds_image_data();
    return !reader.data_damaged() && !reader.cut_short() && reader.holds_image_data();
}

// The EXIF thumbnail when it decodes whole and shows the picture of width x height.
bool exif_thumbnail(InputStream& stream, int width, int height, Rgb& out) {
    ExifThumbnail exif;
    if (!read_exif_thumbnail(stream, exif)) return false;
    // A picture edited after it was taken may keep the old block: the size it records
    // then differs from the picture's, and so may the thumbnail.
    if (exif.picture_width > 0 &&
        !((exif.picture_width == width && exif.picture_height == height) ||
          (exif.picture_width == height && exif.picture_height == width)))
        return false;
    MemoryStream bytes(std::move(exif.jpeg));
    return decode(bytes, bytes.size(), 1, kMaxExifSide, true, out) &&
           thumbnail_fits_picture(out.width, out.height, width, height);
}

// The crop the cache file's thumbnail takes, in the pixels of a picture width x height
// decoded as its thumbnail is: the smallest level, halved again when large enough.
struct Crop {
    int decoded_width = 0;
    int decoded_height = 0;
    int x = 0;
    int y = 0;
};

Crop thumbnail_crop(int width, int height) {
    const int levels = levels_for(width, height);
    int w = int((int64_t(width) + (int64_t(1) << levels) - 1) >> levels);
    int h = int((int64_t(height) + (int64_t(1) << levels) - 1) >> levels);
    if (std::min(w, h) / 2 > kThumbnailSize) {
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    Crop crop{w, h, w / 2 - kThumbnailSize / 2, h / 2 - kThumbnailSize / 2};
    if (w < h && h >= kThumbnailSize) crop.y = 0;
    return crop;
}

// The crop of `source` (the whole picture at some scale) averaged down to 64 x 64; black
// where the crop lies outside the picture.
std::unique_ptr<Bitmap> crop_to_thumbnail(const Rgb& source, const Crop& crop) {
    std::unique_ptr<Bitmap> out = Bitmap::create(kThumbnailSize, kThumbnailSize);
    if (!out) return nullptr;
    const double fx = double(source.width) / crop.decoded_width;
    const double fy = double(source.height) / crop.decoded_height;
    // The source columns of each output column, [first, last).
    std::vector<int> first_x(kThumbnailSize), last_x(kThumbnailSize);
    for (int x = 0; x < kThumbnailSize; ++x) {
        const int from = int(std::floor((crop.x + x) * fx));
        const int to = std::max(from + 1, int(std::floor((crop.x + x + 1) * fx)));
        first_x[size_t(x)] = std::clamp(from, 0, source.width);
        last_x[size_t(x)] = std::clamp(to, 0, source.width);
    }
    for (int y = 0; y < kThumbnailSize; ++y) {
        const int from = int(std::floor((crop.y + y) * fy));
        const int to = std::max(from + 1, int(std::floor((crop.y + y + 1) * fy)));
        const int top = std::clamp(from, 0, source.height);
        const int bottom = std::clamp(to, 0, source.height);
        Pixel* row = out->row(y);
        for (int x = 0; x < kThumbnailSize; ++x) {
            uint32_t sum[3] = {0, 0, 0};
            const uint32_t count =
                uint32_t(bottom - top) * uint32_t(last_x[size_t(x)] - first_x[size_t(x)]);
            if (count == 0) {
                row[x] = to_pixel(0, 0, 0);
                continue;
            }
            for (int sy = top; sy < bottom; ++sy) {
                const uint8_t* p =
                    source.pixels.data() + (size_t(sy) * size_t(source.width) + size_t(first_x[size_t(x)])) * 3;
                for (int sx = first_x[size_t(x)]; sx < last_x[size_t(x)]; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            row[x] = to_pixel(uint8_t(sum[0] / count), uint8_t(sum[1] / count),
                              uint8_t(sum[2] / count));
        }
    }
    return out;
}

}  // namespace

bool thumbnail_fits_picture(int width, int height, int picture_width, int picture_height) {
    if (width < 1 || height < 1 || picture_width < 1 || picture_height < 1) return false;
    const double expected = double(width) * picture_height / picture_width;
    return std::abs(height - expected) <= std::max(1.0, 0.03 * expected);
}

std::unique_ptr<Bitmap> make_quick_thumbnail(InputStream& stream, QuickSource* source) {
    if (source) *source = QuickSource::None;
    const uint64_t size = stream.size();
    if (!stream.seek(0)) return nullptr;
    int width = 0, height = 0;
    {
        JpegReader header(stream, size);
        if (!header.ok()) return nullptr;
        width = header.width();
        height = header.height();
    }
    const int orientation = std::max(read_orientation(stream), 1);
    Rgb rgb;
    QuickSource made = QuickSource::Exif;
    if (!exif_thumbnail(stream, width, height, rgb)) {
        made = QuickSource::Scaled;
        rgb = {};
        // What libjpeg decodes of a damaged picture is what its cache file will show.
        if (!stream.seek(0) || !decode(stream, size, 8, 0, false, rgb)) return nullptr;
    }
    std::unique_ptr<Bitmap> thumbnail = crop_to_thumbnail(rgb, thumbnail_crop(width, height));
    if (!thumbnail) return nullptr;
    apply_orientation(*thumbnail, orientation);
    if (source) *source = made;
    return thumbnail;
}

std::unique_ptr<Bitmap> make_quick_thumbnail(const std::u16string& picture, QuickSource* source) {
    if (source) *source = QuickSource::None;
    FileStream file(picture, OpenMode::Read);
    if (!file.is_open()) return nullptr;
    return make_quick_thumbnail(file, source);
}

}  // namespace vistrel
