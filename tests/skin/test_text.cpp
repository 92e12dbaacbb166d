// Text layout and drawing, checked pixel by pixel on a face with known glyphs (see
// BoxFace), and on the real DejaVu Sans face through fontconfig and FreeType.

#include <gtest/gtest.h>

#include "render/render_surface.h"
#include "skin/freetype_face.h"
#include "skin/text_draw.h"
#include "skin_test_support.h"

namespace vistrel {
namespace {

constexpr Colour kWhite{255, 255, 255, 255};
constexpr Pixel kBlack = 0;

struct Canvas {
    explicit Canvas(int w = 64, int h = 48, Pixel background = kBlack)
        : surface(Size{w, h}), background(background) {
        surface.fill_pixel({0, 0}, {w, h}, background);
    }
    Pixel at(int x, int y) const { return surface.bitmap()->row(y)[x]; }
    bool ink(int x, int y) const { return at(x, y) != background; }
    // The inked rectangle (inclusive corners); left > right when nothing is inked.
    Rect ink_box() const {
        Rect box{1 << 20, 1 << 20, -1, -1};
        for (int y = 0; y < surface.size().h; ++y)
            for (int x = 0; x < surface.size().w; ++x)
                if (ink(x, y)) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x);
                    box.bottom = std::max(box.bottom, y);
                }
        return box;
    }
    int draw(const FontRep& font, std::u16string_view text, Rect rect, uint32_t flags) {
        return draw_text(surface, font, text, rect, flags, kWhite);
    }
    RenderSurface surface;
    Pixel background;
};

std::vector<std::u16string> lines_of(const std::vector<TextLine>& lines) {
    std::vector<std::u16string> out;
    for (const auto& l : lines)
        out.push_back(l.text);
    return out;
}

TEST(TextMeasure, WidthsAndSizes) {
    const auto font = test::box_font();
    EXPECT_EQ(font->line_height(), 10);
    EXPECT_EQ(font->ascent(), 8);
    EXPECT_EQ(font->text_width(u"Ab"), 12);
    EXPECT_EQ(font->text_width(u"i i"), 12);
    EXPECT_EQ(font->text_width(u"\t"), 24);           // four spaces
    EXPECT_EQ(font->text_width(u"A\uFFFFB"), 12);     // a character the face lacks takes no room
    EXPECT_EQ(font->text_width(u"A\U0001F600"), 12);  // a surrogate pair is one character
    EXPECT_EQ(font->fit(u"ABCDE", 17), 2u);
    EXPECT_EQ(font->fit(u"ABCDE", 18), 3u);
    EXPECT_EQ(font->fit(u"\U0001F600\U0001F600", 7), 2u);  // whole pairs only

    EXPECT_EQ(measure_text(*font, u"Ab", kTextSingleLine), (Size{12, 10}));
    EXPECT_EQ(measure_text(*font, u"", kTextSingleLine), (Size{0, 0}));
    EXPECT_EQ(measure_text(*font, u"Ab\nCde", 0), (Size{18, 20}));
    EXPECT_EQ(measure_text(*font, u"a\r\nb\rc\n", 0), (Size{6, 40}));
    EXPECT_EQ(measure_text(*font, u"a\nb", kTextSingleLine), (Size{18, 10}));
    EXPECT_EQ(measure_text(*font, u"aa bb cc", kTextWordBreak, 20), (Size{12, 30}));
    // Measuring ignores the ellipsis flags: the whole text is measured.
    EXPECT_EQ(measure_text(*font, u"ABCDEFGH", kTextSingleLine | kTextEndEllipsis), (Size{48, 10}));

    Canvas canvas;
    Rect rect{5, 6, 6, 7};
    EXPECT_EQ(draw_text(canvas.surface, *font, u"Abc", rect,
                        kTextCalcRect | kTextNoPrefix | kTextVCenter, kWhite),
              10);
    EXPECT_EQ(rect, (Rect{5, 6, 23, 16}));
    EXPECT_LT(canvas.ink_box().right, 0);  // measuring draws nothing
}

