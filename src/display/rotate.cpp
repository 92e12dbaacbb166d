#include "display/rotate.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VISTREL_ROTATE_AVX2 1
#endif

namespace vistrel {

namespace {

Rect intersect(Rect a, Rect b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.empty()) return {};
    return r;
}

// The source pixel of destination pixel (x, y), for a source of w x h.
inline Point source_of(int x, int y, int w, int h, int turn) {
    switch (turn) {
        case 1:
            return {y, h - 1 - x};
        case 2:
            return {w - 1 - x, h - 1 - y};
        case 3:
            return {w - 1 - y, x};
        default:
            return {x, y};
    }
}

void rotate_piece_scalar(const Bitmap& src, Bitmap& dst, Rect d, int turn) {
    const int w = src.width(), h = src.height();
    for (int y = d.top; y < d.bottom; ++y) {
        Pixel* out = dst.row(y);
        for (int x = d.left; x < d.right; ++x) {
            const Point s = source_of(x, y, w, h, turn);
            out[x] = src.row(s.y)[s.x];
        }
    }
}

#if defined(__SSE2__)
// Transposes eight rows of eight pixels in place: r[i][j] becomes r[j][i].
inline void transpose8(__m128i r[8]) {
    const __m128i t0 = _mm_unpacklo_epi16(r[0], r[1]), t1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i t2 = _mm_unpacklo_epi16(r[2], r[3]), t3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i t4 = _mm_unpacklo_epi16(r[4], r[5]), t5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i t6 = _mm_unpacklo_epi16(r[6], r[7]), t7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i u0 = _mm_unpacklo_epi32(t0, t2), u1 = _mm_unpackhi_epi32(t0, t2);
    const __m128i u2 = _mm_unpacklo_epi32(t1, t3), u3 = _mm_unpackhi_epi32(t1, t3);
    const __m128i u4 = _mm_unpacklo_epi32(t4, t6), u5 = _mm_unpackhi_epi32(t4, t6);
    const __m128i u6 = _mm_unpacklo_epi32(t5, t7), u7 = _mm_unpackhi_epi32(t5, t7);
    r[0] = _mm_unpacklo_epi64(u0, u4);
    r[1] = _mm_unpackhi_epi64(u0, u4);
    r[2] = _mm_unpacklo_epi64(u1, u5);
    r[3] = _mm_unpackhi_epi64(u1, u5);
    r[4] = _mm_unpacklo_epi64(u2, u6);
    r[5] = _mm_unpackhi_epi64(u2, u6);
    r[6] = _mm_unpacklo_epi64(u3, u7);
    r[7] = _mm_unpackhi_epi64(u3, u7);
}

inline __m128i load8(const Pixel* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store8(Pixel* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

inline __m128i reverse8(__m128i v) {
    v = _mm_shufflelo_epi16(v, 0x1B);
    v = _mm_shufflehi_epi16(v, 0x1B);
    return _mm_shuffle_epi32(v, 0x4E);
}

// The destination piece of 8 x 8 pixels whose top left is (x, y), for turns 1 and 3.
inline void rotate_piece8(const Bitmap& src, Bitmap& dst, int x, int y, int turn) {
    __m128i r[8];
    if (turn == 1) {
        // Source columns y..y+7 of rows h-1-x down to h-8-x.
        const int top = src.height() - 1 - x;
        for (int j = 0; j < 8; ++j)
            r[j] = load8(src.row(top - j) + y);
        transpose8(r);
        for (int i = 0; i < 8; ++i)
            store8(dst.row(y + i) + x, r[i]);
    } else {
        // Source columns w-8-y..w-1-y of rows x..x+7.
        const int left = src.width() - 8 - y;
        for (int j = 0; j < 8; ++j)
            r[j] = load8(src.row(x + j) + left);
        transpose8(r);
        for (int i = 0; i < 8; ++i)
            store8(dst.row(y + 7 - i) + x, r[i]);
    }
}
#endif

#if defined(VISTREL_ROTATE_AVX2)
// Two 8 x 8 transposes at once: the 128-bit halves of the 256-bit registers are
// independent, so one register row carries a row of each of two pieces.
__attribute__((target("avx2"))) inline void transpose8x2(__m256i r[8]) {
    const __m256i t0 = _mm256_unpacklo_epi16(r[0], r[1]), t1 = _mm256_unpackhi_epi16(r[0], r[1]);
    const __m256i t2 = _mm256_unpacklo_epi16(r[2], r[3]), t3 = _mm256_unpackhi_epi16(r[2], r[3]);
    const __m256i t4 = _mm256_unpacklo_epi16(r[4], r[5]), t5 = _mm256_unpackhi_epi16(r[4], r[5]);
    const __m256i t6 = _mm256_unpacklo_epi16(r[6], r[7]), t7 = _mm256_unpackhi_epi16(r[6], r[7]);
    const __m256i u0 = _mm256_unpacklo_epi32(t0, t2), u1 = _mm256_unpackhi_epi32(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi32(t1, t3), u3 = _mm256_unpackhi_epi32(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi32(t4, t6), u5 = _mm256_unpackhi_epi32(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi32(t5, t7), u7 = _mm256_unpackhi_epi32(t5, t7);
    r[0] = _mm256_unpacklo_epi64(u0, u4);
    r[1] = _mm256_unpackhi_epi64(u0, u4);
    r[2] = _mm256_unpacklo_epi64(u1, u5);
    r[3] = _mm256_unpackhi_epi64(u1, u5);
    r[4] = _mm256_unpacklo_epi64(u2, u6);
    r[5] = _mm256_unpackhi_epi64(u2, u6);
    r[6] = _mm256_unpacklo_epi64(u3, u7);
    r[7] = _mm256_unpackhi_epi64(u3, u7);
}

// The destination piece of 8 x 16 pixels whose top left is (x, y), for turns 1 and 3.
__attribute__((target("avx2"))) inline void rotate_piece8x16(const Bitmap& src, Bitmap& dst, int x,
                                                             int y, int turn) {
    __m256i r[8];
    if (turn == 1) {
        const int top = src.height() - 1 - x;
        for (int j = 0; j < 8; ++j)
            r[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src.row(top - j) + y));
        transpose8x2(r);
        for (int i = 0; i < 8; ++i) {
            store8(dst.row(y + i) + x, _mm256_castsi256_si128(r[i]));
            store8(dst.row(y + 8 + i) + x, _mm256_extracti128_si256(r[i], 1));
        }
    } else {
        const int left = src.width() - 16 - y;
        for (int j = 0; j < 8; ++j)
            r[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src.row(x + j) + left));
        transpose8x2(r);
        for (int i = 0; i < 8; ++i) {
            store8(dst.row(y + 15 - i) + x, _mm256_castsi256_si128(r[i]));
            store8(dst.row(y + 7 - i) + x, _mm256_extracti128_si256(r[i], 1));
        }
    }
}

// One square of whole 8 x 16 pieces.
__attribute__((target("avx2"))) void rotate_square_avx2(const Bitmap& src, Bitmap& dst, Rect square,
                                                        int turn) {
    for (int y = square.top; y < square.bottom; y += 16)
        for (int x = square.left; x < square.right; x += 8)
            rotate_piece8x16(src, dst, x, y, turn);
}

bool has_avx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

// The destination is walked in squares of 64 x 64 (whole 16 x 16 blocks) made of 8 x 8
// pieces, so that the source rows a square reads stay in the first-level cache.
constexpr int kBlockW = 64, kBlockH = 64;

void rotate_quarter(const Bitmap& src, Bitmap& dst, Rect d, int turn) {
    for (int by = d.top; by < d.bottom; by += kBlockH) {
        const int block_bottom = std::min(by + kBlockH, d.bottom);
        for (int bx = d.left; bx < d.right; bx += kBlockW) {
            const int block_right = std::min(bx + kBlockW, d.right);
#if defined(VISTREL_ROTATE_AVX2)
            if (block_right - bx == kBlockW && block_bottom - by == kBlockH && has_avx2()) {
                rotate_square_avx2(src, dst, {bx, by, block_right, block_bottom}, turn);
                continue;
            }
#endif
#if defined(__SSE2__)
            for (int y = by; y < block_bottom; y += 8) {
                for (int x = bx; x < block_right; x += 8) {
                    if (x + 8 <= block_right && y + 8 <= block_bottom)
                        rotate_piece8(src, dst, x, y, turn);
                    else
                        rotate_piece_scalar(
                            src, dst,
                            {x, y, std::min(x + 8, block_right), std::min(y + 8, block_bottom)},
                            turn);
                }
            }
#else
            rotate_piece_scalar(src, dst, {bx, by, block_right, block_bottom}, turn);
#endif
        }
    }
}

void rotate_half(const Bitmap& src, Bitmap& dst, Rect d) {
    const int w = src.width(), h = src.height();
    for (int y = d.top; y < d.bottom; ++y) {
        const Pixel* in = src.row(h - 1 - y);
        Pixel* out = dst.row(y);
        int x = d.left;
#if defined(__SSE2__)
        for (; x + 8 <= d.right; x += 8)
            store8(out + x, reverse8(load8(in + (w - 8 - x))));
#endif
        for (; x < d.right; ++x)
            out[x] = in[w - 1 - x];
    }
}

// The destination rectangle for `rect` of `src`, or an empty one when the destination is
// too small for the turned picture.
Rect prepare(const Bitmap& src, Rect& rect, const Bitmap& dst, int& turn) {
    turn &= 3;
    rect = intersect(rect, {0, 0, src.width(), src.height()});
    const Size need = turned_size(src.size(), turn);
    if (rect.empty() || dst.width() < need.w || dst.height() < need.h) return {};
    return turn_rect(rect, src.size(), turn);
}

}  // namespace

Size turned_size(Size size, int turn) {
    return (turn & 1) ? Size{size.h, size.w} : size;
}

Point turn_point(Point p, Size size, int turn) {
    switch (turn & 3) {
        case 1:
            return {size.h - 1 - p.y, p.x};
        case 2:
            return {size.w - 1 - p.x, size.h - 1 - p.y};
        case 3:
            return {p.y, size.w - 1 - p.x};
        default:
            return p;
    }
}

Rect turn_rect(Rect r, Size size, int turn) {
    switch (turn & 3) {
        case 1:
            return {size.h - r.bottom, r.left, size.h - r.top, r.right};
        case 2:
            return {size.w - r.right, size.h - r.bottom, size.w - r.left, size.h - r.top};
        case 3:
            return {r.top, size.w - r.right, r.bottom, size.w - r.left};
        default:
            return r;
    }
}

void rotate_copy(const Bitmap& src, Rect rect, Bitmap& dst, int turn) {
    const Rect d = prepare(src, rect, dst, turn);
    if (d.empty()) return;
    switch (turn) {
        case 0:
            for (int y = d.top; y < d.bottom; ++y)
                std::memcpy(dst.row(y) + d.left, src.row(y) + d.left,
                            static_cast<size_t>(d.right - d.left) * sizeof(Pixel));
            break;
        case 2:
            rotate_half(src, dst, d);
            break;
        default:
            rotate_quarter(src, dst, d, turn);
            break;
    }
}

void rotate_copy_reference(const Bitmap& src, Rect rect, Bitmap& dst, int turn) {
    const Rect d = prepare(src, rect, dst, turn);
    if (d.empty()) return;
    rotate_piece_scalar(src, dst, d, turn);
}

}  // namespace vistrel
