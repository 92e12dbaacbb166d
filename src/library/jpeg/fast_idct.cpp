#include "library/jpeg/fast_idct.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "library/jpeg/entropy_decoder.h"
#include "render/vector_clones.h"

namespace vistrel {

namespace {

// Eight 32-bit lanes: one row (or column) of a block at a time.
using Lanes = int32_t __attribute__((vector_size(32)));
using Bytes = uint8_t __attribute__((vector_size(8)));

// Fixed-point constants, 8 fractional bits; each product is shifted back at once.
constexpr int kFractionBits = 8;
constexpr int32_t kSqrt2 = 362;               // sqrt(2)
constexpr int32_t kTwoCos1Pi8 = 473;          // 2 cos(pi/8)
constexpr int32_t kTwoCos1Pi8MinusCos = 277;  // 2 (cos(pi/8) - cos(3pi/8))
constexpr int32_t kTwoCos1Pi8PlusCos = 669;   // 2 (cos(pi/8) + cos(3pi/8))

// Dequantised coefficients keep this many fractional bits through the first pass.
constexpr int kPassBits = 2;
// The output of the second pass carries kPassBits and the factor 8 of the transform.
constexpr int kOutputShift = kPassBits + 3;

// Dequantised values of real pictures stay far below this; clamping damaged ones keeps
// every intermediate of both passes inside 32 bits.
constexpr int32_t kCoefficientLimit = 16383;

// One 8-point inverse transform of in[0..7] (frequency order) into out[0..7], on single
// values or on eight lanes at once.
template <typename T>
__attribute__((always_inline)) inline void butterflies(const T* in, T* out) {
    // Even part: inputs 0, 2, 4, 6.
    const T sum04 = in[0] + in[4];
    const T difference04 = in[0] - in[4];
    const T sum26 = in[2] + in[6];
    const T rotated26 = ((in[2] - in[6]) * kSqrt2 >> kFractionBits) - sum26;
    const T even0 = sum04 + sum26;
    const T even3 = sum04 - sum26;
    const T even1 = difference04 + rotated26;
    const T even2 = difference04 - rotated26;

    // Odd part: inputs 1, 3, 5, 7.
    const T sum53 = in[5] + in[3];
    const T difference53 = in[5] - in[3];
    const T sum17 = in[1] + in[7];
    const T difference17 = in[1] - in[7];
    const T odd7 = sum17 + sum53;
    const T middle = (sum17 - sum53) * kSqrt2 >> kFractionBits;
    const T common = (difference53 + difference17) * kTwoCos1Pi8 >> kFractionBits;
    const T left = ((difference17)*kTwoCos1Pi8MinusCos >> kFractionBits) - common;
    const T right = (difference53 * -kTwoCos1Pi8PlusCos >> kFractionBits) + common;
    const T odd6 = right - odd7;
    const T odd5 = middle - odd6;
    const T odd4 = left + odd5;

    out[0] = even0 + odd7;
    out[7] = even0 - odd7;
    out[1] = even1 + odd6;
    out[6] = even1 - odd6;
    out[2] = even2 + odd5;
    out[5] = even2 - odd5;
    out[4] = even3 + odd4;
    out[3] = even3 - odd4;
}

__attribute__((always_inline)) inline void transpose(const Lanes* in, Lanes* out) {
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            out[i][j] = in[j][i];
}

inline uint8_t to_sample(int32_t value) {
    return static_cast<uint8_t>(std::clamp((value >> kOutputShift) + 128, 0, 255));
}

// The scale of frequency k in the factorisation: 1 for k = 0, else sqrt(2) cos(k pi / 16).
double frequency_scale(int k) {
    return k == 0 ? 1.0 : std::numbers::sqrt2 * std::cos(k * std::numbers::pi / 16);
}

// Both passes over a block with AC terms: columns first, eight at a time in the lanes,
// then rows.
VISTREL_VECTOR_CLONES void transform_block(const int16_t* coefficients, const int32_t* multipliers,
                                           uint8_t* out, ptrdiff_t stride) {
    Lanes rows[8], columns[8], transposed[8];
    for (int u = 0; u < 8; ++u) {
        Lanes value, multiplier;
        for (int c = 0; c < 8; ++c) {
            value[c] = coefficients[8 * u + c];
            multiplier[c] = multipliers[8 * u + c];
        }
        value *= multiplier;
        value = value > kCoefficientLimit ? kCoefficientLimit : value;
        rows[u] = value < -kCoefficientLimit ? -kCoefficientLimit : value;
    }
    butterflies(rows, columns);      // columns[y]: row y of the half-transformed block
    transpose(columns, transposed);  // transposed[u]: frequency u of every row
    butterflies(transposed, rows);   // rows[x]: column x of the samples
    for (int x = 0; x < 8; ++x) {
        Lanes sample = (rows[x] >> kOutputShift) + 128;
        sample = sample < 0 ? 0 : sample;
        rows[x] = sample > 255 ? 255 : sample;
    }
    transpose(rows, columns);  // columns[y]: row y of the samples
    for (int y = 0; y < 8; ++y) {
        const Bytes bytes = __builtin_convertvector(columns[y], Bytes);
        std::memcpy(out + y * stride, &bytes, 8);
    }
}

}  // namespace

void FastIdct::set_table(const QuantTable& table) {
    for (int zigzag = 0; zigzag < 64; ++zigzag) {
        const int natural = kNaturalOrder[zigzag];
        const int u = natural / 8, v = natural % 8;
        const auto scale =
            static_cast<int64_t>(std::lround(frequency_scale(u) * frequency_scale(v) * (1 << 14)));
        const int64_t multiplier = (table.values[zigzag] * scale + (1 << 11)) >> (14 - kPassBits);
        // A damaged table must not overflow the products below.
        m_multipliers[natural] = static_cast<int32_t>(std::min<int64_t>(multiplier, 1 << 15));
    }
}

void FastIdct::transform(const int16_t* coefficients, uint8_t* out, ptrdiff_t stride) const {
    int32_t any_ac = 0;
    for (int k = 1; k < 64; ++k)
        any_ac |= coefficients[k];
    if (any_ac) {
        transform_block(coefficients, m_multipliers.data(), out, stride);
        return;
    }
    // A flat block: every sample is the DC term.
    const int32_t dc =
        std::clamp(coefficients[0] * m_multipliers[0], -kCoefficientLimit, kCoefficientLimit);
    const uint8_t sample = to_sample(dc);
    for (int y = 0; y < 8; ++y)
        std::memset(out + y * stride, sample, 8);
}

}  // namespace vistrel
