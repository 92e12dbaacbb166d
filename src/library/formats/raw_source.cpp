// Camera RAW through libraw: the embedded JPEG preview when it is at least half the size
// of the sensor's picture (it is then what the camera made of it), else the picture
// demosaiced at half size, in sRGB with the camera's white balance. A preview that is cut
// short or does not read is passed over for the raw data.

#include <libraw/libraw.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "library/formats/picture_source.h"
#include "platform/trace.h"

namespace vistrel {

namespace {

constexpr uint64_t kMaxFileBytes = uint64_t(512) << 20;

// libraw's flip (0, 3: half a turn, 5: a quarter to the left, 6: to the right) as an EXIF
// orientation.
int orientation_of_flip(int flip) {
    switch (flip) {
        case 3:
            return 3;
        case 5:
            return 8;
        case 6:
            return 6;
        default:
            return 1;
    }
}

// Whether a JPEG ends as a whole one does: its end-of-image marker among its last bytes
// (some cameras pad the preview after it).
bool ends_whole(const uint8_t* jpeg, size_t size) {
    constexpr size_t kPadding = 4096;
    const size_t from = size > kPadding ? size - kPadding : 0;
    for (size_t i = size; i-- > from + 1;)
        if (jpeg[i - 1] == 0xFF && jpeg[i] == 0xD9) return true;
    return false;
}

struct ProcessedFree {
    void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};

class RawSource final : public PictureSource {
public:
    RawSource() : PictureSource(PictureFormat::Raw), m_raw(std::make_unique<LibRaw>(0)) {}
    bool open(InputStream& input);

protected:
    bool decode_row(uint8_t* row) override;

private:
    bool open_preview();
    bool demosaic();

    std::vector<uint8_t> m_bytes;
    std::unique_ptr<LibRaw> m_raw;
    std::unique_ptr<PictureSource> m_preview;
    std::unique_ptr<libraw_processed_image_t, ProcessedFree> m_image;
};

bool RawSource::open_preview() {
    if (m_raw->unpack_thumb() != LIBRAW_SUCCESS) return false;
    const libraw_thumbnail_t& thumb = m_raw->imgdata.thumbnail;
    if (thumb.tformat != LIBRAW_THUMBNAIL_JPEG || !thumb.thumb || thumb.tlength == 0) return false;
    if (!ends_whole(reinterpret_cast<const uint8_t*>(thumb.thumb), thumb.tlength)) {
        trace() << "raw: its preview is cut short\n";
        return false;
    }
    std::vector<uint8_t> jpeg(thumb.thumb, thumb.thumb + thumb.tlength);
    std::string why;
    auto preview = open_jpeg(std::make_unique<MemoryStream>(std::move(jpeg)), why);
    if (!preview) {
        trace() << "raw: its preview cannot be read (" << why << ")\n";
        return false;
    }
    const int sensor = std::max<int>(m_raw->imgdata.sizes.width, m_raw->imgdata.sizes.height);
    if (2 * std::max(preview->width(), preview->height()) < sensor) return false;
    if (!set_size(preview->width(), preview->height(), kMaxRowPixels)) return false;
    set_orientation(preview->orientation() != 1 ? preview->orientation()
                                                : orientation_of_flip(m_raw->imgdata.sizes.flip));
    m_preview = std::move(preview);
    return true;
}

bool RawSource::demosaic() {
    const libraw_image_sizes_t& sizes = m_raw->imgdata.sizes;
    if (uint64_t(sizes.raw_width) * sizes.raw_height > kMaxWholePixels)
        return fail("it is too large");
    m_raw->imgdata.params.half_size = 1;
    m_raw->imgdata.params.use_camera_wb = 1;
    m_raw->imgdata.params.output_bps = 8;
    m_raw->imgdata.params.output_color = 1;  // sRGB
    if (m_raw->unpack() != LIBRAW_SUCCESS) return fail("its raw data cannot be read");
    if (m_raw->dcraw_process() != LIBRAW_SUCCESS) return fail("its raw data cannot be decoded");
    int error = 0;
    m_image.reset(m_raw->dcraw_make_mem_image(&error));
    if (!m_image || error != LIBRAW_SUCCESS || m_image->type != LIBRAW_IMAGE_BITMAP ||
        m_image->colors != 3 || m_image->bits != 8)
        return fail("its raw data cannot be decoded");
    if (!set_size(m_image->width, m_image->height, kMaxWholePixels)) return false;
    if (uint64_t(m_image->data_size) < uint64_t(m_width) * m_height * 3)
        return fail("its raw data cannot be decoded");
    set_orientation(1);  // libraw has turned the pixels already
    return true;
}

bool RawSource::open(InputStream& input) {
    if (!read_all(input, m_bytes, kMaxFileBytes)) return fail("it cannot be read");
    m_raw->imgdata.params.max_raw_memory_mb = 1024;
    if (m_raw->open_buffer(m_bytes.data(), m_bytes.size()) != LIBRAW_SUCCESS)
        return fail("its RAW header cannot be read");
    set_layout(PixelLayout::Rgb8);
    if (open_preview()) return true;
    return demosaic();
}

bool RawSource::decode_row(uint8_t* row) {
    if (m_preview) return m_preview->read_row(row) || fail(m_preview->problem());
    std::memcpy(row, m_image->data + size_t(this->row()) * size_t(m_width) * 3, size_t(m_width) * 3);
    return true;
}

}  // namespace

std::unique_ptr<PictureSource> open_raw(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<RawSource>();
    if (source->open(*input)) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
