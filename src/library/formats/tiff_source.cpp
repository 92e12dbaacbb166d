// TIFF through libtiff: 8 and 16 bits, strips and tiles, any colour model libtiff turns
// into RGBA; read one strip or row of tiles at a time. The orientation tag is kept as the
// picture's orientation, and its ICC profile converts the colours (a grey picture's grey
// profile too). Alpha, associated or not, is handed on unassociated.

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "library/formats/picture_source.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

// No single allocation of libtiff's may be larger: a damaged header claiming a huge strip
// is refused rather than allocated.
constexpr tmsize_t kMaxAllocation = tmsize_t(256) << 20;

tsize_t read_proc(thandle_t handle, tdata_t buffer, tsize_t size) {
    return size < 0 ? -1 : tsize_t(static_cast<InputStream*>(handle)->read(buffer, size_t(size)));
}
tsize_t write_proc(thandle_t, tdata_t, tsize_t) {
    return -1;
}
toff_t seek_proc(thandle_t handle, toff_t offset, int whence) {
    InputStream* input = static_cast<InputStream*>(handle);
    uint64_t target = offset;
    if (whence == SEEK_CUR) target = input->position() + offset;
    if (whence == SEEK_END) target = input->size() + offset;
    if (!input->seek(target)) return toff_t(-1);
    return target;
}
int close_proc(thandle_t) {
    return 0;
}
toff_t size_proc(thandle_t handle) {
    return static_cast<InputStream*>(handle)->size();
}
int map_proc(thandle_t, tdata_t*, toff_t*) {
    return 0;
}
void unmap_proc(thandle_t, tdata_t, toff_t) {}

int on_message(TIFF*, void*, const char* module, const char* format, va_list args) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    trace() << "tiff: " << (module ? module : "") << ": " << text << "\n";
    return 1;
}

// Grey with alpha, packed as libtiff's routines pack rows: its own routines drop the alpha
// of 16-bit grey and misplace the rows of 8-bit tiles narrower than the tile size. 16-bit
// samples give their high byte, as libtiff takes them.
template <typename Sample>
void put_grey_alpha(TIFFRGBAImage* image, uint32_t* out, uint32_t, uint32_t, uint32_t width,
                    uint32_t height, int32_t from_skew, int32_t to_skew, unsigned char* in) {
    constexpr int kShift = sizeof(Sample) == 2 ? 8 : 0;
    const int samples = image->samplesperpixel;
    const bool inverted = image->photometric == PHOTOMETRIC_MINISWHITE;
    const auto* p = reinterpret_cast<const Sample*>(in);
    for (; height > 0; --height) {
        for (uint32_t x = width; x > 0; --x, p += samples) {
            const uint32_t level = uint32_t(p[0] >> kShift) & 255;
            const uint32_t grey = inverted ? 255 - level : level;
            const uint32_t alpha = uint32_t(p[1] >> kShift) & 255;
            *out++ = grey | grey << 8 | grey << 16 | alpha << 24;
        }
        out += to_skew;
        p += from_skew * samples;
    }
}

class TiffSource final : public PictureSource {
public:
    explicit TiffSource(std::unique_ptr<InputStream> input)
        : PictureSource(PictureFormat::Tiff), m_input(std::move(input)) {}
    ~TiffSource() override {
        if (m_begun) TIFFRGBAImageEnd(&m_image);
        if (m_tiff) TIFFClose(m_tiff);
    }
    bool open();

protected:
    bool decode_row(uint8_t* row) override;

private:
    std::unique_ptr<InputStream> m_input;
    TIFF* m_tiff = nullptr;
    TIFFRGBAImage m_image{};
    bool m_begun = false;
    // libtiff hands out RGB with its colours multiplied by alpha whatever the file stores,
    // and grey as stored.
    bool m_premultiplied = false;
    bool m_grey = false;  // handed on as grey and alpha, for a grey profile
    int m_band_rows = 0;   // rows read at once: a strip, or a row of tiles
    int m_band_start = -1;
    std::vector<uint32_t> m_band;
};

