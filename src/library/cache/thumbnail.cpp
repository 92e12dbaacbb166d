#include "library/cache/thumbnail.h"

#include <algorithm>
#include <vector>

#include "library/cache/cache_file.h"
#include "library/jpeg/jpeg_writer.h"
#include "library/jpeg/orientation.h"
#include "render/bitmap.h"

namespace vistrel {

namespace {

// Where the 64 x 64 window lies over a decoded picture of width x height: its top-left
// corner, negative where the picture is smaller and black fills the rest.
struct CropWindow {
    int x = 0;
    int y = 0;
};

CropWindow crop_window(int width, int height) {
    CropWindow window;
    window.x = width / 2 - kThumbnailSize / 2;
    window.y = height / 2 - kThumbnailSize / 2;
    if (width < height && height >= kThumbnailSize) window.y = 0;
    return window;
}

// One output row from a decoded row: the window's columns, black outside the picture.
void crop_row(const uint8_t* rgb, int width, int x, uint8_t* out) {
    std::fill(out, out + 3 * kThumbnailSize, 0);
    const int first = std::max(0, -x);
    const int last = std::min(kThumbnailSize, width - x);
    if (last > first) std::copy(rgb + 3 * (x + first), rgb + 3 * (x + last), out + 3 * first);
}

}  // namespace

bool make_thumbnail(InputStream& input, OutputStream& output, const StopTest& stop) {
    const uint64_t position = input.position();
    const uint64_t size = input.size();
    JpegReader reader(input, size > position ? size - position : 0);
    if (!reader.ok()) return false;
    const int shorter = std::min(reader.width(), reader.height());
    if (!reader.start(shorter / 2 > kThumbnailSize ? 2 : 1, &stop)) return false;
    const int width = reader.output_width();
    const int height = reader.output_height();
    JpegWriter writer(output, kThumbnailSize, kThumbnailSize, kThumbnailQuality);
    if (!writer.ok()) return false;
    const CropWindow window = crop_window(width, height);
    std::vector<uint8_t> rgb(3 * size_t(width));
    std::vector<uint8_t> out(3 * kThumbnailSize, 0);
    int written = 0;
    for (; written < -window.y; ++written)
        if (!writer.write_row(out.data())) return false;
    const int last_row = std::min(height, window.y + kThumbnailSize);
    for (int row = 0; row < last_row; ++row) {
        if (stop && stop()) return false;
        // A damaged picture (of no more than 256 pixels) shows what libjpeg makes of it.
        if (!reader.read_row(rgb.data())) return false;
        if (row < window.y) continue;
        crop_row(rgb.data(), width, window.x, out.data());
        if (!writer.write_row(out.data())) return false;
        ++written;
    }
    std::fill(out.begin(), out.end(), 0);
    for (; written < kThumbnailSize; ++written)
        if (!writer.write_row(out.data())) return false;
    return writer.finish();
}

std::unique_ptr<Bitmap> load_thumbnail(const std::u16string& picture, const std::u16string& drive) {
    // Far more than a 64 x 64 JPEG ever takes; a damaged header must not make us read more.
    constexpr uint32_t kMaxThumbnailBytes = 1 << 20;
    const std::u16string name = cache_file_name(picture, drive);
    if (name.empty()) return nullptr;
    FileStream file(name, OpenMode::Read);
    CacheHeader header;
    if (!file.is_open()) return nullptr;
    const auto damaged = [&] {
        discard_cache_file(name, file);
        return nullptr;
    };
    if (!header.read(file, file.size())) return header.damaged ? damaged() : nullptr;
    if (header.thumbnail_size > kMaxThumbnailBytes) return nullptr;
    MemoryStream thumbnail;
    thumbnail.bytes().resize(header.thumbnail_size);
    if (!file.seek(header.thumbnail_offset) ||
        file.read(thumbnail.bytes().data(), header.thumbnail_size) != header.thumbnail_size)
        return nullptr;
    if (!header.intact(header.thumbnail_offset, thumbnail.bytes().data(), thumbnail.size()))
        return damaged();
    // Our thumbnails are 64 x 64; a damaged file claiming a huge one must not make us
    // allocate for it.
    constexpr int kMaxSide = 4 * kThumbnailSize;
    JpegReader reader(thumbnail, thumbnail.size());
    if (!reader.ok() || reader.width() > kMaxSide || reader.height() > kMaxSide ||
        !reader.start(1, nullptr, false))
        return nullptr;
    std::unique_ptr<Bitmap> bitmap = read_bitmap(reader);
    if (!bitmap) return nullptr;
    apply_orientation(*bitmap, header.orientation);
    return bitmap;
}

std::unique_ptr<Bitmap> read_bitmap(JpegReader& reader) {
    const int width = reader.output_width(), height = reader.output_height();
    std::unique_ptr<Bitmap> bitmap = Bitmap::create(width, height);
    if (!bitmap) return nullptr;
    std::vector<uint8_t> rgb(3 * size_t(width));
    for (int y = 0; y < height; ++y) {
        if (!reader.read_row(rgb.data()) || reader.data_damaged()) return nullptr;
        Pixel* out = bitmap->row(y);
        for (int x = 0; x < width; ++x)
            out[x] = to_pixel(rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]);
    }
    return bitmap;
}

}  // namespace vistrel
