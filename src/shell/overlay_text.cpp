#include "shell/overlay_text.h"

#include <cstdint>

namespace vistrel {

namespace {

constexpr int kScale = 2;
constexpr int kAdvance = 4 * kScale;

// Five rows of three bits, left pixel in bit 2.
struct Glyph {
    char c;
    uint8_t rows[5];
};

constexpr Glyph kGlyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'.', {0, 0, 0, 0, 2}}, {'m', {0, 0, 7, 7, 5}},
    {'s', {0, 7, 6, 3, 7}}, {'[', {6, 4, 4, 4, 6}}, {']', {3, 1, 1, 1, 3}}, {'K', {5, 5, 6, 5, 5}},
    {'p', {0, 7, 5, 7, 4}},
};

const Glyph* glyph_of(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.c == c) return &g;
    return nullptr;
}

}  // namespace

int draw_overlay_text(Surface& surface, Point position, std::string_view text, Pixel colour) {
    int x = position.x;
    for (char c : text) {
        if (const Glyph* g = glyph_of(c)) {
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (g->rows[row] & (4 >> col))
                        surface.fill_pixel({x + col * kScale, position.y + row * kScale},
                                           {kScale, kScale}, colour);
        }
        x += kAdvance;
    }
    return x - position.x;
}

}  // namespace vistrel
