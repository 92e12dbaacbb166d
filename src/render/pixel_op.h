#pragma once
// Pixel operations: what a destination pixel becomes when a source pixel is drawn over it.
// The rectangle routines (render/blit.h) hand them one row piece at a time. Operations are
// immutable and may be shared between threads.

#include <memory>

#include "render/pixel.h"

namespace vistrel {

class PixelOp {
public:
    virtual ~PixelOp() = default;
    // Combines each pixel of [dst_begin, dst_end) with the next pixel from `src`.
    // Non-empty spans only.
    virtual void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const = 0;
    // Source of each pixel is src_row[x >> 10], then x += step (10 fraction bits).
    virtual void copy_span_scaled(Pixel* dst_begin, Pixel* dst_end, const Pixel* src_row, int x,
                                  int step) const = 0;
    // Source of pixel i in [0, count) is src_row[(start + i) >> shift].
    virtual void copy_span_shifted(Pixel* dst, const Pixel* src_row, int start, int count,
                                   int shift) const = 0;
    // A position `a` starts at `start`; each pixel takes src_row[a >> shift], then `a`
    // becomes wrap_start when a + 1 == wrap_end, else a + 1.
    virtual void copy_span_wrapped(Pixel* dst, const Pixel* src_row, int start, int count,
                                   int shift, int wrap_start, int wrap_end) const = 0;
    virtual std::unique_ptr<PixelOp> clone() const = 0;
};

// The shift as the span forms take it: the low 8 bits, values from 32 up acting as 31.
constexpr int effective_shift(int shift) {
    const int s = shift & 0xFF;
    return s > 31 ? 31 : s;
}

// Implements the four span forms from one combining rule, `Derived::combine(dst, src)`.
template <typename Derived>
class CombiningOp : public PixelOp {
public:
    void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const override {
        const Derived& self = static_cast<const Derived&>(*this);
        const long n = dst_end - dst_begin;
        for (long i = 0; i < n; ++i)
            dst_begin[i] = self.combine(dst_begin[i], src[i]);
    }
    void copy_span_scaled(Pixel* dst_begin, Pixel* dst_end, const Pixel* src_row, int x,
                          int step) const override {
        const Derived& self = static_cast<const Derived&>(*this);
        for (Pixel* d = dst_begin; d != dst_end; ++d, x += step)
            *d = self.combine(*d, src_row[x >> 10]);
    }
    void copy_span_shifted(Pixel* dst, const Pixel* src_row, int start, int count,
                           int shift) const override {
        const int s = effective_shift(shift);
        if (count <= 0) return;
        const Derived& self = static_cast<const Derived&>(*this);
        if (s == 0) {
            self.copy_span(dst, dst + count, src_row + start);
            return;
        }
        for (int i = 0; i < count; ++i)
            dst[i] = self.combine(dst[i], src_row[(start + i) >> s]);
    }
    void copy_span_wrapped(Pixel* dst, const Pixel* src_row, int start, int count, int shift,
                           int wrap_start, int wrap_end) const override {
        const int s = effective_shift(shift);
        const Derived& self = static_cast<const Derived&>(*this);
        int a = start;
        if (s == 0) {
            // Whole runs up to the wrap point at a time.
            while (count > 0) {
                const int run = a < wrap_end && wrap_end - a < count ? wrap_end - a : count;
                self.copy_span(dst, dst + run, src_row + a);
                dst += run;
                count -= run;
                a += run;
                if (a == wrap_end) a = wrap_start;
            }
            return;
        }
        for (int i = 0; i < count; ++i) {
            dst[i] = self.combine(dst[i], src_row[a >> s]);
            a = a + 1 == wrap_end ? wrap_start : a + 1;
        }
    }
    std::unique_ptr<PixelOp> clone() const override {
        return std::make_unique<Derived>(static_cast<const Derived&>(*this));
    }
};

// The operations below override copy_span with loops built for the widest vector unit
// the processor has; the other span forms use the shared loops above.

// new = src.
class CopyOp final : public CombiningOp<CopyOp> {
public:
    static Pixel combine(Pixel, Pixel src) { return src; }
    void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const override;
};

// Level 0: the destination shows through colour-key pixels.
class KeyedCopyOp final : public CombiningOp<KeyedCopyOp> {
public:
    void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const override;
    static Pixel combine(Pixel dst, Pixel src) { return src == kColourKey ? dst : src; }
};

// The blend levels' common rule: the key keeps dst, a flagged (opaque) src is drawn as is,
// any other src is drawn as `blended`.
inline Pixel keyed_blend(Pixel dst, Pixel src, Pixel blended) {
    return src == kColourKey ? dst : (src & kOpaqueFlag) ? src : blended;
}

// Level 1: key keeps dst; flagged src is drawn as is; other src gets a quarter of dst.
class Blend75Op final : public CombiningOp<Blend75Op> {
public:
    void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const override;
    static Pixel combine(Pixel dst, Pixel src) {
        return keyed_blend(dst, src, static_cast<Pixel>(src + quarter(dst)));
    }
};

// Level 2: as Blend75Op with half of dst.
class Blend50Op final : public CombiningOp<Blend50Op> {
public:
    void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const override;
    static Pixel combine(Pixel dst, Pixel src) {
        return keyed_blend(dst, src, static_cast<Pixel>(src + half(dst)));
    }
};

// Level 3: as Blend75Op with three quarters of dst.
class Blend25Op final : public CombiningOp<Blend25Op> {
public:
    void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const override;
    static Pixel combine(Pixel dst, Pixel src) {
        return keyed_blend(dst, src, static_cast<Pixel>(src + quarter(dst) + half(dst)));
    }
};

// Level 4: only flagged source pixels are drawn (the key has no flag).
class FlagOnlyOp final : public CombiningOp<FlagOnlyOp> {
public:
    void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const override;
    static Pixel combine(Pixel dst, Pixel src) { return (src & kOpaqueFlag) ? src : dst; }
};

// Lays a frame picture over a photo: key pixels cut the result out to the key, flagged
// pixels let the photo through marked opaque, other pixels replace it plus a share of it
// chosen by `flags` (0x100: all of dst, 0x80: half, 0x40: a quarter; summed).
class MaskComposeOp final : public CombiningOp<MaskComposeOp> {
public:
    explicit MaskComposeOp(int flags);
    int flags() const { return m_flags; }
    void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const override;
    Pixel combine(Pixel dst, Pixel src) const {
        const Pixel share =
            static_cast<Pixel>((dst & m_whole) + (half(dst) & m_half) + (quarter(dst) & m_quarter));
        const Pixel other = static_cast<Pixel>(src + share);
        const Pixel shown = static_cast<Pixel>(dst | kOpaqueFlag);
        return src == kColourKey ? kColourKey : (src & kOpaqueFlag) ? shown : other;
    }

private:
    int m_flags;
    Pixel m_whole;
    Pixel m_half;
    Pixel m_quarter;
};

// Forwards every span call to one of the shared level instances.
class LevelOp final : public PixelOp {
public:
    explicit LevelOp(const PixelOp* target) : m_target(target) {}
    const PixelOp* target() const { return m_target; }

