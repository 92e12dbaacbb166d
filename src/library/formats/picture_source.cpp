#include "library/formats/picture_source.h"

#include <atomic>
#include <cstring>

#include "platform/trace.h"

namespace vistrel {

namespace {

std::atomic<uint32_t> g_background{0};

// Lays `count` RGBA pixels over the background, into RGB.
void flatten(const uint8_t* rgba, uint8_t* rgb, int count, uint32_t background) {
    const int back[3] = {int(background >> 16) & 255, int(background >> 8) & 255,
                         int(background) & 255};
    for (int i = 0; i < count; ++i, rgba += 4, rgb += 3) {
        const int a = rgba[3];
        for (int c = 0; c < 3; ++c)
            rgb[c] = uint8_t((rgba[c] * a + back[c] * (255 - a) + 127) / 255);
    }
}

// Widens `count` pixels of a layout that is not 8-bit RGB(A) into it, alpha kept, for pictures
// whose colours need no conversion. CMYK comes only with a conversion.
void to_rgb8(const uint8_t* in, PixelLayout layout, uint8_t* out, size_t count) {
    const bool wide = layout == PixelLayout::Rgb16 || layout == PixelLayout::Rgba16 ||
                      layout == PixelLayout::Gray16 || layout == PixelLayout::GrayAlpha16;
    const bool grey = layout == PixelLayout::Gray8 || layout == PixelLayout::GrayAlpha8 ||
                      layout == PixelLayout::Gray16 || layout == PixelLayout::GrayAlpha16;
    const bool alpha = has_alpha(layout);
    const size_t in_channels = size_t(grey ? 1 : 3) + (alpha ? 1 : 0);
    const size_t out_channels = alpha ? 4 : 3;
    auto sample = [&](size_t i) -> uint8_t {
        if (!wide) return in[i];
        uint16_t v;
        std::memcpy(&v, in + 2 * i, 2);
        return uint8_t((uint32_t(v) * 255 + 32767) / 65535);
    };
    if (layout == PixelLayout::Cmyk8 || layout == PixelLayout::InvertedCmyk8) {
        std::memset(out, 128, count * out_channels);
        return;
    }
    for (size_t p = 0; p < count; ++p, out += out_channels) {
        const size_t at = p * in_channels;
        for (size_t c = 0; c < 3; ++c)
            out[c] = sample(at + (grey ? 0 : c));
        if (alpha) out[3] = sample(at + in_channels - 1);
    }
}

}  // namespace

void set_transparency_background(uint32_t rgb) {
    g_background = rgb & 0xFFFFFF;
}

uint32_t transparency_background() {
    return g_background;
}

PictureSource::~PictureSource() = default;

bool PictureSource::fail(std::string problem) {
    if (m_problem.empty()) m_problem = std::move(problem);
    return false;
}

bool PictureSource::set_size(int64_t width, int64_t height, uint64_t limit) {
    if (width <= 0 || height <= 0) return fail("it has no pixels");
    if (width > 65535 || height > 65535 || uint64_t(width) * uint64_t(height) > limit)
        return fail("it is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels)");
    m_width = int(width);
    m_height = int(height);
    return true;
}

void PictureSource::set_transform(std::shared_ptr<const ColourTransform> transform) {
    if (transform && transform->input() == m_layout) m_transform = std::move(transform);
}

void PictureSource::set_orientation(int orientation) {
    m_orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
}

bool PictureSource::read_row(uint8_t* rgb) {
    if (m_row >= m_height || m_width <= 0) return false;
    const size_t w = size_t(m_width);
    const int in_bytes = bytes_per_pixel(m_layout);
    if (m_stored.size() != w * size_t(in_bytes)) m_stored.assign(w * size_t(in_bytes), 0);
    const bool alpha = has_alpha(m_layout);
    if (!m_cut_short && !decode_row(m_stored.data())) {
        if (m_row == 0) return fail(m_problem.empty() ? "no image data in it decodes" : m_problem);
        // What decoded stands; the rest is grey, as for a JPEG cut short.
        trace() << "picture: cut short at row " << m_row << " (" << m_problem << ")\n";
        m_cut_short = true;
    }
    ++m_row;
    if (m_cut_short) {
        std::memset(rgb, 128, w * 3);
        return true;
    }
    const uint8_t* pixels = m_stored.data();
    if (m_transform) {
        m_converted.resize(w * size_t(m_transform->output_channels()));
        m_transform->convert(m_stored.data(), m_converted.data(), w);
        pixels = m_converted.data();
    } else if (m_layout != PixelLayout::Rgb8 && m_layout != PixelLayout::Rgba8) {
        m_converted.resize(w * (alpha ? 4 : 3));
        to_rgb8(m_stored.data(), m_layout, m_converted.data(), w);
        pixels = m_converted.data();
    }
    if (alpha)
        flatten(pixels, rgb, m_width, g_background);
    else if (pixels != rgb)
        std::memcpy(rgb, pixels, w * 3);
    return true;
}

bool WholePictureSource::allocate(int64_t width, int64_t height) {
    if (!set_size(width, height, kMaxWholePixels)) return false;
    m_stride = size_t(m_width) * size_t(bytes_per_pixel(layout()));
    try {
        m_pixels.assign(m_stride * size_t(m_height), 0);
    } catch (const std::bad_alloc&) {
        return fail("not enough memory to decode it");
    }
    return true;
}

bool WholePictureSource::decode_row(uint8_t* row) {
    if (m_pixels.empty()) return false;
    std::memcpy(row, m_pixels.data() + size_t(this->row()) * m_stride, m_stride);
    return true;
}

bool read_all(InputStream& input, std::vector<uint8_t>& bytes, uint64_t limit) {
    if (!input.is_open()) return false;
    const uint64_t size = input.size();
    if (size > limit || !input.seek(0)) return false;
    try {
        bytes.resize(size_t(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return input.read(bytes.data(), bytes.size()) == bytes.size();
}

std::unique_ptr<PictureSource> open_picture_source(std::unique_ptr<InputStream> input,
                                                   std::u16string_view name,
                                                   std::string* problem) {
    std::string why;
    std::unique_ptr<PictureSource> source;
    if (!input || !input->is_open()) {
        why = "it cannot be opened";
    } else {
        const PictureFormat format = picture_format(*input, name);
        switch (format) {
            case PictureFormat::Jpeg:
                source = open_jpeg(std::move(input), why);
                break;
            case PictureFormat::Png:
                source = open_png(std::move(input), why);
                break;
            case PictureFormat::Gif:
                source = open_gif(std::move(input), why);
                break;
            case PictureFormat::WebP:
                source = open_webp(std::move(input), why);
                break;
            case PictureFormat::Tiff:
                source = open_tiff(std::move(input), why);
                break;
            case PictureFormat::JpegXl:
                source = open_jxl(std::move(input), why);
                break;
            case PictureFormat::Heif:
            case PictureFormat::Avif:
                source = open_heif(std::move(input), why);
                if (source) source->m_format = format;
                break;
            case PictureFormat::Raw:
                source = open_raw(std::move(input), why);
                break;
            case PictureFormat::Unknown:
                why = "not a picture format we read";
                break;
        }
        if (!source && why.empty()) why = std::string("its ") + format_name(format) + " header cannot be read";
    }
    if (problem) *problem = why;
    return source;
}

std::unique_ptr<PictureSource> open_picture_source(const std::u16string& path, std::string* problem) {
    return open_picture_source(std::make_unique<FileStream>(path, OpenMode::Read), path, problem);
}

}  // namespace vistrel
