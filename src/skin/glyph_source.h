#pragma once
// Where a font's glyphs come from: an interface over one sized face, so that text layout
// and drawing can run on FreeType faces and, in tests, on faces with known glyphs.

#include <cstdint>
#include <vector>

namespace vistrel {

// One rendered character: 8-bit coverage rows and where they sit relative to the pen.
struct Glyph {
    int advance = 0;  // pixels the pen moves
    int left = 0;     // from the pen to the first column
    int top = 0;      // from the baseline up to the first row
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;  // width * height, 0 (empty) .. 255 (covered)
};

struct FaceMetrics {
    int ascent = 0;              // pixels above the baseline
    int descent = 0;             // pixels below it
    int underline_position = 1;  // rows below the baseline to the underline's top
    int underline_thickness = 1;
};

class GlyphSource {
public:
    virtual ~GlyphSource() = default;
    virtual FaceMetrics metrics() const = 0;
    // Renders `code_point`; false when the face cannot (the character then takes no room).
    // Not thread-safe: the owning font serialises calls.
    virtual bool render(char32_t code_point, Glyph& out) = 0;
};

}  // namespace vistrel
