// JPEG XL through libjxl: the first frame, decoded whole at 8 or 16 bits, converted from
// the profile libjxl gives for its pixels. The orientation is left to the viewer.

#include <jxl/decode_cxx.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <vector>

#include "library/formats/picture_source.h"

namespace vistrel {

namespace {

constexpr uint64_t kMaxFileBytes = uint64_t(256) << 20;

class JxlSource final : public WholePictureSource {
public:
    JxlSource() : WholePictureSource(PictureFormat::JpegXl) {}
    bool open(InputStream& input);
};

bool JxlSource::open(InputStream& input) {
    std::vector<uint8_t> bytes;
    if (!read_all(input, bytes, kMaxFileBytes)) return fail("it cannot be read");
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    if (!decoder) return fail("libjxl cannot start");
    JxlDecoder* d = decoder.get();
    JxlThreadParallelRunnerPtr runner = JxlThreadParallelRunnerMake(nullptr, 2);
    if (runner) JxlDecoderSetParallelRunner(d, JxlThreadParallelRunner, runner.get());
    if (JxlDecoderSubscribeEvents(d, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                         JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(d, JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(d, bytes.data(), bytes.size()) != JXL_DEC_SUCCESS)
        return fail("libjxl cannot start");
    JxlDecoderCloseInput(d);
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    bool sized = false;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(d);
        if (status == JXL_DEC_ERROR) return fail("its JPEG XL data is damaged");
        if (status == JXL_DEC_NEED_MORE_INPUT) return fail("its JPEG XL data is cut short");
        if (status == JXL_DEC_SUCCESS) return fail("it holds no image");
        if (status == JXL_DEC_BASIC_INFO) {
            JxlBasicInfo info;
            if (JxlDecoderGetBasicInfo(d, &info) != JXL_DEC_SUCCESS)
                return fail("its JPEG XL header cannot be read");
            const bool alpha = info.alpha_bits > 0;
            const bool wide = info.bits_per_sample > 8;
            format.num_channels = alpha ? 4 : 3;
            format.data_type = wide ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8;
            set_layout(wide ? (alpha ? PixelLayout::Rgba16 : PixelLayout::Rgb16)
                            : (alpha ? PixelLayout::Rgba8 : PixelLayout::Rgb8));
            set_orientation(int(info.orientation));
            if (!allocate(info.xsize, info.ysize)) return false;
            sized = true;
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            size_t size = 0;
            if (JxlDecoderGetICCProfileSize(d, &format, JXL_COLOR_PROFILE_TARGET_DATA, &size) ==
                    JXL_DEC_SUCCESS &&
                size > 0 && size < (size_t(16) << 20)) {
                std::vector<uint8_t> profile(size);
                if (JxlDecoderGetColorAsICCProfile(d, &format, JXL_COLOR_PROFILE_TARGET_DATA,
                                                   profile.data(), size) == JXL_DEC_SUCCESS)
                    set_transform(ColourTransform::shared_from_icc(profile, layout()));
            }
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            size_t needed = 0;
            if (!sized || JxlDecoderImageOutBufferSize(d, &format, &needed) != JXL_DEC_SUCCESS ||
                needed != stride() * size_t(m_height))
                return fail("its JPEG XL header cannot be read");
            if (JxlDecoderSetImageOutBuffer(d, &format, pixels(), needed) != JXL_DEC_SUCCESS)
                return fail("its JPEG XL header cannot be read");
        } else if (status == JXL_DEC_FULL_IMAGE) {
            return true;  // the first frame: an animation shows no more
        }
    }
}

}  // namespace

std::unique_ptr<PictureSource> open_jxl(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<JxlSource>();
    if (source->open(*input)) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
