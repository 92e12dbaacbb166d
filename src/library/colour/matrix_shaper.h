#pragma once
// The quick way into sRGB for the profiles most pictures carry (RGB with three curves and a
// matrix: Adobe RGB, Display P3, ProPhoto...): each stored value through a table into
// linear light, one 3 x 3 matrix into sRGB's linear light, and a table into sRGB's curve,
// in integer arithmetic. Made from figures lcms2 works out; checked against lcms2's own
// transform before it is used (colour_transform.cpp).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vistrel {

class MatrixShaper {
public:
    // `linear[c][v]`: the linear light (0..1) of the stored value v of channel c; `matrix`:
    // from the picture's linear RGB to sRGB's, row by row.
    MatrixShaper(const std::array<std::array<double, 256>, 3>& linear,
                 const std::array<double, 9>& matrix);

    // The matrix from one RGB's linear light to another's, each given by its primaries'
    // XYZ (columns red, green, blue); nothing when the second cannot be inverted.
    static std::optional<std::array<double, 9>> matrix_between(const std::array<double, 9>& from,
                                                               const std::array<double, 9>& to);

    // Converts `count` pixels of `step` bytes (3: RGB, 4: RGBA, alpha copied) into as many of
    // `step` bytes. `in` and `out` may be the same.
    void convert(const uint8_t* in, uint8_t* out, size_t count, int step) const;

    // Coefficients beyond this are held at it (the check against lcms2 then refuses).
    static constexpr double kMaxCoefficient = 8;

private:
    template <int Step>
    void convert_run(const uint8_t* __restrict in, uint8_t* __restrict out, int count) const;

    static constexpr int kLinearBits = 14;  // linear light in 0..1 << 14
    static constexpr int kMatrixBits = 12;
    static constexpr int kEncodeBits = 14;  // entries of the table into sRGB's curve

    std::array<std::array<int32_t, 256>, 3> m_linear;
    std::array<int32_t, 9> m_matrix;
    std::vector<uint8_t> m_encode;
};

}  // namespace vistrel
