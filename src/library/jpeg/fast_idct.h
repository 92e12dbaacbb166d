#pragma once
// Dequantisation and the fast integer inverse DCT of our tile decoder: the scaled
// factorisation that needs five multiplications per eight samples, in 8-bit fixed point,
// with the factorisation's scale folded into the dequantisation multipliers.

#include <array>
#include <cstddef>
#include <cstdint>

#include "library/jpeg/jpeg_layout.h"

namespace vistrel {

class FastIdct {
public:
    // Multipliers for a quantisation table (stored in zig-zag order).
    void set_table(const QuantTable& table);

    // Dequantises one block of coefficients (natural order) and writes its 8 x 8 samples,
    // rows `stride` bytes apart.
    void transform(const int16_t* coefficients, uint8_t* out, ptrdiff_t stride) const;

    // The multiplier of each coefficient (natural order), for tests.
    const std::array<int32_t, 64>& multipliers() const { return m_multipliers; }

private:
    alignas(32) std::array<int32_t, 64> m_multipliers{};
};

}  // namespace vistrel