bool TiffSource::open() {
    if (!m_input->seek(0)) return fail("it cannot be read");
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return fail("libtiff cannot start");
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options, on_message, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, on_message, nullptr);
    m_tiff = TIFFClientOpenExt("picture", "rm", m_input.get(), read_proc, write_proc, seek_proc,
                               close_proc, size_proc, map_proc, unmap_proc, options);
    TIFFOpenOptionsFree(options);
    if (!m_tiff) return fail("its TIFF header cannot be read");
    char message[1024] = {};
    if (!TIFFRGBAImageOK(m_tiff, message)) return fail(std::string("its TIFF kind is not one we read: ") + message);
    if (!TIFFRGBAImageBegin(&m_image, m_tiff, 0, message))
        return fail(std::string("its TIFF header cannot be read: ") + message);
    m_begun = true;
    if (!set_size(m_image.width, m_image.height, kMaxRowPixels)) return false;
    // Rows come as stored; the orientation is applied where pictures are shown.
    m_image.req_orientation = m_image.orientation;
    set_orientation(m_image.orientation);
    uint32_t band = 0;
    if (TIFFIsTiled(m_tiff)) {
        TIFFGetField(m_tiff, TIFFTAG_TILELENGTH, &band);
    } else if (!TIFFGetFieldDefaulted(m_tiff, TIFFTAG_ROWSPERSTRIP, &band)) {
        band = 1;
    }
    m_band_rows = int(std::clamp<uint32_t>(band, 1, uint32_t(m_height)));
    if (uint64_t(m_band_rows) * uint64_t(m_width) > kMaxWholePixels)
        return fail("its TIFF strips are too large");
    m_band.assign(size_t(m_band_rows) * size_t(m_width), 0);
    const bool grey = m_image.photometric == PHOTOMETRIC_MINISBLACK ||
                      m_image.photometric == PHOTOMETRIC_MINISWHITE;
    m_premultiplied = m_image.alpha != 0 && !(grey && m_image.alpha == EXTRASAMPLE_UNASSALPHA);
    if (grey && m_image.alpha != 0 && m_image.isContig && m_image.samplesperpixel >= 2) {
        if (m_image.bitspersample == 8) m_image.put.contig = put_grey_alpha<uint8_t>;
        if (m_image.bitspersample == 16) m_image.put.contig = put_grey_alpha<uint16_t>;
    }
    set_layout(PixelLayout::Rgba8);
    uint32_t profile_size = 0;
    void* profile = nullptr;
    if (TIFFGetField(m_tiff, TIFFTAG_ICCPROFILE, &profile_size, &profile) && profile && profile_size) {
        const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(profile), profile_size);
        std::shared_ptr<const ColourTransform> transform;
        if (grey) transform = ColourTransform::shared_from_icc(bytes, PixelLayout::GrayAlpha8);
        if (transform) {
            m_grey = true;
            set_layout(PixelLayout::GrayAlpha8);
        } else {
            transform = ColourTransform::shared_from_icc(bytes, PixelLayout::Rgba8);
        }
        set_transform(std::move(transform));
    }
    return true;
}

bool TiffSource::decode_row(uint8_t* row) {
    const int y = this->row();
    if (m_band_start < 0 || y >= m_band_start + m_band_rows) {
        m_band_start = y - y % m_band_rows;
        const int rows = std::min(m_band_rows, m_height - m_band_start);
        m_image.row_offset = m_band_start;
        m_image.col_offset = 0;
        if (!TIFFRGBAImageGet(&m_image, m_band.data(), uint32_t(m_width), uint32_t(rows)))
            return fail("its TIFF data is damaged or cut short");
    }
    const uint32_t* packed = m_band.data() + size_t(y - m_band_start) * size_t(m_width);
    for (int x = 0; x < m_width; ++x) {
        const uint32_t p = packed[x];
        uint32_t c[3] = {TIFFGetR(p), TIFFGetG(p), TIFFGetB(p)};
        const uint32_t a = TIFFGetA(p);
        if (m_premultiplied && a < 255)
            for (uint32_t& v : c)
                v = a == 0 ? 0 : std::min<uint32_t>(255, (v * 255 + a / 2) / a);
        if (m_grey) {
            *row++ = uint8_t(c[0]);
        } else {
            *row++ = uint8_t(c[0]);
            *row++ = uint8_t(c[1]);
            *row++ = uint8_t(c[2]);
        }
        *row++ = uint8_t(a);
    }
    return true;
}

}  // namespace

std::unique_ptr<PictureSource> open_tiff(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<TiffSource>(std::move(input));
    if (source->open()) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
