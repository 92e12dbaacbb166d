#include "render/pixel_op.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

void CopyOp::copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const {
    // memmove: a blit within one bitmap may overlap itself.
    std::memmove(dst_begin, src, static_cast<size_t>(dst_end - dst_begin) * sizeof(Pixel));
}

MaskComposeOp::MaskComposeOp(int flags)
    : m_flags(flags),
      m_whole((flags & 0x100) ? 0xFFFF : 0),
      m_half((flags & 0x80) ? 0xFFFF : 0),
      m_quarter((flags & 0x40) ? 0xFFFF : 0) {}

const PixelOp& level_instance(int level) {
    static const KeyedCopyOp keyed;
    static const Blend75Op blend75;
    static const Blend50Op blend50;
    static const Blend25Op blend25;
    static const FlagOnlyOp flag_only;
    static const PixelOp* const levels[] = {&keyed, &blend75, &blend50, &blend25, &flag_only};
    return *levels[std::clamp(level, 0, 4)];
}

LevelOp level_op(int alpha) {
    return LevelOp(&level_instance(alpha < 0 ? 0 : alpha / 64));
}

std::unique_ptr<PixelOp> op_for_alpha(int alpha) {
    if (alpha == -1) return std::make_unique<CopyOp>();
    return level_op(alpha).clone();
}

}  // namespace vistrel
