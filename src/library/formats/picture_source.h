#pragma once
// Pictures of every format we read, as rows of 8-bit sRGB: each format's library behind
// one interface. Rows come from the top of the picture as stored; the orientation says how
// it is to be turned. Transparent pixels are laid over the background colour. Formats
// whose library decodes row by row (PNG, TIFF) are read that way, so a large picture never
// has to be held whole; the others are decoded whole, within kMaxWholePixels.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "library/colour/colour_transform.h"
#include "library/formats/picture_format.h"
#include "platform/file_stream.h"

namespace vistrel {

// The colour transparent pixels are laid over, for every picture the process reads
// (0xRRGGBB; black until set). The program sets the viewer's background colour.
void set_transparency_background(uint32_t rgb);
uint32_t transparency_background();

class PictureSource {
public:
    // Pictures decoded whole may have at most this many pixels (4 bytes each, or 8 for
    // 16-bit ones, held at once); larger ones are refused before decoding.
    static constexpr uint64_t kMaxWholePixels = uint64_t(128) << 20;
    // Pictures read row by row may have as many as a JPEG.
    static constexpr uint64_t kMaxRowPixels = uint64_t(1) << 29;

    virtual ~PictureSource();

    PictureFormat format() const { return m_format; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // The EXIF orientation 1..8 its file says it is to be shown in (1: as stored).
    int orientation() const { return m_orientation; }
    // Whether the rows are converted from the picture's own colours into sRGB.
    bool converts_colours() const { return m_transform != nullptr; }
    // Rows read so far.
    int row() const { return m_row; }

    // The next row into `rgb` (3 bytes per pixel of the width). False at the end, or when
    // the picture cannot be decoded further (problem() then says why).
    bool read_row(uint8_t* rgb);
    // Why the picture could not be opened or decoded, in a few words; empty when it was.
    const std::string& problem() const { return m_problem; }
    // Whether the decode stopped before the last row because the data broke off; the rows
    // not decoded then come out grey, as a cut-short JPEG's do.
    bool cut_short() const { return m_cut_short; }

protected:
    explicit PictureSource(PictureFormat format) : m_format(format) {}
    // Decodes the next stored row into `row` (the layout's bytes per pixel of the width).
    virtual bool decode_row(uint8_t* row) = 0;
    // Sets the size, refusing a size beyond `limit` pixels (or empty) with a reason.
    bool set_size(int64_t width, int64_t height, uint64_t limit);
    // How decode_row hands over its pixels: Rgb8, Rgba8, Rgb16 or Rgba16.
    void set_layout(PixelLayout layout) { m_layout = layout; }
    PixelLayout layout() const { return m_layout; }
    void set_transform(std::shared_ptr<const ColourTransform> transform);
    void set_orientation(int orientation);
    bool fail(std::string problem);

    PictureFormat m_format;
    int m_width = 0;
    int m_height = 0;

private:
    friend std::unique_ptr<PictureSource> open_picture_source(std::unique_ptr<InputStream>,
                                                              std::u16string_view,
                                                              std::string*);
    int m_orientation = 1;
    int m_row = 0;
    bool m_cut_short = false;
    PixelLayout m_layout = PixelLayout::Rgb8;
    std::shared_ptr<const ColourTransform> m_transform;
    std::vector<uint8_t> m_stored;     // one row as decoded
    std::vector<uint8_t> m_converted;  // that row in sRGB, alpha kept
    std::string m_problem;
};

// A picture decoded whole into memory, handed out row by row.
class WholePictureSource : public PictureSource {
protected:
    using PictureSource::PictureSource;
    bool decode_row(uint8_t* row) override;
    // Sets the size and makes room for the whole picture in the layout set before.
    bool allocate(int64_t width, int64_t height);
    uint8_t* pixels() { return m_pixels.data(); }
    size_t stride() const { return m_stride; }

private:
    std::vector<uint8_t> m_pixels;
    size_t m_stride = 0;
};

// Opens the picture on `input`, of whatever format its first bytes show (`name`, its
// file's name, tells a camera RAW from a plain TIFF). Null, with `problem` (when given)
// saying why, when the format is not one we read or its header is refused.
std::unique_ptr<PictureSource> open_picture_source(std::unique_ptr<InputStream> input,
                                                   std::u16string_view name = {},
                                                   std::string* problem = nullptr);
std::unique_ptr<PictureSource> open_picture_source(const std::u16string& path,
                                                   std::string* problem = nullptr);

// Reads all of a stream into memory, refusing streams larger than `limit` bytes.
bool read_all(InputStream& input, std::vector<uint8_t>& bytes, uint64_t limit);

// Each format's reader (in a file of its own); the stream is at the picture's start.
std::unique_ptr<PictureSource> open_jpeg(std::unique_ptr<InputStream> input, std::string& problem);
std::unique_ptr<PictureSource> open_png(std::unique_ptr<InputStream> input, std::string& problem);
std::unique_ptr<PictureSource> open_gif(std::unique_ptr<InputStream> input, std::string& problem);
std::unique_ptr<PictureSource> open_webp(std::unique_ptr<InputStream> input, std::string& problem);
std::unique_ptr<PictureSource> open_tiff(std::unique_ptr<InputStream> input, std::string& problem);
std::unique_ptr<PictureSource> open_jxl(std::unique_ptr<InputStream> input, std::string& problem);
std::unique_ptr<PictureSource> open_heif(std::unique_ptr<InputStream> input, std::string& problem);
std::unique_ptr<PictureSource> open_raw(std::unique_ptr<InputStream> input, std::string& problem);

}  // namespace vistrel