TEST(TextDraw, AlignmentInTheRectangle) {
    const auto font = test::box_font();
    const Rect rect{10, 10, 50, 40};  // 40 x 30
    const struct {
        uint32_t flags;
        Rect ink;
    } cases[] = {
        {kTextLeft | kTextTop, {10, 10, 20, 17}},
        {kTextCenter | kTextVCenter, {24, 20, 34, 27}},  // 10 + (40 - 12) / 2, 10 + (30 - 10) / 2
        {kTextRight | kTextBottom, {38, 30, 48, 37}},
        {kTextRight | kTextTop, {38, 10, 48, 17}},
    };
    for (const auto& c : cases) {
        Canvas canvas;
        EXPECT_EQ(canvas.draw(*font, u"Ab", rect, c.flags | kTextSingleLine), 10);
        EXPECT_EQ(canvas.ink_box(), c.ink) << c.flags;
        EXPECT_FALSE(canvas.ink(c.ink.left + 5, c.ink.top));  // the gap between the glyphs
        EXPECT_EQ(canvas.at(c.ink.left, c.ink.top), 0xFFFF);
    }
    // Lines of a block are aligned one by one.
    Canvas canvas;
    canvas.draw(*font, u"Ab\nC", rect, kTextCenter | kTextBottom);
    EXPECT_EQ(canvas.ink_box(), (Rect{24, 20, 34, 37}));
    EXPECT_TRUE(canvas.ink(27, 30));  // "C" at 10 + (40 - 6) / 2 = 27 on the second line
    EXPECT_FALSE(canvas.ink(26, 30));
}

TEST(TextDraw, ClippedToRectangleAndSurface) {
    const auto font = test::box_font();
    {
        Canvas canvas;
        canvas.draw(*font, u"AAAAA", Rect{2, 2, 22, 12}, kTextSingleLine);
        EXPECT_EQ(canvas.ink_box(), (Rect{2, 2, 21, 9}));  // the third glyph is cut at x 22
    }
    {
        Canvas canvas;
        canvas.draw(*font, u"AAAAA", Rect{2, 2, 22, 6}, kTextSingleLine | kTextNoClip);
        EXPECT_EQ(canvas.ink_box(), (Rect{2, 2, 30, 9}));
    }
    {
        Canvas canvas;
        {
            ClipScope scope(canvas.surface, {4, 5}, {10, 2});
            canvas.draw(*font, u"AAAAA", Rect{0, 0, 64, 48}, kTextSingleLine);
            EXPECT_EQ(canvas.surface.clip(), (Rect{4, 5, 14, 7}));  // the caller's clip is kept
        }
        EXPECT_EQ(canvas.ink_box(), (Rect{4, 5, 13, 6}));
    }
    {
        // Partly outside the bitmap on every side: drawn where it can be, nothing else.
        Canvas canvas(8, 8);
        canvas.draw(*font, u"AAAA", Rect{-3, -4, 20, 20}, kTextSingleLine | kTextNoClip);
        EXPECT_EQ(canvas.ink_box(), (Rect{0, 0, 7, 3}));
        canvas.draw(*font, u"A", Rect{-100, -100, -50, -50}, kTextNoClip);
        Surface empty;
        Rect r{0, 0, 10, 10};
        EXPECT_EQ(draw_text(empty, *font, u"A", r, 0, kWhite), 10);
    }
}

