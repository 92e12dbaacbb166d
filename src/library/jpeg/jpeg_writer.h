#pragma once
// Encoding RGB rows into a JPEG on one of the program's streams through libjpeg.

#include <cstdint>
#include <memory>

#include "platform/file_stream.h"

namespace vistrel {

class JpegReader;

class JpegWriter {
public:
    // Sets up a full compression (all tables written) of width x height RGB pixels with the
    // library's defaults and the given quality, writing through a 4096-byte buffer.
    JpegWriter(OutputStream& output, int width, int height, int quality);
    ~JpegWriter();
    JpegWriter(const JpegWriter&) = delete;
    JpegWriter& operator=(const JpegWriter&) = delete;

    bool ok() const { return m_ok; }
    // Encodes the next row (3 bytes per pixel). False when the library fails or the stream
    // takes fewer bytes than it is given.
    bool write_row(const uint8_t* rgb);
    // Ends the picture and writes what is buffered; false when that fails or rows are missing.
    bool finish();

    // libjpeg's object with its destination (jpeg_writer.cpp).
    struct State;

private:
    std::unique_ptr<State> m_state;
    bool m_ok = false;
};

// Writes the picture `reader` read as coefficients (read_coefficients) to `output` as one
// sequential scan with Huffman tables made for it: the same pixels, losslessly, in the form
// our decoder follows, with the picture's ICC profile. False when the library fails or the stream
// takes fewer bytes.
bool write_baseline_copy(JpegReader& reader, OutputStream& output);

}  // namespace vistrel
