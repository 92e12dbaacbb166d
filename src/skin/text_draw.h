#pragma once
// Text measuring and drawing with the platform's text flags: alignment, word break or
// single line, end and word ellipsis, measuring mode.
//
// Layout rules:
// - With kTextSingleLine the text is one line (line breaks show as spaces); otherwise
//   every CR, LF or CR LF starts a new line. Tabs are four spaces wide.
// - kTextWordBreak wraps lines at spaces to the rectangle's width; the spaces at a wrap
//   are dropped. A word wider than the whole width is cut after its last character that
//   fits, or, with kTextWordEllipsis, shortened to fit with "…".
// - A line wider than the rectangle is shortened to fit with "…" when kTextEndEllipsis or
//   kTextWordEllipsis is set. With kTextEndEllipsis, lines that do not fit below the
//   rectangle are left out and the last line shown ends with "…" (at least one line
//   stays).
// - Each line is aligned left, centred or right in the rectangle; the block of lines is
//   aligned to the top, the middle or the bottom (centring divides with truncation).
// - Drawing is clipped to the rectangle (unless kTextNoClip) and to the surface's clip.
// - kTextCalcRect draws nothing: the rectangle's right and bottom become those of the
//   text as laid out (wrapped at the rectangle's width with kTextWordBreak), without
//   ellipsis; an empty text measures 0 x 0.
// There is no prefix processing: "&" is drawn as it stands.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/geometry.h"
#include "render/pixel.h"
#include "render/surface.h"
#include "skin/font_rep.h"

namespace vistrel {

// The numeric values are fixed, so that flags can be stored in skins and settings.
inline constexpr uint32_t kTextLeft = 0x0;
inline constexpr uint32_t kTextCenter = 0x1;
inline constexpr uint32_t kTextRight = 0x2;
inline constexpr uint32_t kTextTop = 0x0;
inline constexpr uint32_t kTextVCenter = 0x4;
inline constexpr uint32_t kTextBottom = 0x8;
inline constexpr uint32_t kTextWordBreak = 0x10;
inline constexpr uint32_t kTextSingleLine = 0x20;
inline constexpr uint32_t kTextNoClip = 0x100;
inline constexpr uint32_t kTextCalcRect = 0x400;
inline constexpr uint32_t kTextNoPrefix = 0x800;
inline constexpr uint32_t kTextEndEllipsis = 0x8000;
inline constexpr uint32_t kTextWordEllipsis = 0x40000;

// The ellipsis appended to shortened text.
inline constexpr char16_t kEllipsis[] = u"\u2026";

struct TextLine {
    std::u16string text;  // as shown, with "…" when shortened
    int width = 0;
};

// The lines of `text` laid out for a rectangle of `width` x `height` pixels (a negative
// width or height means unbounded), by the rules above.
std::vector<TextLine> lay_out_text(const FontRep& font, std::u16string_view text, uint32_t flags,
                                   int width, int height);

// Draws `text` into `rect` in `colour`; with kTextCalcRect measures it instead and updates
// `rect`. Returns the height of the text as laid out.
int draw_text(Surface& surface, const FontRep& font, std::u16string_view text, Rect& rect,
              uint32_t flags, Colour colour);

// The size of `text` as kTextCalcRect measures it; `wrap_width` is used with
// kTextWordBreak.
Size measure_text(const FontRep& font, std::u16string_view text, uint32_t flags,
                  int wrap_width = -1);

}  // namespace vistrel