TEST(TextDraw, EndAndWordEllipsis) {
    const auto font = test::box_font();
    const uint32_t single = kTextSingleLine | kTextEndEllipsis | kTextWordEllipsis;
    EXPECT_EQ(lines_of(lay_out_text(*font, u"ABCDEFGH", single, 30, 10)),
              std::vector<std::u16string>{u"ABCD\u2026"});
    EXPECT_EQ(lines_of(lay_out_text(*font, u"ABC DEFGH", single, 30, 10)),
              std::vector<std::u16string>{u"ABC\u2026"});  // no space before the ellipsis
    EXPECT_EQ(lines_of(lay_out_text(*font, u"ABCDE", single, 30, 10)),
              std::vector<std::u16string>{u"ABCDE"});  // fits exactly: unchanged
    EXPECT_EQ(lines_of(lay_out_text(*font, u"ABCDEFGH", kTextSingleLine, 30, 10)),
              std::vector<std::u16string>{u"ABCDEFGH"});

    Canvas canvas;
    canvas.draw(*font, u"ABCDEFGH", Rect{0, 0, 30, 10}, single);
    for (int x = 24; x < 30; ++x) {
        EXPECT_EQ(canvas.ink(x, 7), x % 2 == 0) << x;  // three dots on the baseline row
        EXPECT_FALSE(canvas.ink(x, 6)) << x;
    }
    EXPECT_TRUE(canvas.ink(18, 0));

    // Lines that do not fit below: the last line shown gets the ellipsis.
    const uint32_t multi = kTextEndEllipsis | kTextWordBreak;
    EXPECT_EQ(lines_of(lay_out_text(*font, u"A\nB\nC\nD", multi, 30, 25)),
              (std::vector<std::u16string>{u"A", u"B\u2026"}));
    EXPECT_EQ(lines_of(lay_out_text(*font, u"A\nB", multi, 30, 5)),
              (std::vector<std::u16string>{u"A\u2026"}));  // at least one line stays
    EXPECT_EQ(lines_of(lay_out_text(*font, u"A\nB", kTextWordBreak, 30, 5)),
              (std::vector<std::u16string>{u"A", u"B"}));

    // A word wider than the line: shortened with word ellipsis, else broken.
    EXPECT_EQ(
        lines_of(lay_out_text(*font, u"AAAAAAAA bb", kTextWordBreak | kTextWordEllipsis, 30, -1)),
        (std::vector<std::u16string>{u"AAAA\u2026", u"bb"}));
    EXPECT_EQ(lines_of(lay_out_text(*font, u"AAAAAAAA bb", kTextWordBreak, 30, -1)),
              (std::vector<std::u16string>{u"AAAAA", u"AAA", u"bb"}));
    EXPECT_EQ(lines_of(lay_out_text(*font, u"AAAAAAAA b", kTextWordBreak, 30, -1)),
              (std::vector<std::u16string>{u"AAAAA", u"AAA b"}));
}

TEST(TextDraw, WordBreak) {
    const auto font = test::box_font();
    EXPECT_EQ(lines_of(lay_out_text(*font, u"aa bb cc dd", kTextWordBreak, 30, -1)),
              (std::vector<std::u16string>{u"aa bb", u"cc dd"}));
    EXPECT_EQ(lines_of(lay_out_text(*font, u"aa     bb", kTextWordBreak, 18, -1)),
              (std::vector<std::u16string>{u"aa", u"bb"}));  // spaces at the wrap are dropped
    EXPECT_EQ(lines_of(lay_out_text(*font, u"  aa\n\nbb  ", kTextWordBreak, 60, -1)),
              (std::vector<std::u16string>{u"  aa", u"", u"bb"}));
    EXPECT_EQ(lines_of(lay_out_text(*font, u"ABC", kTextWordBreak, 0, -1)),
              (std::vector<std::u16string>{u"ABC"}));  // too narrow for a character: kept whole
    EXPECT_EQ(lines_of(lay_out_text(*font, u"aa bb", kTextWordBreak | kTextSingleLine, 12, -1)),
              (std::vector<std::u16string>{u"aa bb"}));  // single line wins

    Canvas canvas;
    EXPECT_EQ(canvas.draw(*font, u"aa bb cc dd", Rect{1, 1, 31, 41}, kTextWordBreak), 20);
    EXPECT_EQ(canvas.ink_box(), (Rect{1, 1, 29, 18}));
    EXPECT_TRUE(canvas.ink(1, 11));   // "cc" starts the second line
    EXPECT_FALSE(canvas.ink(1, 10));  // the descent rows stay empty
    EXPECT_FALSE(canvas.ink(13, 1));  // the space between the words
}

TEST(TextDraw, AntiAliasedBlendingAndUnderline) {
    const auto font = test::box_font();
    {
        Canvas canvas;
        canvas.draw(*font, u"h", Rect{0, 0, 20, 10}, 0);
        EXPECT_EQ(canvas.at(0, 0), 15 << 11 | 31 << 5 | 15);  // half of white over black
    }
    {
        Canvas canvas(20, 10, kColourKey);
        canvas.draw(*font, u"hA", Rect{0, 0, 20, 10}, 0);
        EXPECT_EQ(canvas.at(0, 0), 0xFFFF);  // over the colour key: no magenta fringes
        EXPECT_EQ(canvas.at(6, 0), 0xFFFF);
        EXPECT_EQ(canvas.at(5, 0), kColourKey);
    }
    {
        Canvas canvas(20, 12);
        const auto underlined = test::box_font(true);
        canvas.draw(*underlined, u"A i", Rect{0, 0, 20, 12}, 0);
        for (int x = 0; x < 15; ++x)
            EXPECT_TRUE(canvas.ink(x, 9)) << x;  // baseline + 1
        EXPECT_FALSE(canvas.ink(15, 9));
        EXPECT_FALSE(canvas.ink(6, 8));
    }
}

