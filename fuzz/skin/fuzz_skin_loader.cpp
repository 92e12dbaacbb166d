// The skin loader on any bytes, then every lookup on what loaded: the top-level tree, each
// node's tables and children, picture references drawn into a surface and the skin's
// texts laid out and drawn with its fonts.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "render/pixel_op.h"
#include "render/render_surface.h"
#include "skin/properties.h"
#include "skin/text_draw.h"

namespace {

using namespace vistrel;
using skin_format::AttributeKind;

// Glyphs of a size that follows the character, so that layout meets varied widths.
class FuzzFace final : public GlyphSource {
public:
    FaceMetrics metrics() const override { return {7, 2, 1, 1}; }
    bool render(char32_t c, Glyph& out) override {
        if (c % 97 == 0) return false;
        out = Glyph{};
        out.width = static_cast<int>(c % 7);
        out.height = static_cast<int>(c % 9);
        out.left = static_cast<int>(c % 3) - 1;
        out.top = 7;
        out.advance = static_cast<int>(c % 8);
        out.coverage.assign(static_cast<size_t>(out.width) * out.height,
                            static_cast<uint8_t>(c * 37));
        return true;
    }
};

SkinResources fuzz_resources() {
    SkinResources r;
    r.load_picture = [](const std::u16string& path) {
        PictureHandle handle;
        const int w = 1 + static_cast<int>(path.size() % 9);
        auto bitmap = Bitmap::create(w, 5);
        bitmap->clear(static_cast<Pixel>(path.size() * 0x1357));
        picture_from_bitmap(std::move(bitmap), handle);
        return handle;
    };
    r.make_font = [](const FontDescription& d, int) {
        return std::make_shared<FontRep>(d, d.size == 0 ? nullptr : std::make_unique<FuzzFace>());
    };
    return r;
}

void visit(const Properties& p, NodeHandle node, RenderSurface& surface, int& budget) {
    if (!node || --budget < 0) return;
    const SkinImage& image = *p.skin()->image();
    for (int k = 0; k < skin_format::kAttributeKinds; ++k) {
        const auto kind = static_cast<AttributeKind>(k);
        for (int i = 0; i < p.attribute_count(node, kind); ++i) {
            const std::u16string name = image.entry_name(image.entry(node, kind, i));
            p.get_integer(node, name, 0);
            p.get_point(node, name, {});
            const Colour c = p.get_color(node, name, {});
            const std::u16string_view text = p.get_string(node, name, u"");
            const FontHandle font = p.get_font(node, name, nullptr);
            const PictureReference picture = p.get_picture(node, name, {});
            picture.draw(surface, {-3, 2}, {40, 17}, KeyedCopyOp());
            picture.draw(surface, {5, -1}, picture.natural_size(), Blend50Op());
            if (font) {
                for (uint32_t flags :
                     {kTextSingleLine | kTextEndEllipsis | kTextCenter,
                      kTextWordBreak | kTextWordEllipsis | kTextEndEllipsis | kTextBottom,
                      kTextWordBreak | kTextCalcRect}) {
                    Rect rect{-2, 1, 30 + static_cast<int>(text.size() % 40), 25};
                    draw_text(surface, *font, text, rect, flags, c);
                }
            }
        }
    }
    for (int i = 0; i < p.child_count(node); ++i)
        visit(p, p.child(node, i), surface, budget);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScreenInfo screen;
    screen.dpi = size % 2 ? 192 : 96;
    auto skin = std::make_unique<PropertiesImpl>(std::vector<uint8_t>(data, data + size),
                                                 u"fuzz/fuzz.skin", screen, fuzz_resources());
    if (!skin->loaded()) return 0;
    Properties properties;
    if (!properties.use_skin(std::move(skin))) std::abort();
    RenderSurface surface(Size{48, 32});
    surface.fill_pixel({0, 0}, {48, 32}, 0);
    int budget = 2000;
    for (const auto& [name, node] : properties.skin()->image()->top_level_nodes()) {
        if (properties.find_node(name) != node) std::abort();  // the tree finds what it holds
        visit(properties, node, surface, budget);
    }
    properties.find_node(u"");
    properties.find_node(u"\uFFFF\uFFFF");
    return 0;
}
