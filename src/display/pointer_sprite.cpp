#include "display/pointer_sprite.h"

#include <algorithm>

namespace vistrel {

namespace {

// 'X' outline (black), 'o' fill (white), anything else left as it is.
constexpr const char* kArrow[PointerSprite::kHeight] = {
    "X          ", "XX         ", "XoX        ", "XooX       ", "XoooX      ", "XooooX     ",
    "XoooooX    ", "XooooooX   ", "XoooooooX  ", "XooooooooX ", "XoooooXXXXX", "XooXooX    ",
    "XoX XooX   ", "XX  XooX   ", "X    XooX  ", "     XooX  ", "      XX   ",
};

constexpr Pixel kOutline = 0x0000;
constexpr Pixel kFill = 0xFFFF;

}  // namespace

void PointerSprite::draw(Bitmap& target, Point tip) {
    const Rect r{std::max(tip.x, 0), std::max(tip.y, 0), std::min(tip.x + kWidth, target.width()),
                 std::min(tip.y + kHeight, target.height())};
    if (r.empty()) {
        m_drawn = {};
        return;
    }
    m_drawn = r;
    m_under.resize(size_t(r.right - r.left) * size_t(r.bottom - r.top));
    Pixel* saved = m_under.data();
    for (int y = r.top; y < r.bottom; ++y) {
        Pixel* row = target.row(y);
        const char* shape = kArrow[y - tip.y];
        for (int x = r.left; x < r.right; ++x) {
            *saved++ = row[x];
            const char c = shape[x - tip.x];
            if (c == 'X')
                row[x] = kOutline;
            else if (c == 'o')
                row[x] = kFill;
        }
    }
}

void PointerSprite::take_away(Bitmap& target) {
    const Rect r = m_drawn;
    m_drawn = {};
    if (r.empty() || r.right > target.width() || r.bottom > target.height()) return;
    const Pixel* saved = m_under.data();
    for (int y = r.top; y < r.bottom; ++y) {
        std::copy(saved, saved + (r.right - r.left), target.row(y) + r.left);
        saved += r.right - r.left;
    }
}

}  // namespace vistrel