TEST(TextDraw, GlyphCache) {
    FontDescription d;
    auto face = std::make_unique<test::BoxFace>();
    const test::BoxFace* counter = face.get();
    FontRep font(d, std::move(face));
    font.text_width(u"abcabc");
    font.text_width(u"cab");
    EXPECT_EQ(counter->renders(), 3);
    std::u16string many;
    for (char16_t c = 0x4E00; c < 0x4E00 + 1500; ++c)
        many += c;
    EXPECT_EQ(font.text_width(many), 6 * 1500);
    EXPECT_LE(font.cached_glyphs(), FontRep::kGlyphCacheLimit);
}

TEST(SystemFonts, DejaVuSansByName) {
    const auto regular = match_font(u"DejaVu Sans", false, false);
    ASSERT_TRUE(regular);
    EXPECT_NE(regular->file.find("DejaVuSans.ttf"), std::string::npos) << regular->file;
    const auto bold = match_font(u"DejaVu Sans", true, false);
    ASSERT_TRUE(bold);
    EXPECT_NE(bold->file.find("DejaVuSans-Bold"), std::string::npos) << bold->file;
    EXPECT_FALSE(bold->embolden);
    EXPECT_TRUE(match_font(u"Tahoma", false, false));  // missing faces fall back
    EXPECT_TRUE(match_font(u"No Such Face At All 12345", false, true));
}

TEST(SystemFonts, MetricsAndDrawing) {
    FontDescription d;
    d.face = u"DejaVu Sans";
    d.size = 10;
    const FontRep font(d);
    ASSERT_TRUE(font.valid());
    EXPECT_EQ(font.height(), -13);
    EXPECT_GE(font.line_height(), 13);
    EXPECT_LE(font.line_height(), 20);
    EXPECT_GE(font.descent(), 2);
    EXPECT_LT(font.descent(), font.line_height() / 2);
    const int width = font.text_width(u"Hello");
    EXPECT_EQ(width, font.text_width(u"He") + font.text_width(u"llo"));
    EXPECT_GT(width, 20);
    EXPECT_LT(width, 60);

    FontDescription b = d;
    b.bold = true;
    EXPECT_GT(FontRep(b).text_width(u"Hello"), width);
    FontDescription doubled = d;
    doubled.scale = 2;
    EXPECT_GE(FontRep(doubled).line_height(), 2 * font.line_height() - 2);

    Canvas canvas(80, 30, 0xFFFF);
    Rect rect{5, 5, 75, 25};
    draw_text(canvas.surface, font, u"Hello", rect, kTextLeft | kTextTop | kTextSingleLine,
              Colour{0, 0, 0, 255});
    const Rect ink = canvas.ink_box();
    EXPECT_GE(ink.left, 5);
    EXPECT_LE(ink.right, 5 + width);
    EXPECT_GE(ink.top, 5);
    EXPECT_LT(ink.bottom, 5 + font.line_height());
    int solid = 0, partial = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            solid += canvas.at(x, y) == 0;
            partial += canvas.at(x, y) != 0 && canvas.at(x, y) != 0xFFFF;
        }
    EXPECT_GT(solid, 10);   // the stems of "H" and "l" are fully covered
    EXPECT_GT(partial, 5);  // and the curves anti-aliased

    FontDescription none = d;
    none.size = 0;
    const FontRep empty(none);
    EXPECT_FALSE(empty.valid());
    EXPECT_EQ(empty.line_height(), 20);
    Canvas blank;
    Rect r{0, 0, 60, 40};
    blank.draw(empty, u"Hello", r, 0);
    EXPECT_LT(blank.ink_box().right, 0);
}

}  // namespace
}  // namespace vistrel
