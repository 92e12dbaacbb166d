#include "skin/font_rep.h"

#include <algorithm>

#include "platform/threads.h"
#include "platform/trace.h"
#include "skin/freetype_face.h"

namespace vistrel {

char32_t next_code_point(std::u16string_view text, size_t& i) {
    const char16_t c = text[i++];
    if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
        return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i++] - 0xDC00);
    }
    if (c >= 0xD800 && c <= 0xDFFF) return 0xFFFD;
    return c;
}

namespace {

constexpr int kTabSpaces = 4;

// A colour blended over a pixel by coverage 0..255, channel by channel. Over the colour
// key the text is drawn unblended where it covers at least half a pixel, so that cached
// (keyed) renderings get no magenta fringes.
inline Pixel blend(Pixel dst, Pixel colour, unsigned coverage) {
    if (coverage >= 255) return colour;
    if (dst == kColourKey) return coverage >= 128 ? colour : dst;
    const unsigned w = coverage + (coverage >> 7);  // 0..256
    const unsigned r = ((colour >> 11) * w + (dst >> 11) * (256 - w)) >> 8;
    const unsigned g = (((colour >> 5) & 0x3F) * w + ((dst >> 5) & 0x3F) * (256 - w)) >> 8;
    const unsigned b = ((colour & 0x1F) * w + (dst & 0x1F) * (256 - w)) >> 8;
    return static_cast<Pixel>(r << 11 | g << 5 | b);
}

}  // namespace

FontRep::FontRep(const FontDescription& description, int dpi) : m_description(description) {
    m_glyphs.reserve(100);
    if (description.size == 0) return;
    const uint32_t start = tick_count();
    m_height = font_height(description);
    trace() << "dpiy=" << dpi << " log_font.lfHeight=" << m_height << "}\n";
    const std::u16string face = description.face.substr(0, 31);
    std::unique_ptr<GlyphSource> source;
    if (const auto match = match_font(face, description.bold, description.italic)) {
        source = open_font_face(*match, m_height);
    }
    if (!source) trace() << "ERROR: FontRep::FontRep() Failed to create font\n";
    trace() << "Creating font: {" << face << "} elapsed=" << (tick_count() - start) << "\n";
    set_face(std::move(source));
}

FontRep::FontRep(const FontDescription& description, std::unique_ptr<GlyphSource> face)
    : m_description(description), m_height(font_height(description)) {
    m_glyphs.reserve(100);
    set_face(std::move(face));
}

FontRep::~FontRep() = default;

void FontRep::set_face(std::unique_ptr<GlyphSource> face) {
    m_face = std::move(face);
    if (!m_face) return;
    m_metrics = m_face->metrics();
    m_line_height = m_metrics.ascent + m_metrics.descent;
    m_descent = m_metrics.descent;
}

size_t FontRep::cached_glyphs() const {
    std::lock_guard lock(m_mutex);
    return m_glyphs.size();
}

const Glyph& FontRep::glyph(char32_t code_point) const {
    if (const auto it = m_glyphs.find(code_point); it != m_glyphs.end()) return it->second;
    // Emptying the cache would leave earlier references of this call dangling; callers
    // hold a reference only while drawing one glyph, so it happens before the insert.
    if (m_glyphs.size() >= kGlyphCacheLimit) m_glyphs.clear();
    Glyph g;
    if (!m_face->render(code_point, g)) g = Glyph{};
    return m_glyphs.emplace(code_point, std::move(g)).first->second;
}

int FontRep::advance_locked(std::u16string_view text, size_t& i) const {
    const char32_t c = next_code_point(text, i);
    if (c == u'\t') return kTabSpaces * glyph(u' ').advance;
    return glyph(c).advance;
}

int FontRep::text_width(std::u16string_view text) const {
    if (!m_face) return 0;
    std::lock_guard lock(m_mutex);
    int width = 0;
    for (size_t i = 0; i < text.size();)
        width += advance_locked(text, i);
    return width;
}

size_t FontRep::fit(std::u16string_view text, int width) const {
    if (!m_face) return text.size();
    std::lock_guard lock(m_mutex);
    int used = 0;
    size_t i = 0;
    while (i < text.size()) {
        size_t next = i;
        used += advance_locked(text, next);
        if (used > width) break;
        i = next;
    }
    return i;
}

int FontRep::draw_line(Surface& surface, Point position, std::u16string_view text,
                       Colour colour) const {
    if (!m_face || !surface.bitmap()) return position.x;
    std::lock_guard lock(m_mutex);
    const Pixel pixel = to_pixel(colour);
    const Rect clip = surface.clip();
    Bitmap& bitmap = *surface.bitmap();
    const int baseline = position.y + ascent();
    int pen = position.x;
    for (size_t i = 0; i < text.size();) {
        const char32_t c = next_code_point(text, i);
        if (c == u'\t') {
            pen += kTabSpaces * glyph(u' ').advance;
            continue;
        }
        const Glyph& g = glyph(c);
        const int x0 = pen + g.left;
        const int y0 = baseline - g.top;
        const int left = std::max(x0, clip.left);
        const int right = std::min(x0 + g.width, clip.right);
        const int top = std::max(y0, clip.top);
        const int bottom = std::min(y0 + g.height, clip.bottom);
        // A glyph wholly outside the clip (or without pixels) has no coverage row to
        // offset into.
        if (left >= right || top >= bottom) {
            pen += g.advance;
            continue;
        }
        for (int y = top; y < bottom; ++y) {
            const uint8_t* cov =
                g.coverage.data() + static_cast<size_t>(y - y0) * g.width + (left - x0);
            Pixel* row = bitmap.row(y);
            for (int x = left; x < right; ++x, ++cov) {
                if (*cov) row[x] = blend(row[x], pixel, *cov);
            }
        }
        pen += g.advance;
    }
    if (m_description.underline && pen > position.x) {
        const int top = baseline + m_metrics.underline_position;
        surface.fill_pixel({position.x, top}, {pen - position.x, m_metrics.underline_thickness},
                           pixel);
    }
    return pen;
}

}  // namespace vistrel
