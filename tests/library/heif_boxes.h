#pragma once
// Editing the boxes of an encoded HEIF file, for pictures its encoder cannot make: a
// rotation (irot) or a mirroring (imir) of the primary image.

#include <cstdint>
#include <vector>

namespace vistrel::test {

// The file with an `irot` property turning its primary image by `quarter_turns` (0..3)
// quarter turns anticlockwise. Empty when its boxes are not laid out as expected.
std::vector<uint8_t> with_heif_rotation(const std::vector<uint8_t>& heif, int quarter_turns);

// The file with an `imir` property of `axis` (0 or 1) on its primary image. Empty when its
// boxes are not laid out as expected.
std::vector<uint8_t> with_heif_mirror(const std::vector<uint8_t>& heif, int axis);

}  // namespace vistrel::test
