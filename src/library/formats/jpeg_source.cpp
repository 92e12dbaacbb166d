// JPEG through our libjpeg reader, for callers that take every format alike (a camera
// RAW's preview, the tool's conversions).

#include "library/formats/picture_source.h"
#include "library/jpeg/jpeg_reader.h"
#include "library/jpeg/orientation.h"

namespace vistrel {

namespace {

class JpegSource final : public PictureSource {
public:
    explicit JpegSource(std::unique_ptr<InputStream> input)
        : PictureSource(PictureFormat::Jpeg), m_input(std::move(input)) {}
    bool open() {
        const int orientation = read_orientation(*m_input);
        if (!m_input->seek(0)) return fail("it cannot be read");
        m_reader = std::make_unique<JpegReader>(*m_input, m_input->size());
        if (!m_reader->ok()) return fail("its JPEG header cannot be read");
        if (!set_size(m_reader->width(), m_reader->height(), kMaxRowPixels)) return false;
        set_orientation(orientation);
        if (!m_reader->start()) return fail("its JPEG data cannot be decoded");
        return true;
    }

protected:
    bool decode_row(uint8_t* row) override {
        return m_reader->read_row(row) || fail("its JPEG data cannot be decoded");
    }

private:
    std::unique_ptr<InputStream> m_input;
    std::unique_ptr<JpegReader> m_reader;
};

}  // namespace

std::unique_ptr<PictureSource> open_jpeg(std::unique_ptr<InputStream> input, std::string& problem) {
    auto source = std::make_unique<JpegSource>(std::move(input));
    if (source->open()) return source;
    problem = source->problem();
    return nullptr;
}

}  // namespace vistrel
