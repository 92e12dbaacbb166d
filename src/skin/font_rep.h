#pragma once
// A created font: its description, its face (none when creation failed: such a font
// measures zero widths and draws nothing), its line metrics and a glyph cache.
//
// Fonts are shared (`FontHandle`) between the skin's font list and the elements that use
// them. A font may be used from more than one thread; each call takes the font's lock.

#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "render/geometry.h"
#include "render/pixel.h"
#include "render/surface.h"
#include "skin/font_description.h"
#include "skin/glyph_source.h"

namespace vistrel {

class FontRep {
public:
    // Creates the font through fontconfig and FreeType (a size of 0 creates none).
    // `dpi` is the display's vertical dots per inch, for the trace only: the height does
    // not depend on it.
    explicit FontRep(const FontDescription& description, int dpi = 96);
    // A font over a given face (null for none).
    FontRep(const FontDescription& description, std::unique_ptr<GlyphSource> face);
    virtual ~FontRep();
    FontRep(const FontRep&) = delete;
    FontRep& operator=(const FontRep&) = delete;

    // Whether a face was created.
    bool valid() const { return m_face != nullptr; }
    const FontDescription& description() const { return m_description; }
    // The platform height the face was created with (font_height of the description).
    int height() const { return m_height; }
    // Height of one line (ascent + descent; 20 without a face) and the part below the
    // baseline (0 without a face).
    int line_height() const { return m_line_height; }
    int descent() const { return m_descent; }
    int ascent() const { return m_line_height - m_descent; }

    // The width of one line of text in pixels (tabs count as four spaces).
    int text_width(std::u16string_view text) const;
    // How many code units of `text` fit into `width` pixels, whole characters only.
    size_t fit(std::u16string_view text, int width) const;
    // Draws one line of text whose top-left corner is `position`, anti-aliased in
    // `colour`, clipped to the surface's clip rectangle. Returns the pen's end x.
    int draw_line(Surface& surface, Point position, std::u16string_view text, Colour colour) const;

    // Glyphs kept before the cache is emptied and refilled.
    static constexpr size_t kGlyphCacheLimit = 1024;
    size_t cached_glyphs() const;

private:
    void set_face(std::unique_ptr<GlyphSource> face);
    // A rendered glyph from the cache (rendering it on first use); call with m_mutex held.
    const Glyph& glyph(char32_t code_point) const;
    int advance_locked(std::u16string_view text, size_t& i) const;

    FontDescription m_description;
    int m_height = 0;
    int m_line_height = 20;
    int m_descent = 0;
    FaceMetrics m_metrics;
    std::unique_ptr<GlyphSource> m_face;
    mutable std::mutex m_mutex;
    mutable std::unordered_map<char32_t, Glyph> m_glyphs;
};

using FontHandle = std::shared_ptr<FontRep>;

// Decodes the code point at `i` (a surrogate pair counts once, an unpaired surrogate is
// U+FFFD) and moves `i` past it.
char32_t next_code_point(std::u16string_view text, size_t& i);

}  // namespace vistrel
