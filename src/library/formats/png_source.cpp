// PNG through libpng: every colour type and bit depth, expanded to 8- or 16-bit RGB(A); a
// grey picture whose profile or gamma converts it stays grey for that conversion. Rows are
// read one at a time; an interlaced picture is decoded whole first.

#include <algorithm>
#include <vector>

#include "library/colour/colour_description.h"
#include "library/formats/picture_source.h"
#include "library/formats/png_guard.h"

namespace vistrel {

namespace {

// Text, profile and other chunks may take at most this much memory, however they inflate.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(8) << 20;

class PngSource final : public PictureSource {
public:
    explicit PngSource(std::unique_ptr<InputStream> input)
        : PictureSource(PictureFormat::Png), m_input(std::move(input)) {}
    ~PngSource() override {
        if (m_png) png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr);
    }
    bool open();

protected:
    bool decode_row(uint8_t* row) override;

private:
    // The colour chunks read with the header; the profile's bytes stay libpng's.
    PngColourChunks colour_chunks() const;

    std::unique_ptr<InputStream> m_input;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    std::vector<uint8_t> m_whole;  // an interlaced picture, decoded at once
    size_t m_stride = 0;
};

PngColourChunks PngSource::colour_chunks() const {
    PngColourChunks chunks;
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profile_size = 0;
    if (png_get_iCCP(m_png, m_info, &name, &compression, &profile, &profile_size) && profile)
        chunks.icc_profile = std::span<const uint8_t>(profile, profile_size);
    int intent = 0;
    chunks.srgb = png_get_sRGB(m_png, m_info, &intent) != 0;
    png_fixed_point gamma = 0;
    if (png_get_gAMA_fixed(m_png, m_info, &gamma) && gamma > 0) chunks.gamma = uint32_t(gamma);
    png_fixed_point c[8];
    if (png_get_cHRM_fixed(m_png, m_info, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7])) {
        chunks.has_chromaticities = true;
        for (int i = 0; i < 8; ++i)
            chunks.chromaticities[size_t(i)] = c[i] > 0 ? uint32_t(c[i]) : 0;
    }
    return chunks;
}

bool PngSource::open() {
    m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!m_png) return fail("libpng cannot start");
    m_info = png_create_info_struct(m_png);
    if (!m_info) return fail("libpng cannot start");
    install_png_handlers(m_png);
    png_set_user_limits(m_png, 65535, 65535);
    png_set_chunk_malloc_max(m_png, kMaxChunkBytes);
    png_set_benign_errors(m_png, 1);
    read_png_from(m_png, m_input.get());
    if (!m_input->seek(0) || !guarded_png_read_info(m_png, m_info))
        return fail("its PNG header cannot be read");
    const int64_t width = png_get_image_width(m_png, m_info);
    const int64_t height = png_get_image_height(m_png, m_info);
    const bool interlaced = png_get_interlace_type(m_png, m_info) != PNG_INTERLACE_NONE;
    if (!set_size(width, height, interlaced ? kMaxWholePixels : kMaxRowPixels)) return false;
    const int depth = png_get_bit_depth(m_png, m_info);
    const int type = png_get_color_type(m_png, m_info);
    const bool wide = depth == 16;
    const bool grey = type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA;
    const bool alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 ||
                       png_get_valid(m_png, m_info, PNG_INFO_tRNS) != 0;
    // libpng leaves gamma alone; the colour module converts from what the chunks say. A grey
    // picture stays grey when its chunks convert it, so that a grey profile applies.
    const PngColourChunks chunks = colour_chunks();
    std::shared_ptr<const ColourTransform> transform;
    PixelLayout wanted = wide ? (alpha ? PixelLayout::Rgba16 : PixelLayout::Rgb16)
                              : (alpha ? PixelLayout::Rgba8 : PixelLayout::Rgb8);
    if (grey) {
        const PixelLayout grey_layout = wide ? (alpha ? PixelLayout::GrayAlpha16 : PixelLayout::Gray16)
                                             : (alpha ? PixelLayout::GrayAlpha8 : PixelLayout::Gray8);
        transform = png_colour_transform(chunks, grey_layout);
        if (transform) wanted = grey_layout;
    } else {
        transform = png_colour_transform(chunks, wanted);
    }
    png_set_expand(m_png);  // palette to RGB, transparency to alpha, small greys to 8 bits
    if (grey && !transform) png_set_gray_to_rgb(m_png);
#if PNG_LIBPNG_VER >= 10500
    if (wide) png_set_swap(m_png);  // native byte order on little-endian machines
#endif
    int passes = 1;
    if (!guarded_png_set_interlace_handling(m_png, &passes)) return fail("its PNG header cannot be read");
    if (!guarded_png_read_update_info(m_png, m_info)) return fail("its PNG header cannot be read");
    const int channels = png_get_channels(m_png, m_info);
    if (channels != bytes_per_pixel(wanted) / (wide ? 2 : 1)) return fail("its PNG colours cannot be read");
    set_layout(wanted);
    m_stride = size_t(m_width) * size_t(bytes_per_pixel(layout()));
    if (png_get_rowbytes(m_png, m_info) != m_stride) return fail("its PNG rows cannot be read");
    set_transform(std::move(transform));
    if (passes > 1) {
        try {
            m_whole.assign(m_stride * size_t(m_height), 0);
        } catch (const std::bad_alloc&) {
            return fail("not enough memory to decode it");
        }
        std::vector<png_bytep> rows(static_cast<size_t>(m_height));
        for (int y = 0; y < m_height; ++y)
            rows[size_t(y)] = m_whole.data() + size_t(y) * m_stride;
        if (!guarded_png_read_image(m_png, rows.data())) {
            m_whole = {};
            return fail("its interlaced PNG data is damaged or cut short");
        }
    }
    return true;
}

bool PngSource::decode_row(uint8_t* row) {
    if (!m_whole.empty()) {
        std::copy_n(m_whole.data() + size_t(this->row()) * m_stride, m_stride, row);
        return true;
    }
    if (!guarded_png_read_row(m_png, row)) return fail("its PNG data is damaged or cut short");
    return true;
}

}  // namespace

std::unique_ptr<PictureSource> open_png(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<PngSource>(std::move(input));
    if (source->open()) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
