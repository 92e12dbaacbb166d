// WebP through libwebp: lossy, lossless, with or without alpha; an animation shows its
// first frame. The ICCP chunk converts the colours.

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <vector>

#include "library/formats/picture_source.h"

namespace vistrel {

namespace {

constexpr uint64_t kMaxFileBytes = uint64_t(256) << 20;

struct DemuxCloser {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimCloser {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

class WebPSource final : public WholePictureSource {
public:
    WebPSource() : WholePictureSource(PictureFormat::WebP) {}
    bool open(InputStream& input);

private:
    bool first_frame(const WebPData& data);
};

bool WebPSource::first_frame(const WebPData& data) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return fail("libwebp cannot start");
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    std::unique_ptr<WebPAnimDecoder, AnimCloser> decoder(WebPAnimDecoderNew(&data, &options));
    if (!decoder) return fail("its WebP animation cannot be read");
    uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp) || !frame)
        return fail("its first WebP frame cannot be decoded");
    std::memcpy(pixels(), frame, stride() * size_t(m_height));
    return true;
}

bool WebPSource::open(InputStream& input) {
    std::vector<uint8_t> bytes;
    if (!read_all(input, bytes, kMaxFileBytes)) return fail("it cannot be read");
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK)
        return fail("its WebP header cannot be read");
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPDemuxer, DemuxCloser> demux(WebPDemux(&data));
    const bool alpha = features.has_alpha || features.has_animation;
    set_layout(alpha ? PixelLayout::Rgba8 : PixelLayout::Rgb8);
    int64_t width = features.width, height = features.height;
    if (features.has_animation && demux) {
        width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
        height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    }
    if (!allocate(width, height)) return false;
    if (demux && (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG)) {
        WebPChunkIterator chunk;
        if (WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) {
            set_transform(ColourTransform::shared_from_icc(
                std::span<const uint8_t>(chunk.chunk.bytes, chunk.chunk.size), layout()));
            WebPDemuxReleaseChunkIterator(&chunk);
        }
    }
    if (features.has_animation) return first_frame(data);
    const size_t size = stride() * size_t(m_height);
    const uint8_t* done =
        alpha ? WebPDecodeRGBAInto(bytes.data(), bytes.size(), pixels(), size, int(stride()))
              : WebPDecodeRGBInto(bytes.data(), bytes.size(), pixels(), size, int(stride()));
    return done != nullptr || fail("its WebP data is damaged or cut short");
}

}  // namespace

std::unique_ptr<PictureSource> open_webp(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<WebPSource>();
    if (source->open(*input)) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
