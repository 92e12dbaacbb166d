// JPEG XL through libjxl: the first frame at 8 or 16 bits, converted from the profile libjxl
// gives for its pixels. The orientation is left to the viewer. The file is handed to the
// decoder a step at a time and its pixels come out through a callback; each row is taken
// out (and its memory given back) as soon as it is whole. A libjxl that renders groups as
// their data comes would so never have the picture held whole here; libjxl 0.7 renders
// the frame only once all its data is in, and holds it whole itself meanwhile.

#include <jxl/decode_cxx.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "library/formats/passing_buffer.h"
#include "library/formats/picture_source.h"

namespace vistrel {

namespace {

constexpr uint64_t kMaxFileBytes = uint64_t(256) << 20;
// File bytes handed over at a time: a few groups of a photo.
constexpr size_t kInputStep = size_t(64) << 10;

class JxlSource final : public PictureSource {
public:
    JxlSource() : PictureSource(PictureFormat::JpegXl) {}
    bool open(InputStream& input);

protected:
    bool decode_row(uint8_t* row) override;

private:
    // Runs the decoder to its next stop; false when it fails or has nothing more.
    bool decode_further();
    bool on_basic_info();
    void on_colour_encoding();
    bool on_output_needed();
    static void take_pixels(void* self, size_t x, size_t y, size_t count, const void* pixels);

