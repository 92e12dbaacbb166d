#pragma once
// One loaded skin: the checked file image, the pictures and fonts built from its lists,
// its texts and its scale shift. The typed lookups read the image in place.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "render/geometry.h"
#include "render/pixel.h"
#include "skin/font_rep.h"
#include "skin/node_handle.h"
#include "skin/picture_reference.h"
#include "skin/screen_info.h"
#include "skin/skin_image.h"

namespace vistrel {

// How a skin gets its pictures and fonts; tests and fuzzing substitute their own.
struct SkinResources {
    // The picture for a path without extension ("folder/name"); an empty handle fails the
    // load. By default load_565.
    std::function<PictureHandle(const std::u16string& path)> load_picture;
    // The font for a description; by default a FontRep made through FreeType.
    std::function<FontHandle(const FontDescription& description, int dpi)> make_font;

    static SkinResources system();
};

// The pixels all pictures of one skin may take together.
inline constexpr int64_t kMaxSkinPicturePixels = 64'000'000;

class PropertiesImpl {
public:
    // Loads the skin file at `path` for `screen`; see loaded().
    PropertiesImpl(const std::u16string& path, const ScreenInfo& screen);
    // Loads from bytes already read; pictures are named relative to `path`'s folder.
    PropertiesImpl(std::vector<uint8_t> bytes, const std::u16string& path, const ScreenInfo& screen,
                   const SkinResources& resources);
    PropertiesImpl(const PropertiesImpl&) = delete;
    PropertiesImpl& operator=(const PropertiesImpl&) = delete;

    bool loaded() const { return m_image != nullptr; }
    // Why the load failed (empty when it did not, or the file was simply not a skin).
    const std::string& error() const { return m_error; }
    const std::u16string& path() const { return m_path; }
    int scale_shift() const { return m_scale_shift; }
    const SkinImage* image() const { return m_image.get(); }

    // Each picture whole. On a doubled screen a picture "NAME" with a "NAME@2x" twice its
    // size is that one, and its references draw it pixel for pixel (dense()).
    const std::vector<PictureReference>& pictures() const { return m_pictures; }
    bool dense(int picture) const {
        return m_scale_shift > 0 && picture >= 0 && size_t(picture) < m_picture_shifts.size() &&
               m_picture_shifts[size_t(picture)] == 0;
    }
    const std::vector<FontHandle>& fonts() const { return m_fonts; }
    const std::vector<std::u16string>& texts() const { return m_texts; }

    NodeHandle find_node(std::u16string_view name) const;
    int32_t get_integer(NodeHandle node, std::u16string_view name, int32_t fallback) const;
    Point get_point(NodeHandle node, std::u16string_view name, Point fallback) const;
    FontHandle get_font(NodeHandle node, std::u16string_view name,
                        const FontHandle& fallback) const;
    std::u16string_view get_string(NodeHandle node, std::u16string_view name,
                                   std::u16string_view fallback) const;
    Colour get_color(NodeHandle node, std::u16string_view name, Colour fallback) const;
    PictureReference get_picture(NodeHandle node, std::u16string_view name,
                                 const PictureReference& fallback) const;
    int child_count(NodeHandle node) const;
    NodeHandle child(NodeHandle node, int index) const;
    int attribute_count(NodeHandle node, skin_format::AttributeKind kind) const;

private:
    void load(std::vector<uint8_t> bytes, const ScreenInfo& screen, const SkinResources& resources);
    const uint8_t* find(NodeHandle node, skin_format::AttributeKind kind,
                        std::u16string_view name) const;

    std::u16string m_path;
    std::string m_error;
    std::unique_ptr<const SkinImage> m_image;  // null when the load failed
    std::vector<PictureReference> m_pictures;
    std::vector<int> m_picture_shifts;  // the shift each picture's references draw at
    std::vector<FontHandle> m_fonts;
    std::vector<std::u16string> m_texts;
    int m_scale_shift = 0;
};

// The folder part of a skin path (up to the last "/" or "\"), empty when it has none.
std::u16string skin_folder(std::u16string_view path);

}  // namespace vistrel
