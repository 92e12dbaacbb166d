// HEIF and AVIF through libheif: the primary image with its rotation and mirroring
// (irot, imir) applied by the library, converted from its colr box (an ICC profile or
// nclx numbers). libheif decodes the picture whole; its rows are handed out from there.
//
// libheif 1.15 offers no scaled or partial decode (tiles of a grid image are not reachable
// on their own, and heif_image_scale_image works on a decoded image), so every use of a
// picture, the direct source's screen-sized one included, decodes all of it. The bound:
// sizes over kMaxWholePixels are refused before decoding; while it decodes, libheif holds
// its decoder's frames, the picture's planes and the interleaved RGB(A) at once (378 MB
// at the peak for an 8-bit 4:2:0 HEIC of 48 megapixels, about 8 bytes a pixel), and the
// file's bytes. Once it is decoded, only the RGB(A) is kept.

#include <libheif/heif.h>

#include <cstring>
#include <vector>

#include "library/colour/colour_description.h"
#include "library/formats/heif_handles.h"
#include "library/formats/picture_source.h"

namespace vistrel {

namespace {

constexpr uint64_t kMaxFileBytes = uint64_t(256) << 20;

std::string reason(const char* what, const heif_error& error) {
    return std::string(what) + (error.message && *error.message ? std::string(": ") + error.message : "");
}

class HeifSource final : public PictureSource {
public:
    HeifSource() : PictureSource(PictureFormat::Heif) {}
    bool open(InputStream& input);

protected:
    bool decode_row(uint8_t* row) override {
        std::memcpy(row, m_plane + size_t(this->row()) * size_t(m_stride),
                    size_t(m_width) * size_t(bytes_per_pixel(layout())));
        return true;
    }

private:
    void choose_transform(const heif_image_handle* handle);

    std::vector<uint8_t> m_bytes;  // the file, which libheif reads in place
    HeifContextPtr m_context;
    HeifImagePtr m_image;
    const uint8_t* m_plane = nullptr;
    int m_stride = 0;
};

void HeifSource::choose_transform(const heif_image_handle* handle) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size == 0 || size > (size_t(16) << 20)) return;
        std::vector<uint8_t> profile(size);
        if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code == heif_error_Ok)
            set_transform(ColourTransform::shared_from_icc(profile, layout()));
    } else if (type == heif_color_profile_type_nclx) {
        heif_color_profile_nclx* nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
            return;
        set_transform(std::shared_ptr<const ColourTransform>(nclx_colour_transform(
            int(nclx->color_primaries), int(nclx->transfer_characteristics), layout())));
        heif_nclx_color_profile_free(nclx);
    }
}

bool HeifSource::open(InputStream& input) {
    if (!read_all(input, m_bytes, kMaxFileBytes)) return fail("it cannot be read");
    m_context.reset(heif_context_alloc());
    if (!m_context) return fail("libheif cannot start");
    heif_error error = heif_context_read_from_memory_without_copy(m_context.get(), m_bytes.data(),
                                                                  m_bytes.size(), nullptr);
    if (error.code != heif_error_Ok) return fail(reason("its HEIF header cannot be read", error));
    heif_image_handle* raw_handle = nullptr;
    error = heif_context_get_primary_image_handle(m_context.get(), &raw_handle);
    if (error.code != heif_error_Ok || !raw_handle)
        return fail(reason("it has no primary image", error));
    HeifHandlePtr handle(raw_handle);
    // The size as shown, after rotation: refused before anything is decoded.
    if (!set_size(heif_image_handle_get_width(handle.get()),
                  heif_image_handle_get_height(handle.get()), kMaxWholePixels))
        return false;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    set_layout(alpha ? PixelLayout::Rgba8 : PixelLayout::Rgb8);
    choose_transform(handle.get());
    heif_image* image = nullptr;
    error = heif_decode_image(handle.get(), &image, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              nullptr);
    if (error.code != heif_error_Ok || !image)
        return fail(reason("its image data cannot be decoded", error));
    m_image.reset(image);
    // The decoded image stands alone: the file and the context may go.
    handle.reset();
    m_context.reset();
    m_bytes = {};
    m_plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &m_stride);
    if (!m_plane || heif_image_get_width(image, heif_channel_interleaved) != m_width ||
        heif_image_get_height(image, heif_channel_interleaved) != m_height ||
        m_stride < m_width * bytes_per_pixel(layout()))
        return fail("its decoded image does not match its header");
    return true;
}

}  // namespace

std::unique_ptr<PictureSource> open_heif(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<HeifSource>();
    if (source->open(*input)) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
