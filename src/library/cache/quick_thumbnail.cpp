#include "library/cache/quick_thumbnail.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "library/formats/embedded_thumbnail.h"
#include "library/formats/picture_source.h"
#include "library/jpeg/exif_thumbnail.h"
#include "library/jpeg/orientation.h"
#include "platform/path_parts.h"
#include "render/bitmap.h"

namespace vistrel {

namespace {

// Larger EXIF thumbnails than this are damaged or not thumbnails.
constexpr int kMaxExifSide = 1024;
// Pictures of other formats are averaged down to at most this a side as their rows are read.
constexpr int kScaledSide = 512;

// Decoded RGB rows: a window of a picture decoded whole at some scale.
struct Rgb {
    int width = 0;  // of the window
    int height = 0;
    std::vector<uint8_t> pixels;
    int full_width = 0;  // of the whole picture at that scale
    int full_height = 0;
    int x = 0;  // where the window lies in it
    int y = 0;
};

// Decodes a whole JPEG at 1/`scale`; false when it fails, or (when `strict`) is damaged
// or cut short at all, else when it holds no image data.
bool decode(InputStream& input, uint64_t size, int scale, int max_side, bool strict, Rgb& out) {
    JpegReader reader(input, size);
    if (!reader.ok() || (max_side > 0 && std::max(reader.width(), reader.height()) > max_side))
        return false;
    if (!reader.start(scale)) return false;
    out.width = out.full_width = reader.output_width();
    out.height = out.full_height = reader.output_height();
    out.x = out.y = 0;
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

// The columns [first, last) or rows of a picture `full` pixels across at some scale that
// thumbnail column or row `i` of `crop_at` (its first in the decoded level) averages, `f`
// of them to one pixel of the level.
struct Span {
    int first = 0;
    int last = 0;
};

Span source_span(int crop_at, int i, double f) {
    const int from = int(std::floor((crop_at + i) * f));
    return {from, std::max(from + 1, int(std::floor((crop_at + i + 1) * f)))};
}

// The crop of `source` (a window of the whole picture at some scale) averaged down to
// 64 x 64; black where the crop lies outside the picture or the window.
std::unique_ptr<Bitmap> crop_to_thumbnail(const Rgb& source, const Crop& crop) {
    std::unique_ptr<Bitmap> out = Bitmap::create(kThumbnailSize, kThumbnailSize);
    if (!out) return nullptr;
    const double fx = double(source.full_width) / crop.decoded_width;
    const double fy = double(source.full_height) / crop.decoded_height;
    // The window's columns of each output column, [first, last).
    std::vector<int> first_x(kThumbnailSize), last_x(kThumbnailSize);
    for (int x = 0; x < kThumbnailSize; ++x) {
        const Span span = source_span(crop.x, x, fx);
        first_x[size_t(x)] = std::clamp(span.first - source.x, 0, source.width);
        last_x[size_t(x)] = std::clamp(span.last - source.x, 0, source.width);
    }
    for (int y = 0; y < kThumbnailSize; ++y) {
        const Span span = source_span(crop.y, y, fy);
        const int top = std::clamp(span.first - source.y, 0, source.height);
        const int bottom = std::clamp(span.last - source.y, 0, source.height);
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

// The cheapest decode of what the thumbnail shows: the JPEG at 1/8 (fast inverse DCT),
// only the columns of the crop (widened by the library to whole MCUs), the rows above it
// passed over without being converted and none below it decoded at all. False when the
// library refuses any of it (the caller then decodes the picture whole) or the picture
// holds no image data; damaged data is kept as libjpeg decodes it, as the cache file's
// thumbnail will show it.
bool decode_crop(InputStream& input, uint64_t size, const Crop& crop, Rgb& out) {
    JpegReader reader(input, size);
    if (!reader.ok() || !reader.start(8)) return false;
    out.full_width = reader.output_width();
    out.full_height = reader.output_height();
    if (out.full_width < 1 || out.full_height < 1) return false;
    const double fx = double(out.full_width) / crop.decoded_width;
    const double fy = double(out.full_height) / crop.decoded_height;
    int left = std::clamp(source_span(crop.x, 0, fx).first, 0, out.full_width - 1);
    const int right =
        std::clamp(source_span(crop.x, kThumbnailSize - 1, fx).last, left + 1, out.full_width);
    const int top = std::clamp(source_span(crop.y, 0, fy).first, 0, out.full_height - 1);
    const int bottom =
        std::clamp(source_span(crop.y, kThumbnailSize - 1, fy).last, top + 1, out.full_height);
    int columns = right - left;
    if (columns < out.full_width && !reader.crop(left, columns)) return false;
    if (left < 0 || columns < 1 || left + columns > out.full_width) return false;
    if (top > 0 && !reader.skip_rows(top)) return false;
    out.x = left;
    out.y = top;
    out.width = columns;
    out.height = bottom - top;
    out.pixels.resize(size_t(out.width) * size_t(out.height) * 3);
    for (int y = 0; y < out.height; ++y)
        if (!reader.read_row(out.pixels.data() + size_t(y) * size_t(out.width) * 3)) return false;
    return reader.holds_image_data();
}

// The scale (8, 4, 2 or 1) that decodes a JPEG of width x height to the smallest size
// whose shorter side is still at least twice a thumbnail's.
int scale_for(int width, int height) {
    int scale = 8;
    while (scale > 1 && std::min(width, height) / scale < 2 * kThumbnailSize)
        scale /= 2;
    return scale;
}

// The rows of `picture` averaged over squares of a whole number of pixels, so that its
// longer side is at most kScaledSide; false when a row cannot be read.
bool scaled_rows(PictureSource& picture, Rgb& out) {
    const int width = picture.width(), height = picture.height();
    if (width < 1 || height < 1) return false;
    const int factor = std::max(1, (std::max(width, height) + kScaledSide - 1) / kScaledSide);
    out.width = out.full_width = (width + factor - 1) / factor;
    out.height = out.full_height = (height + factor - 1) / factor;
    out.pixels.assign(size_t(out.width) * size_t(out.height) * 3, 0);
    std::vector<uint8_t> row(size_t(width) * 3);
    std::vector<uint32_t> sums(size_t(out.width) * 3, 0);
    for (int y = 0; y < height; ++y) {
        if (!picture.read_row(row.data())) return false;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                sums[size_t(x / factor) * 3 + size_t(c)] += row[size_t(x) * 3 + size_t(c)];
        const int band_rows = std::min(factor, height - (y / factor) * factor);
        if ((y + 1) % factor != 0 && y + 1 != height) continue;
        uint8_t* target = &out.pixels[size_t(y / factor) * size_t(out.width) * 3];
        for (int ox = 0; ox < out.width; ++ox) {
            const uint32_t count = uint32_t(band_rows) * uint32_t(std::min(factor, width - ox * factor));
            for (int c = 0; c < 3; ++c)
                target[ox * 3 + c] = uint8_t(sums[size_t(ox) * 3 + size_t(c)] / count);
        }
        std::fill(sums.begin(), sums.end(), 0);
    }
    return true;
}

// The thumbnail a HEIF, AVIF or RAW file carries, when it decodes and shows the picture
// whole; `width` x `height` and `orientation` are then those of the picture it is cropped
// and turned like.
bool embedded_thumbnail(InputStream& stream, PictureFormat format, Rgb& out, int& width,
                        int& height, int& orientation) {
    EmbeddedThumbnail embedded;
    if (!read_embedded_thumbnail(stream, format, kMaxExifSide, embedded)) return false;
    width = embedded.picture_width;
    height = embedded.picture_height;
    orientation = embedded.orientation;
    if (!embedded.jpeg.empty()) {
        MemoryStream bytes(std::move(embedded.jpeg));
        int scale = 1;
        {
            JpegReader header(bytes, bytes.size());
            if (!header.ok()) return false;
            scale = scale_for(header.width(), header.height());
        }
        // The JPEG's own orientation, when it has one, as the RAW reader takes it.
        const int own = read_orientation(bytes);
        if (own > 1) orientation = own;
        if (!bytes.seek(0) || !decode(bytes, bytes.size(), scale, 0, true, out)) return false;
    } else {
        out.width = out.full_width = embedded.width;
        out.height = out.full_height = embedded.height;
        out.pixels = std::move(embedded.rgb);
    }
    return thumbnail_fits_picture(out.width, out.height, width, height);
}

// Opens the picture again for its format's reader.
using Reopen = std::function<std::unique_ptr<InputStream>()>;

// The quick thumbnail of a picture of another format than JPEG.
std::unique_ptr<Bitmap> other_format(InputStream& stream, PictureFormat format,
                                     std::u16string_view name, const Reopen& reopen,
                                     QuickSource& made) {
    Rgb rgb;
    int width = 0, height = 0, orientation = 1;
    made = QuickSource::Embedded;
    if (!embedded_thumbnail(stream, format, rgb, width, height, orientation)) {
        made = QuickSource::Scaled;
        rgb = {};
        std::unique_ptr<InputStream> input = reopen();
        std::unique_ptr<PictureSource> picture =
            input ? open_picture_source(std::move(input), name) : nullptr;
        if (!picture || !scaled_rows(*picture, rgb)) return nullptr;
        width = picture->width();
        height = picture->height();
        orientation = picture->orientation();
    }
    std::unique_ptr<Bitmap> thumbnail = crop_to_thumbnail(rgb, thumbnail_crop(width, height));
    if (thumbnail) apply_orientation(*thumbnail, orientation);
    return thumbnail;
}

}  // namespace

bool thumbnail_fits_picture(int width, int height, int picture_width, int picture_height) {
    if (width < 1 || height < 1 || picture_width < 1 || picture_height < 1) return false;
    const double expected = double(width) * picture_height / picture_width;
    return std::abs(height - expected) <= std::max(1.0, 0.03 * expected);
}

namespace {

// The quick thumbnail of the picture on `stream`; `reopen` gives the picture again.
std::unique_ptr<Bitmap> quick_thumbnail(InputStream& stream, QuickSource* source,
                                        std::u16string_view name, const Reopen& reopen) {
    if (source) *source = QuickSource::None;
    const uint64_t size = stream.size();
    if (!stream.seek(0)) return nullptr;
    const PictureFormat format = picture_format(stream, name);
    if (format != PictureFormat::Jpeg) {
        if (format == PictureFormat::Unknown) return nullptr;
        QuickSource made = QuickSource::None;
        std::unique_ptr<Bitmap> thumbnail = other_format(stream, format, name, reopen, made);
        if (thumbnail && source) *source = made;
        return thumbnail;
    }
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
    const Crop crop = thumbnail_crop(width, height);
    if (!exif_thumbnail(stream, width, height, rgb)) {
        made = QuickSource::Scaled;
        rgb = {};
        // What libjpeg decodes of a damaged picture is what its cache file will show.
        if (!stream.seek(0) || !decode_crop(stream, size, crop, rgb)) {
            rgb = {};
            if (!stream.seek(0) || !decode(stream, size, 8, 0, false, rgb)) return nullptr;
        }
    }
    std::unique_ptr<Bitmap> thumbnail = crop_to_thumbnail(rgb, crop);
    if (!thumbnail) return nullptr;
    apply_orientation(*thumbnail, orientation);
    if (source) *source = made;
    return thumbnail;
}

}  // namespace

std::unique_ptr<Bitmap> make_quick_thumbnail(InputStream& stream, QuickSource* source,
                                             std::u16string_view name) {
    return quick_thumbnail(stream, source, name, [&stream]() -> std::unique_ptr<InputStream> {
        std::vector<uint8_t> bytes;
        if (!stream.seek(0) || !read_all(stream, bytes, PictureSource::kMaxWholePixels))
            return nullptr;
        return std::make_unique<MemoryStream>(std::move(bytes));
    });
}

std::unique_ptr<Bitmap> make_quick_thumbnail(const std::u16string& picture, QuickSource* source) {
    if (source) *source = QuickSource::None;
    FileStream file(picture, OpenMode::Read);
    if (!file.is_open()) return nullptr;
    return quick_thumbnail(file, source, file_name_part(picture),
                           [&picture]() -> std::unique_ptr<InputStream> {
                               auto again = std::make_unique<FileStream>(picture, OpenMode::Read);
                               if (!again->is_open()) return nullptr;
                               return again;
                           });
}

}  // namespace vistrel
