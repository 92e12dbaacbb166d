#include "library/colour/matrix_shaper.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/vector_clones.h"

namespace vistrel {

namespace {

// sRGB's curve, from linear light.
double srgb_encoded(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

}  // namespace

std::optional<std::array<double, 9>> MatrixShaper::matrix_between(const std::array<double, 9>& from,
                                                                  const std::array<double, 9>& to) {
    const auto& m = to;
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (!std::isfinite(det) || std::fabs(det) < 1e-9) return std::nullopt;
    const std::array<double, 9> inverse{
        (m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
        (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
        (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
        (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
        (m[0] * m[4] - m[1] * m[3]) / det};
    std::array<double, 9> product{};
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 3; ++c)
            for (size_t k = 0; k < 3; ++k)
                product[3 * r + c] += inverse[3 * r + k] * from[3 * k + c];
    return product;
}

MatrixShaper::MatrixShaper(const std::array<std::array<double, 256>, 3>& linear,
                           const std::array<double, 9>& matrix) {
    for (size_t c = 0; c < 3; ++c)
        for (size_t v = 0; v < 256; ++v)
            m_linear[c][v] =
                int32_t(std::lround(std::clamp(linear[c][v], 0.0, 1.0) * (1 << kLinearBits)));
    for (size_t i = 0; i < 9; ++i)
        m_matrix[i] = int32_t(std::lround(std::clamp(matrix[i], -kMaxCoefficient, kMaxCoefficient) *
                                          (1 << kMatrixBits)));
    const int entries = 1 << kEncodeBits;
    m_encode.resize(size_t(entries));
    for (int i = 0; i < entries; ++i)
        m_encode[size_t(i)] =
            uint8_t(std::lround(255 * srgb_encoded(double(i) / double(entries - 1))));
}

// One run of pixels of `Step` bytes into `out`, which does not overlap `in`.
template <int Step>
void MatrixShaper::convert_run(const uint8_t* __restrict in, uint8_t* __restrict out,
                               int count) const {
    constexpr int shift = kLinearBits + kMatrixBits - kEncodeBits;
    constexpr int32_t top = (1 << kEncodeBits) - 1;
    constexpr int32_t round = 1 << (shift - 1);
    const int32_t* m = m_matrix.data();
    const int32_t* red = m_linear[0].data();
    const int32_t* green = m_linear[1].data();
    const int32_t* blue = m_linear[2].data();
    const uint8_t* encode = m_encode.data();
    // Sums stay below 2^31: three products of linear light (up to 2^14) and coefficients
    // (up to 8 << 12 = 2^15).
    for (int i = 0; i < count; ++i) {
        const int32_t r = red[in[Step * i]], g = green[in[Step * i + 1]],
                      b = blue[in[Step * i + 2]];
        const int32_t x = (m[0] * r + m[1] * g + m[2] * b + round) >> shift;
        const int32_t y = (m[3] * r + m[4] * g + m[5] * b + round) >> shift;
        const int32_t z = (m[6] * r + m[7] * g + m[8] * b + round) >> shift;
        out[Step * i] = encode[x < 0 ? 0 : x > top ? top : x];
        out[Step * i + 1] = encode[y < 0 ? 0 : y > top ? top : y];
        out[Step * i + 2] = encode[z < 0 ? 0 : z > top ? top : z];
        if constexpr (Step == 4) out[Step * i + 3] = in[Step * i + 3];
    }
}

VISTREL_VECTOR_CLONES void MatrixShaper::convert(const uint8_t* in, uint8_t* out, size_t count,
                                                 int step) const {
    // Through a buffer of its own, a run at a time, so that `in` may be `out`.
    constexpr size_t kRun = 256;
    uint8_t buffer[4 * kRun];
    for (size_t done = 0; done < count;) {
        const size_t n = std::min(kRun, count - done);
        const size_t bytes = n * size_t(step);
        if (step == 4)
            convert_run<4>(in, buffer, int(n));
        else
            convert_run<3>(in, buffer, int(n));
        std::memcpy(out, buffer, bytes);
        in += bytes;
        out += bytes;
        done += n;
    }
}

}  // namespace vistrel
