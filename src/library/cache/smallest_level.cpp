#include "library/cache/smallest_level.h"

#include <algorithm>
#include <vector>

#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "library/jpeg/jpeg_reader.h"
#include "library/jpeg/orientation.h"
#include "render/bitmap.h"

namespace vistrel {

namespace {

// A 256-pixel level at quality 92 takes well under this; a damaged header must not make us
// read more.
constexpr uint32_t kMaxLevelBytes = 4u << 20;

std::unique_ptr<Bitmap> decode(InputStream& input, uint64_t size, int scale_to) {
    JpegReader reader(input, size);
    if (!reader.ok() || reader.width() < 1 || reader.height() < 1 ||
        reader.width() > kSmallestLevelMaxSide || reader.height() > kSmallestLevelMaxSide)
        return nullptr;
    int scale = 1;
    const int shorter = std::min(reader.width(), reader.height());
    while (scale < 8 && scale_to > 0 && shorter / (scale * 2) >= scale_to)
        scale *= 2;
    if (!reader.start(scale, nullptr, true)) return nullptr;
    return read_bitmap(reader);
}

// The level turned as the picture is meant to be seen; turning ones (5..8) swap the sides.
std::unique_ptr<Bitmap> turned(std::unique_ptr<Bitmap> bitmap, int orientation) {
    if (orientation < 5 || orientation > 8) {
        apply_orientation(*bitmap, orientation);
        return bitmap;
    }
    const int width = bitmap->size().w, height = bitmap->size().h;
    std::unique_ptr<Bitmap> out = Bitmap::create(height, width);
    if (!out) return nullptr;
    for (int i = 0; i < height; ++i) {
        const Pixel* row = bitmap->row(i);
        for (int j = 0; j < width; ++j) {
            const int to_row = orientation == 5 || orientation == 6 ? j : width - 1 - j;
            const int to_column = orientation == 5 || orientation == 8 ? i : height - 1 - i;
            out->row(to_row)[to_column] = row[j];
        }
    }
    return out;
}

}  // namespace

std::unique_ptr<Bitmap> load_smallest_level(const std::u16string& picture,
                                            const std::u16string& drive, int scale_to) {
    const std::u16string name = cache_file_name(picture, drive);
    if (name.empty()) return nullptr;
    FileStream file(name, OpenMode::Read);
    // The failure marker (an empty file) stays as it is.
    if (!file.is_open() || file.size() == 0) return nullptr;
    CacheHeader header;
    const auto damaged = [&] {
        discard_cache_file(name, file);
        return nullptr;
    };
    if (!header.read(file, file.size())) return header.damaged ? damaged() : nullptr;
    std::unique_ptr<Bitmap> bitmap;
    const int last = header.level_count();
    if (last >= 1) {
        const CacheLevel& level = header.levels[static_cast<size_t>(last)];
        if (level.jpeg_size == 0 || level.jpeg_size > kMaxLevelBytes) return nullptr;
        MemoryStream bytes;
        bytes.bytes().resize(level.jpeg_size);
        if (!file.seek(level.jpeg_offset) ||
            file.read(bytes.bytes().data(), level.jpeg_size) != level.jpeg_size)
            return nullptr;
        if (!header.intact(level.jpeg_offset, bytes.bytes().data(), bytes.size())) return damaged();
        bitmap = decode(bytes, bytes.size(), scale_to);
    } else if (header.has_copy()) {
        // A small picture our decoder could not follow: its copy is level 0.
        if (header.copy_size > kMaxLevelBytes || !file.seek(header.copy_offset)) return nullptr;
        bitmap = decode(file, header.copy_size, scale_to);
    } else {
        // A small JPEG: level 0 is the picture file itself.
        FileStream source(picture, OpenMode::Read);
        if (!source.is_open() || source.size() > kMaxLevelBytes) return nullptr;
        bitmap = decode(source, source.size(), scale_to);
    }
    return bitmap ? turned(std::move(bitmap), header.orientation) : nullptr;
}

}  // namespace vistrel