    void copy_span(Pixel* dst_begin, Pixel* dst_end, const Pixel* src) const override {
        m_target->copy_span(dst_begin, dst_end, src);
    }
    void copy_span_scaled(Pixel* dst_begin, Pixel* dst_end, const Pixel* src_row, int x,
                          int step) const override {
        m_target->copy_span_scaled(dst_begin, dst_end, src_row, x, step);
    }
    void copy_span_shifted(Pixel* dst, const Pixel* src_row, int start, int count,
                           int shift) const override {
        m_target->copy_span_shifted(dst, src_row, start, count, shift);
    }
    void copy_span_wrapped(Pixel* dst, const Pixel* src_row, int start, int count, int shift,
                           int wrap_start, int wrap_end) const override {
        m_target->copy_span_wrapped(dst, src_row, start, count, shift, wrap_start, wrap_end);
    }
    std::unique_ptr<PixelOp> clone() const override { return std::make_unique<LevelOp>(m_target); }

private:
    const PixelOp* m_target;
};

// The shared instance of level 0..4 (KeyedCopyOp, Blend75Op, Blend50Op, Blend25Op,
// FlagOnlyOp); levels outside are limited to that range.
const PixelOp& level_instance(int level);
// alpha / 64 limited to 0..4 picks the level: 0..63 keyed copy, 64..127 Blend75Op,
// 128..191 Blend50Op, 192..255 Blend25Op, 256 and above FlagOnlyOp; negative gives 0.
LevelOp level_op(int alpha);
// What elements draw with for their alpha value: CopyOp for -1, else level_op(alpha).
std::unique_ptr<PixelOp> op_for_alpha(int alpha);

}  // namespace vistrel
