#pragma once
// Span operations change the pixels of one row piece in place: filling and dimming.

#include "render/pixel.h"

namespace vistrel {

class SpanOp {
public:
    virtual ~SpanOp() = default;
    // Changes the pixels of [begin, end) of one row.
    virtual void apply(Pixel* begin, Pixel* end) const = 0;
};

// Sets every pixel to one value, two pixels per 32-bit store.
class FillSpan final : public SpanOp {
public:
    explicit FillSpan(Pixel value) : m_value(value) {}
    Pixel value() const { return m_value; }
    void apply(Pixel* begin, Pixel* end) const override;

private:
    Pixel m_value;
};

// Scales every channel by k / 16 with k = (alpha + 8) / 16 limited to 0..16: 256 keeps the
// pixels, 0 makes them black. Works on two pixels per 32-bit word.
class DimSpan final : public SpanOp {
public:
    explicit DimSpan(int alpha);
    // k, 0..16.
    int level() const { return m_level; }
    void apply(Pixel* begin, Pixel* end) const override;

    // The dimmed value of one pixel at level k (0..16).
    static Pixel dim(Pixel p, int k);

private:
    int m_level;
};

}  // namespace vistrel