    std::vector<uint8_t> m_bytes;  // the file
    size_t m_given = 0;            // bytes the decoder has had
    JxlDecoderPtr m_decoder;
    JxlThreadParallelRunnerPtr m_runner;
    JxlPixelFormat m_format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    size_t m_pixel_bytes = 3;
    size_t m_stride = 0;
    PassingBuffer m_rows;
    // Pixels of each row written so far; libjxl's threads add to them.
    std::vector<std::atomic<uint32_t>> m_written;
    bool m_output_set = false;
    bool m_done = false;  // the first frame is whole
};

void JxlSource::take_pixels(void* opaque, size_t x, size_t y, size_t count, const void* pixels) {
    auto& self = *static_cast<JxlSource*>(opaque);
    if (y >= size_t(self.m_height) || x >= size_t(self.m_width) ||
        count > size_t(self.m_width) - x)
        return;
    std::memcpy(self.m_rows.row(int(y)) + x * self.m_pixel_bytes, pixels,
                count * self.m_pixel_bytes);
    self.m_written[y].fetch_add(uint32_t(count), std::memory_order_release);
}

bool JxlSource::on_basic_info() {
    JxlBasicInfo info;
    if (JxlDecoderGetBasicInfo(m_decoder.get(), &info) != JXL_DEC_SUCCESS)
        return fail("its JPEG XL header cannot be read");
    const bool alpha = info.alpha_bits > 0;
    const bool wide = info.bits_per_sample > 8;
    m_format.num_channels = alpha ? 4 : 3;
    m_format.data_type = wide ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8;
    set_layout(wide ? (alpha ? PixelLayout::Rgba16 : PixelLayout::Rgb16)
                    : (alpha ? PixelLayout::Rgba8 : PixelLayout::Rgb8));
    set_orientation(int(info.orientation));
    // libjxl may hold the whole frame itself: the limit of pictures decoded whole.
    if (!set_size(info.xsize, info.ysize, kMaxWholePixels)) return false;
    m_pixel_bytes = size_t(bytes_per_pixel(layout()));
    m_stride = size_t(m_width) * m_pixel_bytes;
    if (!m_rows.reserve(m_stride, m_height)) return fail("not enough memory to decode it");
    try {
        m_written = std::vector<std::atomic<uint32_t>>(size_t(m_height));
    } catch (const std::bad_alloc&) {
        return fail("not enough memory to decode it");
    }
    return true;
}

void JxlSource::on_colour_encoding() {
    size_t size = 0;
    JxlDecoder* d = m_decoder.get();
    if (JxlDecoderGetICCProfileSize(d, &m_format, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size >= (size_t(16) << 20))
        return;
    std::vector<uint8_t> profile(size);
    if (JxlDecoderGetColorAsICCProfile(d, &m_format, JXL_COLOR_PROFILE_TARGET_DATA,
                                       profile.data(), size) == JXL_DEC_SUCCESS)
        set_transform(ColourTransform::shared_from_icc(profile, layout()));
}

bool JxlSource::on_output_needed() {
    size_t needed = 0;
    if (m_stride == 0 || m_output_set ||
        JxlDecoderImageOutBufferSize(m_decoder.get(), &m_format, &needed) != JXL_DEC_SUCCESS ||
        needed != m_stride * size_t(m_height) ||
        JxlDecoderSetImageOutCallback(m_decoder.get(), &m_format, &JxlSource::take_pixels,
                                      this) != JXL_DEC_SUCCESS)
        return fail("its JPEG XL header cannot be read");
    m_output_set = true;
    return true;
}

bool JxlSource::decode_further() {
    if (m_done) return false;
    JxlDecoder* d = m_decoder.get();
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(d);
        if (status == JXL_DEC_ERROR) return fail("its JPEG XL data is damaged");
        if (status == JXL_DEC_SUCCESS) return fail("it holds no image");
        if (status == JXL_DEC_NEED_MORE_INPUT) {
            if (m_given == m_bytes.size()) return fail("its JPEG XL data is cut short");
            // The bytes not yet taken are given again, with the next step after them.
            const size_t kept = std::min(JxlDecoderReleaseInput(d), m_given);
            const size_t from = m_given - kept;
            m_given = std::min(m_bytes.size(), m_given + kInputStep);
            if (JxlDecoderSetInput(d, m_bytes.data() + from, m_given - from) != JXL_DEC_SUCCESS)
                return fail("libjxl cannot go on");
            if (m_given == m_bytes.size()) JxlDecoderCloseInput(d);
            return true;
        }
        if (status == JXL_DEC_BASIC_INFO) {
            if (!on_basic_info()) return false;
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            on_colour_encoding();
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            if (!on_output_needed()) return false;
        } else if (status == JXL_DEC_FULL_IMAGE) {
            m_done = true;  // the first frame: an animation shows no more
            return true;
        }
    }
}

bool JxlSource::decode_row(uint8_t* row) {
    const int y = this->row();
    if (m_written.empty()) return false;
    while (m_written[size_t(y)].load(std::memory_order_acquire) < uint32_t(m_width))
        if (!decode_further()) return fail("its JPEG XL data is cut short");
    std::memcpy(row, m_rows.row(y), m_stride);
    m_rows.release_before(y + 1);
    return true;
}

bool JxlSource::open(InputStream& input) {
    if (!read_all(input, m_bytes, kMaxFileBytes)) return fail("it cannot be read");
    m_decoder = JxlDecoderMake(nullptr);
    if (!m_decoder) return fail("libjxl cannot start");
    JxlDecoder* d = m_decoder.get();
    m_runner = JxlThreadParallelRunnerMake(nullptr, 2);
    if (m_runner) JxlDecoderSetParallelRunner(d, JxlThreadParallelRunner, m_runner.get());
    m_given = std::min(m_bytes.size(), kInputStep);
    if (JxlDecoderSubscribeEvents(d, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                         JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(d, JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(d, m_bytes.data(), m_given) != JXL_DEC_SUCCESS)
        return fail("libjxl cannot start");
    if (m_given == m_bytes.size()) JxlDecoderCloseInput(d);
    // Up to the pixels: the size and colours are known before the first row is asked for.
    while (!m_output_set)
        if (!decode_further()) return false;
    return true;
}

}  // namespace

std::unique_ptr<PictureSource> open_jxl(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<JxlSource>();
    if (source->open(*input)) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
