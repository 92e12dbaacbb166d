#include "library/jpeg/chroma_upsampling.h"

#include <algorithm>

#include "render/vector_clones.h"

namespace vistrel {

namespace {

// 3 parts of the nearer row and 1 of the farther, rounded: the filter down the rows alone.
VISTREL_VECTOR_CLONES void blend_rows(const uint8_t* near, const uint8_t* far, int bias,
                                      uint8_t* out, int count) {
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<uint8_t>((3 * near[i] + far[i] + bias) >> 2);
}

// Sums of the filter down the rows, kept unrounded for the filter across.
VISTREL_VECTOR_CLONES void sum_rows(const uint8_t* near, const uint8_t* far, int16_t* out,
                                    int count) {
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(3 * near[i] + far[i]);
}

VISTREL_VECTOR_CLONES void widen(const uint8_t* in, int16_t* out, int count) {
    for (int i = 0; i < count; ++i)
        out[i] = in[i];
}

// The filter across: two outputs per sample s, 3 parts of s and 1 of its left neighbour
// for the even output, of its right neighbour for the odd one. `sums` holds the samples
// from one before the first to one after the last.
VISTREL_VECTOR_CLONES void double_across(const int16_t* sums, int samples, int even_bias,
                                         int odd_bias, int shift, uint8_t* out) {
    for (int i = 0; i < samples; ++i) {
        const int centre = 3 * sums[i + 1];
        out[2 * i] = static_cast<uint8_t>((centre + sums[i] + even_bias) >> shift);
        out[2 * i + 1] = static_cast<uint8_t>((centre + sums[i + 2] + odd_bias) >> shift);
    }
}

}  // namespace

ChromaUpsampler::ChromaUpsampler(int h, int v, int width)
    : m_h(h), m_v(v), m_width(width), m_triangle_across(width > 2) {}

void ChromaUpsampler::row(const uint8_t* near, const uint8_t* far, bool odd_row, int plane_column,
                          int x, int count, uint8_t* out) {
    if (count <= 0) return;
    if (m_h == 1) {
        const uint8_t* n = near + (x - plane_column);
        if (m_v == 1)
            std::copy_n(n, count, out);
        else
            blend_rows(n, far + (x - plane_column), odd_row ? 2 : 1, out, count);
        return;
    }
    const int first = x >> 1;
    const int last = (x + count - 1) >> 1;
    if (!m_triangle_across) {
        // A tiny component: each sample repeated, rows and columns alike.
        for (int i = 0; i < count; ++i)
            out[i] = near[std::clamp((x + i) >> 1, 0, m_width - 1) - plane_column];
        return;
    }
    // Samples [first - 1, last + 1], the outer two clamped to the component's edges.
    const int samples = last - first + 1;
    m_sums.resize(size_t(samples) + 2);
    m_pairs.resize(2 * size_t(samples));
    int16_t* sums = m_sums.data();
    const int inner_first = std::max(first - 1, 0);
    const int inner_last = std::min(last + 1, m_width - 1);
    const int inner = inner_last - inner_first + 1;
    int16_t* inner_sums = sums + (inner_first - (first - 1));
    if (m_v == 2)
        sum_rows(near + (inner_first - plane_column), far + (inner_first - plane_column),
                 inner_sums, inner);
    else
        widen(near + (inner_first - plane_column), inner_sums, inner);
    if (first == 0) sums[0] = sums[1];
    if (last + 1 >= m_width) sums[samples + 1] = sums[samples];
    if (m_v == 2)
        double_across(sums, samples, 8, 7, 4, m_pairs.data());
    else
        double_across(sums, samples, 1, 2, 2, m_pairs.data());
    std::copy_n(m_pairs.data() + (x - 2 * first), count, out);
}

}  // namespace vistrel
