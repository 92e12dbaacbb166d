#pragma once
// What a skin says about a font: size in points, scale factor, style and face name.

#include <string>
#include <string_view>

namespace vistrel {

struct FontDescription {
    int size = 12;  // points; 0 makes no font
    int scale = 1;  // 2^(skin scale shift) for skin fonts
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::u16string face = u"Tahoma";

    friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// Parses "size bold italic underline face" over `out`: four integers (optional white
// space, optional sign, digits) and then, after the white space that follows the fourth,
// the face name with its inner spaces. Parsing stops at the first field that does not
// parse; the fields read before it are kept.
void parse_font_description(std::u16string_view text, FontDescription& out);

// The platform font height: size * scale * (-96) / 72, truncated; negative means the
// character height in pixels, positive the cell height. Clamped to the int range.
int font_height(const FontDescription& description);

}  // namespace vistrel
