#include "library/formats/embedded_thumbnail.h"

#include <libheif/heif.h>
#include <libraw/libraw.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "library/formats/heif_handles.h"
#include "library/formats/picture_source.h"

namespace vistrel {

namespace {

constexpr uint64_t kMaxFileBytes = uint64_t(512) << 20;  // as the RAW reader takes

bool heif_thumbnail(const std::vector<uint8_t>& bytes, int max_side, EmbeddedThumbnail& out) {
    HeifContextPtr context(heif_context_alloc());
    if (!context ||
        heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(),
                                                   nullptr)
                .code != heif_error_Ok)
        return false;
    heif_image_handle* raw_primary = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &raw_primary).code != heif_error_Ok ||
        !raw_primary)
        return false;
    HeifHandlePtr primary(raw_primary);
    out.picture_width = heif_image_handle_get_width(primary.get());
    out.picture_height = heif_image_handle_get_height(primary.get());
    if (heif_image_handle_get_number_of_thumbnails(primary.get()) < 1) return false;
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_thumbnail_IDs(primary.get(), &id, 1) != 1) return false;
    heif_image_handle* raw_thumbnail = nullptr;
    if (heif_image_handle_get_thumbnail(primary.get(), id, &raw_thumbnail).code != heif_error_Ok ||
        !raw_thumbnail)
        return false;
    HeifHandlePtr thumbnail(raw_thumbnail);
    const int width = heif_image_handle_get_width(thumbnail.get());
    const int height = heif_image_handle_get_height(thumbnail.get());
    // Refused before it is decoded: a thumbnail is small.
    if (width < 1 || height < 1 || width > max_side || height > max_side) return false;
    heif_image* raw_image = nullptr;
    if (heif_decode_image(thumbnail.get(), &raw_image, heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, nullptr)
                .code != heif_error_Ok ||
        !raw_image)
        return false;
    HeifImagePtr image(raw_image);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int decoded_width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int decoded_height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || decoded_width < 1 || decoded_height < 1 || decoded_width > max_side ||
        decoded_height > max_side || stride < decoded_width * 3)
        return false;
    out.width = decoded_width;
    out.height = decoded_height;
    out.rgb.resize(size_t(decoded_width) * size_t(decoded_height) * 3);
    for (int y = 0; y < decoded_height; ++y)
        std::memcpy(&out.rgb[size_t(y) * size_t(decoded_width) * 3],
                    plane + size_t(y) * size_t(stride), size_t(decoded_width) * 3);
    return true;
}

// libraw's flip as an EXIF orientation (0: none, 3: half a turn, 5: a quarter to the left,
// 6: to the right).
int orientation_of_flip(int flip) {
    switch (flip) {
        case 3: return 3;
        case 5: return 8;
        case 6: return 6;
        default: return 1;
    }
}

bool raw_thumbnail(std::vector<uint8_t>& bytes, EmbeddedThumbnail& out) {
    auto raw = std::make_unique<LibRaw>(0);
    raw->imgdata.params.max_raw_memory_mb = 1024;
    if (raw->open_buffer(bytes.data(), bytes.size()) != LIBRAW_SUCCESS) return false;
    if (raw->unpack_thumb() != LIBRAW_SUCCESS) return false;
    const libraw_thumbnail_t& thumb = raw->imgdata.thumbnail;
    // Only a JPEG: the bitmap kinds are rare and have no size we could check first.
    if (thumb.tformat != LIBRAW_THUMBNAIL_JPEG || !thumb.thumb || thumb.tlength == 0) return false;
    out.jpeg.assign(thumb.thumb, thumb.thumb + thumb.tlength);
    out.orientation = orientation_of_flip(raw->imgdata.sizes.flip);
    out.picture_width = raw->imgdata.sizes.width;
    out.picture_height = raw->imgdata.sizes.height;
    return out.picture_width > 0 && out.picture_height > 0;
}

}  // namespace

bool read_embedded_thumbnail(InputStream& input, PictureFormat format, int max_side,
                             EmbeddedThumbnail& out) {
    out = {};
    if (format != PictureFormat::Heif && format != PictureFormat::Avif &&
        format != PictureFormat::Raw)
        return false;
    std::vector<uint8_t> bytes;
    if (!input.seek(0) || !read_all(input, bytes, kMaxFileBytes)) return false;
    return format == PictureFormat::Raw ? raw_thumbnail(bytes, out)
                                        : heif_thumbnail(bytes, max_side, out);
}

}  // namespace vistrel
