#include "render/pixel_op.h"

#include <algorithm>
#include <cstring>

#include "render/vector_clones.h"

namespace vistrel {
namespace {

// The plain loops of the combining rules, one per vector unit; the compiler turns the
// branch-free rules into vector selects.
template <typename Op>
inline void combine_run(const Op& op, Pixel* dst, const Pixel* src, long n) {
    for (long i = 0; i < n; ++i)
        dst[i] = op.combine(dst[i], src[i]);
}

VISTREL_VECTOR_CLONES void keyed_run(Pixel* dst, const Pixel* src, long n) {
    combine_run(KeyedCopyOp(), dst, src, n);
}
VISTREL_VECTOR_CLONES void blend75_run(Pixel* dst, const Pixel* src, long n) {
    combine_run(Blend75Op(), dst, src, n);
}
VISTREL_VECTOR_CLONES void blend50_run(Pixel* dst, const Pixel* src, long n) {
    combine_run(Blend50Op(), dst, src, n);
}
VISTREL_VECTOR_CLONES void blend25_run(Pixel* dst, const Pixel* src, long n) {
    combine_run(Blend25Op(), dst, src, n);
}
VISTREL_VECTOR_CLONES void flag_only_run(Pixel* dst, const Pixel* src, long n) {
    combine_run(FlagOnlyOp(), dst, src, n);
}
VISTREL_VECTOR_CLONES void mask_compose_run(const MaskComposeOp& op, Pixel* dst, const Pixel* src,
                                            long n) {
    combine_run(op, dst, src, n);
}

}  // namespace

void CopyOp::copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const {
    // memmove: a blit within one bitmap may overlap itself.
    std::memmove(dst_begin, src, static_cast<size_t>(dst_end - dst_begin) * sizeof(Pixel));
}

void KeyedCopyOp::copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const {
    keyed_run(dst_begin, src, dst_end - dst_begin);
}
void Blend75Op::copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const {
    blend75_run(dst_begin, src, dst_end - dst_begin);
}
void Blend50Op::copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const {
    blend50_run(dst_begin, src, dst_end - dst_begin);
}
void Blend25Op::copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const {
    blend25_run(dst_begin, src, dst_end - dst_begin);
}
void FlagOnlyOp::copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const {
    flag_only_run(dst_begin, src, dst_end - dst_begin);
}
void MaskComposeOp::copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const {
    mask_compose_run(*this, dst_begin, src, dst_end - dst_begin);
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
