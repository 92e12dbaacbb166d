#pragma once
// Decoding a JPEG from one of the program's streams through libjpeg, row by row, as RGB.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "library/jpeg/jpeg_layout.h"
#include "platform/file_stream.h"

struct jpeg_decompress_struct;
struct jvirt_barray_control;

namespace vistrel {

class ColourTransform;

// Asked before each step of a long decode; true ends it with failure.
using StopTest = std::function<bool()>;

// Decodes a picture's MCUs for libjpeg, in place of libjpeg's own Huffman decoder.
class McuSource {
public:
    virtual ~McuSource() = default;
    // The next MCU's coefficients in natural order, one block of 64 per pointer, in
    // decoding order (null: the MCU is to be passed over). False ends the decode with
    // failure.
    virtual bool decode_mcu(int16_t* const* blocks) = 0;
};

class JpegReader {
public:
    // Pictures of more pixels than this are refused: no camera makes them, and a damaged
    // header must not make us decode for minutes.
    static constexpr uint64_t kMaxPixels = uint64_t(1) << 29;

    // Reads the header from the stream's current position through a 4096-byte buffer;
    // `input_size` is the number of bytes from there to the end of the picture.
    JpegReader(InputStream& input, uint64_t input_size);
    ~JpegReader();
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    // False when the stream is not open, the header cannot be read or the picture is refused.
    bool ok() const { return m_ok; }
    int width() const;
    int height() const;
    // Sampling factors of a component, and the number of components in the file.
    int components() const;
    int horizontal_sampling(int component) const;
    int vertical_sampling(int component) const;
    int restart_interval() const;
    // Whether the picture is one baseline-style scan: sequential, Huffman-coded, 8-bit.
    bool is_sequential_huffman() const;
    // Whether the picture is progressive or arithmetic-coded with 8 bits per sample: one a
    // lossless baseline copy (write_baseline_copy) would make followable by our decoder.
    bool is_copyable_to_baseline() const;
    // Bytes the header took: where the entropy-coded data of the first scan begins.
    uint64_t header_size() const;
    // Whether the colours are YCbCr or grey, the two our own decoder converts.
    bool is_ycc_or_grey() const;
    // Whether the picture is CMYK or YCCK; its rows still come out as RGB.
    bool is_cmyk() const;

    // Starts decoding at 1/`scale` (1, 2, 4 or 8) into sRGB: a picture with an ICC profile
    // is converted through it (see converts_colours). With the fast integer inverse
    // DCT unless `fast` is false (then the library's default). `stop` (when given) is asked
    // while multi-scan pictures are gathered.
    bool start(int scale = 1, const StopTest* stop = nullptr, bool fast = true);
    int output_width() const;
    int output_height() const;
    int output_row() const;
    // Decodes the next row into `rgb` (3 bytes per pixel of the output width). False when
    // the library fails or the input ends.
    bool read_row(uint8_t* rgb);
    // Before the first row: narrows every row to the columns [x, x + width), which the
    // library widens to whole MCUs; `x` and `width` come back as what each row then holds.
    bool crop(int& x, int& width);
    // Passes over the next `count` rows without converting them.
    bool skip_rows(int count);
    // After start: the library takes every MCU from `source` instead of decoding it itself;
    // the source must follow the picture's one scan. False (nothing changed) for pictures
    // of more than one scan or not Huffman-coded.
    bool take_mcus_from(McuSource& source);
    // In place of start: reads every scan of the picture as quantised coefficients, kept
    // until the reader goes. `stop` (when given) is asked between scans and rows.
    bool read_coefficients(const StopTest* stop = nullptr);
    // What read_coefficients read (libjpeg's arrays, one per component); null before.
    jvirt_barray_control** coefficients() const;
    // Whether the library has warned that the entropy-coded data is broken (not counting
    // what it says once the input has ended).
    bool data_damaged() const;
    // Whether the input ended before the picture did; the library then finishes the
    // picture with what it has, the rest of it grey.
    bool cut_short() const;
    // False for a picture cut short before its image data (or with only a few bytes of
    // it), or whose data is broken from its first row of MCUs on with no restart marker to
    // take up the picture again: such a picture shows nothing but grey.
    bool holds_image_data() const;
    // Input bytes not yet consumed by the library: its buffer and what is left unread.
    uint64_t unconsumed() const;
    // The picture's ICC profile from its APP2 chunks; empty when it has none or they are
    // broken.
    const std::vector<uint8_t>& icc_profile() const;
    // Whether rows are converted into sRGB through that profile (which is not done when
    // the profile is sRGB already, damaged, or does not fit the colours).
    bool converts_colours() const;
    // Before start: when RGB rows would be converted, hands over the (Rgb8) transform and
    // leaves the rows as stored, for a caller that converts them later itself; null
    // otherwise (grey and CMYK rows are still converted here).
    std::shared_ptr<const ColourTransform> take_rgb_transform();

    // The library object, for the few callers that need more of it (tile decoding).
    jpeg_decompress_struct* handle();

private:
    struct State;
    std::unique_ptr<State> m_state;
    bool m_ok = false;
    bool m_started = false;
    int m_cropped_width = 0;  // pixels in each row read
};

// Turns `count` CMYK pixels into RGB; `inverted` when the picture stores 255 - ink (those
// with an Adobe marker).
void cmyk_to_rgb(const uint8_t* cmyk, uint8_t* rgb, int count, bool inverted);

// Whether libjpeg read the same picture as our layout parser: size, components, sampling,
// restart interval and where the data begins, for a single sequential Huffman-coded scan.
// A guard against any difference in how the two read a damaged header.
bool layout_matches(const JpegLayout& layout, const JpegReader& reader);

}  // namespace vistrel
