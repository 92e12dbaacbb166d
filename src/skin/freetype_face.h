#pragma once
// Fonts of the system through fontconfig (which file a face name means) and FreeType
// (rendering). The only files that see either library are freetype_face.cpp.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "skin/glyph_source.h"

namespace vistrel {

struct FontMatch {
    std::string file;       // the font file fontconfig picked
    int index = 0;          // face index inside it
    std::string family;     // its family name
    bool embolden = false;  // bold asked for, the file is not bold: thicken the outlines
    bool oblique = false;   // italic asked for, the file is upright: slant the outlines
};

// fontconfig's best match for a face name and style (a missing face falls back to the
// closest installed one); nothing only when no font is installed at all. Cached.
std::optional<FontMatch> match_font(std::u16string_view face, bool bold, bool italic);

// A face at the platform font height (negative: character height in pixels, positive:
// cell height), or null when the file cannot be opened. Pixel sizes are limited to
// 1..kMaxFontPixels.
std::unique_ptr<GlyphSource> open_font_face(const FontMatch& match, int height);

inline constexpr int kMaxFontPixels = 512;

}  // namespace vistrel
