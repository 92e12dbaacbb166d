#pragma once
// Helpers of the skin tests: skins compiled from source text, pictures made on the spot,
// and a face with known glyphs so that text layout has exact pixel results.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/bitmap.h"
#include "skin/font_rep.h"
#include "skin/glyph_source.h"
#include "skin/properties_impl.h"

namespace vistrel::test {

// The bytes of a skin compiled from source text (a test failure when it does not compile).
std::vector<uint8_t> compile_source(const std::string& text);

// The source of a skin with every node and element the screens look up (without pictures
// or fonts), and a further empty top-level node `marker` to tell skins apart.
std::string complete_skin_source(const std::string& marker);

// A bitmap of w x h filled with `value`.
std::unique_ptr<Bitmap> filled_bitmap(int w, int h, Pixel value);

// Writes a 16-bit bitmap file `path_without_extension`.bmp filled with `value`.
void write_picture(const std::string& path_without_extension, int w, int h, Pixel value);

// Resources for skins loaded from bytes: every picture is an 8 x 4 bitmap of 0x1234 and
// every font a FontRep over BoxFace.
SkinResources box_resources();

// A face with block glyphs: ascent 8, descent 2 (line height 10). Every character is a
// fully covered block 5 wide and 8 high on an advance of 6, except: space and tab (no
// ink), "i" (2 wide, advance 3), "h" (half coverage, 128), "…" (three dots on the
// baseline row at x 0, 2, 4; advance 6), and U+FFFF (cannot be rendered).
class BoxFace final : public GlyphSource {
public:
    FaceMetrics metrics() const override;
    bool render(char32_t code_point, Glyph& out) override;
    int renders() const { return m_renders; }

private:
    int m_renders = 0;
};

std::shared_ptr<FontRep> box_font(bool underline = false);

}  // namespace vistrel::test
