#include "skin/freetype_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/text.h"

namespace vistrel {
namespace {

// FreeType's library object: created once, alive for the whole process (faces of static
// objects may be released at exit). Face creation and release go through its lock.
struct FreeTypeLibrary {
    std::mutex mutex;
    FT_Library library = nullptr;
};

FreeTypeLibrary& freetype() {
    static FreeTypeLibrary* lib = [] {
        auto* l = new FreeTypeLibrary;
        if (FT_Init_FreeType(&l->library) != 0) l->library = nullptr;
        return l;
    }();
    return *lib;
}

std::mutex& fontconfig_mutex() {
    static std::mutex m;
    return m;
}

class FreeTypeFace final : public GlyphSource {
public:
    FreeTypeFace(FT_Face face, const FontMatch& match) : m_face(face), m_match(match) {}
    ~FreeTypeFace() override {
        std::lock_guard lock(freetype().mutex);
        FT_Done_Face(m_face);
    }

    FaceMetrics metrics() const override {
        const FT_Size_Metrics& m = m_face->size->metrics;
        FaceMetrics out;
        out.ascent = static_cast<int>((m.ascender + 63) >> 6);
        out.descent = static_cast<int>((-m.descender + 63) >> 6);
        if (FT_IS_SCALABLE(m_face) && m_face->units_per_EM > 0) {
            const int64_t ppem = m.y_ppem;
            out.underline_position = std::max<int64_t>(
                1, (-int64_t(m_face->underline_position) * ppem + m_face->units_per_EM / 2) /
                       m_face->units_per_EM);
            out.underline_thickness = std::max<int64_t>(
                1, (int64_t(m_face->underline_thickness) * ppem + m_face->units_per_EM / 2) /
                       m_face->units_per_EM);
        }
        out.underline_position = std::min(out.underline_position, std::max(out.descent - 1, 0));
        return out;
    }

    bool render(char32_t code_point, Glyph& out) override {
        if (FT_Load_Char(m_face, code_point, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0)
            return false;
        FT_GlyphSlot slot = m_face->glyph;
        if (m_match.embolden) FT_GlyphSlot_Embolden(slot);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows > 0) return false;
        out.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        out.left = slot->bitmap_left;
        out.top = slot->bitmap_top;
        out.width = static_cast<int>(bitmap.width);
        out.height = static_cast<int>(bitmap.rows);
        out.coverage.resize(static_cast<size_t>(out.width) * out.height);
        for (int y = 0; y < out.height; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
            std::copy(row, row + out.width,
                      out.coverage.begin() + static_cast<ptrdiff_t>(y) * out.width);
        }
        return true;
    }

private:
    FT_Face m_face;
    FontMatch m_match;
};

// The pixel size (em) for a platform height: the character height as it is, a cell
// height shared out over the face's ascender and descender.
int em_pixels(FT_Face face, int height) {
    int64_t em = height < 0 ? -int64_t(height) : height;
    if (height > 0 && FT_IS_SCALABLE(face)) {
        const int64_t cell = int64_t(face->ascender) - face->descender;
        if (cell > 0) em = (em * face->units_per_EM + cell / 2) / cell;
    }
    return static_cast<int>(std::clamp<int64_t>(em, 1, kMaxFontPixels));
}

}  // namespace

std::optional<FontMatch> match_font(std::u16string_view face, bool bold, bool italic) {
    std::lock_guard lock(fontconfig_mutex());
    static std::map<std::tuple<std::u16string, bool, bool>, std::optional<FontMatch>> cache;
    const auto key = std::make_tuple(std::u16string(face), bold, italic);
    if (const auto it = cache.find(key); it != cache.end()) return it->second;

    std::optional<FontMatch> result;
    static const bool initialised = [] {
        if (!FcInit()) return false;
        std::atexit(FcFini);  // fontconfig keeps its configuration until told otherwise
        return true;
    }();
    if (initialised) {
        FcPattern* pattern = FcPatternCreate();
        const std::string family = to_utf8(face);
        if (!family.empty()) {
            FcPatternAddString(pattern, FC_FAMILY,
                               reinterpret_cast<const FcChar8*>(family.c_str()));
        }
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult status = FcResultNoMatch;
        FcPattern* found = FcFontMatch(nullptr, pattern, &status);
        FcChar8* file = nullptr;
        if (found && FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file) {
            FontMatch match;
            match.file = reinterpret_cast<const char*>(file);
            int index = 0;
            if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch)
                match.index = index;
            FcChar8* name = nullptr;
            if (FcPatternGetString(found, FC_FAMILY, 0, &name) == FcResultMatch && name) {
                match.family = reinterpret_cast<const char*>(name);
            }
            int weight = FC_WEIGHT_REGULAR;
            FcPatternGetInteger(found, FC_WEIGHT, 0, &weight);
            int slant = FC_SLANT_ROMAN;
            FcPatternGetInteger(found, FC_SLANT, 0, &slant);
            match.embolden = bold && weight < FC_WEIGHT_DEMIBOLD;
            match.oblique = italic && slant == FC_SLANT_ROMAN;
            result = match;
        }
        if (found) FcPatternDestroy(found);
        FcPatternDestroy(pattern);
    }
    if (cache.size() >= 256) cache.clear();  // names come from skin files: keep it bounded
    cache.emplace(key, result);
    return result;
}

std::unique_ptr<GlyphSource> open_font_face(const FontMatch& match, int height) {
    FreeTypeLibrary& lib = freetype();
    std::lock_guard lock(lib.mutex);
    if (!lib.library) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(lib.library, match.file.c_str(), match.index, &face) != 0) return nullptr;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em_pixels(face, height))) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    if (match.oblique) {
        FT_Matrix shear{0x10000, 0x3800, 0, 0x10000};  // about 12 degrees
        FT_Set_Transform(face, &shear, nullptr);
    }
    return std::make_unique<FreeTypeFace>(face, match);
}

}  // namespace vistrel
