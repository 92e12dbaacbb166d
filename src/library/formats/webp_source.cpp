// WebP through libwebp: lossy, lossless, with or without alpha; an animation shows its
// first frame. The ICCP chunk converts the colours. A still picture is decoded
// incrementally, its rows taken out as they come and their memory given back; libwebp
// itself holds a lossless picture (and a lossy one's alpha) whole, so those keep the limit
// of pictures decoded whole.

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "library/formats/passing_buffer.h"
#include "library/formats/picture_source.h"

namespace vistrel {

namespace {

constexpr uint64_t kMaxFileBytes = uint64_t(256) << 20;
// Bytes handed to the decoder at a time: each step decodes a few dozen rows of a photo.
constexpr size_t kInputStep = size_t(64) << 10;

struct DemuxCloser {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimCloser {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
struct IncrementalCloser {
    void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};

class WebPSource final : public PictureSource {
public:
    WebPSource() : PictureSource(PictureFormat::WebP) {}
    bool open(InputStream& input);

protected:
    bool decode_row(uint8_t* row) override;

private:
    bool first_frame(const WebPData& data);
    bool start_incremental();
    // Hands the decoder more of the file; false when it fails or the file is at its end.
    bool decode_further();

    std::vector<uint8_t> m_bytes;  // the file
    size_t m_stride = 0;
    std::vector<uint8_t> m_frame;  // an animation's first frame, whole
    PassingBuffer m_rows;          // a still picture, as decoded
    WebPDecBuffer m_output{};      // where the decoder puts it: the decoder keeps a pointer
    std::unique_ptr<WebPIDecoder, IncrementalCloser> m_decoder;
    size_t m_given = 0;  // file bytes the decoder has
    int m_ready = 0;     // rows decoded
    bool m_done = false;
};

bool WebPSource::first_frame(const WebPData& data) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return fail("libwebp cannot start");
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    std::unique_ptr<WebPAnimDecoder, AnimCloser> decoder(WebPAnimDecoderNew(&data, &options));
    if (!decoder) return fail("its WebP animation cannot be read");
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) || int64_t(info.canvas_width) != m_width ||
        int64_t(info.canvas_height) != m_height)
        return fail("its WebP animation cannot be read");
    uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp) || !frame)
        return fail("its first WebP frame cannot be decoded");
    try {
        m_frame.assign(frame, frame + m_stride * size_t(m_height));
    } catch (const std::bad_alloc&) {
        return fail("not enough memory to decode it");
    }
    return true;
}

bool WebPSource::start_incremental() {
    if (!m_rows.reserve(m_stride, m_height)) return fail("not enough memory to decode it");
    if (!WebPInitDecBuffer(&m_output)) return fail("libwebp cannot start");
    m_output.colorspace = has_alpha(layout()) ? MODE_RGBA : MODE_RGB;
    m_output.is_external_memory = 1;
    m_output.u.RGBA.rgba = m_rows.data();
    m_output.u.RGBA.stride = int(m_stride);
    m_output.u.RGBA.size = m_rows.size();
    m_decoder.reset(WebPINewDecoder(&m_output));
    return m_decoder || fail("libwebp cannot start");
}

bool WebPSource::decode_further() {
    if (m_done) return false;
    if (m_given == m_bytes.size()) return fail("its WebP data is cut short");
    m_given = std::min(m_bytes.size(), m_given + kInputStep);
    const VP8StatusCode status = WebPIUpdate(m_decoder.get(), m_bytes.data(), m_given);
    if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED)
        return fail("its WebP data is damaged");
    int last = 0, width = 0, height = 0, stride = 0;
    if (WebPIDecGetRGB(m_decoder.get(), &last, &width, &height, &stride)) {
        if (width != m_width || height != m_height || size_t(stride) != m_stride)
            return fail("its WebP data is damaged");
        m_ready = std::clamp(last, m_ready, m_height);
    }
    if (status == VP8_STATUS_OK) {
        m_done = true;
        m_ready = m_height;
    }
    return true;
}

bool WebPSource::decode_row(uint8_t* row) {
    const int y = this->row();
    if (!m_frame.empty()) {
        std::memcpy(row, m_frame.data() + size_t(y) * m_stride, m_stride);
        return true;
    }
    if (!m_decoder) return false;
    while (m_ready <= y)
        if (!decode_further()) return m_ready > y || fail("its WebP data is cut short");
    std::memcpy(row, m_rows.row(y), m_stride);
    m_rows.release_before(y + 1);
    return true;
}

bool WebPSource::open(InputStream& input) {
    if (!read_all(input, m_bytes, kMaxFileBytes)) return fail("it cannot be read");
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(m_bytes.data(), m_bytes.size(), &features) != VP8_STATUS_OK)
        return fail("its WebP header cannot be read");
    const WebPData data{m_bytes.data(), m_bytes.size()};
    std::unique_ptr<WebPDemuxer, DemuxCloser> demux(WebPDemux(&data));
    const bool alpha = features.has_alpha || features.has_animation;
    set_layout(alpha ? PixelLayout::Rgba8 : PixelLayout::Rgb8);
    int64_t width = features.width, height = features.height;
    if (features.has_animation && demux) {
        width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
        height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    }
    // Only a lossy picture without alpha passes through libwebp row by row.
    const bool streamed = !features.has_animation && !alpha && features.format == 1;
    if (!set_size(width, height, streamed ? kMaxRowPixels : kMaxWholePixels)) return false;
    m_stride = size_t(m_width) * size_t(bytes_per_pixel(layout()));
    if (demux && (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG)) {
        WebPChunkIterator chunk;
        if (WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) {
            set_transform(ColourTransform::shared_from_icc(
                std::span<const uint8_t>(chunk.chunk.bytes, chunk.chunk.size), layout()));
            WebPDemuxReleaseChunkIterator(&chunk);
        }
    }
    if (features.has_animation) {
        const bool decoded = first_frame(data);
        m_bytes = {};
        return decoded;
    }
    // The first rows now, so that a picture with none decodable is refused at once.
    return start_incremental() && (decode_further() || m_ready > 0);
}

}  // namespace

std::unique_ptr<PictureSource> open_webp(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<WebPSource>();
    if (source->open(*input)) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
