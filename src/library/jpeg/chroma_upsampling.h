#pragma once
// Chroma upsampling of our tile decoder: the triangle ("fancy") filters that weigh the
// nearer chroma sample three times the farther one, across rows and across columns, as
// libjpeg does by default, so that tiles match its decoding of the whole picture. Chroma
// outside the picture is the edge sample repeated.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistrel {

// One output row's chroma samples from the chroma plane of a component with horizontal
// factor `h` and vertical factor `v` (1 or 2) relative to the luminance.
class ChromaUpsampler {
public:
    // `width` is the component's real width in samples (the picture's width divided by
    // its horizontal factor, rounded up).
    ChromaUpsampler() = default;
    ChromaUpsampler(int h, int v, int width);

    // Writes the chroma of output columns [x, x + count) of one output row. `near` is the
    // chroma row holding that output row, `far` the row on the other side of it (the one
    // above for even output rows, below for odd ones; `near` itself at the picture's top
    // and bottom, and when v is 1). `odd_row` tells which of the two the output row is.
    // Both rows are indexed by component column minus `plane_column`, and must hold the
    // columns the filter reaches, clamped to the component's width.
    void row(const uint8_t* near, const uint8_t* far, bool odd_row, int plane_column, int x,
             int count, uint8_t* out);

    size_t held_bytes() const { return m_sums.capacity() * 2 + m_pairs.capacity(); }

private:
    int m_h = 1;
    int m_v = 1;
    int m_width = 1;
    bool m_triangle_across = false;  // libjpeg repeats samples instead when a component is tiny
    std::vector<int16_t> m_sums;
    std::vector<uint8_t> m_pairs;
};

}  // namespace vistrel
