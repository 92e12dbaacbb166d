#pragma once
// The live skin and language table of the program. Screens keep one `Properties`; a
// successful skin or language load replaces the old one whole, a failed one leaves it in
// use. Node handles and picture references point into the loaded skin and stay valid
// until the next successful skin load, after which every skin listener rebuilds itself.
//
// Lookups never fail: an absent node or attribute gives the caller's default, returned
// unscaled; stored points and picture coordinates are doubled on a 192-dpi screen.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "language/language_table.h"
#include "render/geometry.h"
#include "render/pixel.h"
#include "skin/font_rep.h"
#include "skin/node_handle.h"
#include "skin/picture_reference.h"
#include "skin/properties_impl.h"
#include "skin/screen_info.h"

namespace vistrel {

class Properties;

// Told after the skin changed, so that it rebuilds itself from the new one.
class SkinListener {
public:
    virtual ~SkinListener() = default;
    virtual void reload_skin(Properties& properties) = 0;
};

class Properties {
public:
    Properties();
    ~Properties();
    Properties(const Properties&) = delete;
    Properties& operator=(const Properties&) = delete;

    // Loads the skin at `path` for `screen`; on success it replaces the current one and
    // `path` becomes the skin path. False, with the current skin kept, otherwise.
    bool load_skin(const std::u16string& path, const ScreenInfo& screen);
    // Takes a skin loaded elsewhere (tests, tools); false, and nothing changed, when it
    // did not load.
    bool use_skin(std::unique_ptr<PropertiesImpl> skin);
    bool has_skin() const { return m_skin != nullptr; }
    // The path of the current skin, as given to load_skin; empty without one.
    const std::u16string& skin_path() const { return m_skin_path; }
    // 0, or 1 when the skin is drawn at twice its size.
    int scale_shift() const { return m_skin ? m_skin->scale_shift() : 0; }
    const PropertiesImpl* skin() const { return m_skin.get(); }

    // Top-level node by name; null when absent.
    NodeHandle find_node(std::u16string_view name) const;
    int32_t get_integer(NodeHandle node, std::u16string_view name, int32_t fallback = 0) const;
    Point get_point(NodeHandle node, std::u16string_view name, Point fallback = {}) const;
    FontHandle get_font(NodeHandle node, std::u16string_view name,
                        const FontHandle& fallback = nullptr) const;
    // A view into the skin's texts, valid until the next skin load (or of `fallback`).
    std::u16string_view get_string(NodeHandle node, std::u16string_view name,
                                   std::u16string_view fallback = {}) const;
    // A stored colour is always opaque (alpha 255).
    Colour get_color(NodeHandle node, std::u16string_view name, Colour fallback = {}) const;
    PictureReference get_picture(NodeHandle node, std::u16string_view name,
                                 const PictureReference& fallback = {}) const;
    int child_count(NodeHandle node) const;
    // The child at `index` (from 0, in stored order); null when out of range.
    NodeHandle child(NodeHandle node, int index) const;
    // Entries of one attribute table of a node.
    int attribute_count(NodeHandle node, skin_format::AttributeKind kind) const;

    // Replaces the language table with the file at `path`; false, table unchanged, when
    // the file cannot be opened.
    bool load_language(const std::u16string& path);
    // The text for a language key, or the key itself when the table has none.
    std::u16string text_for(std::u16string_view key) const { return m_language.text_for(key); }
    const LanguageTable& language() const { return m_language; }
    // The path the language table came from, as given; empty before the first load.
    const std::u16string& language_path() const { return m_language.path(); }

    // Skin listeners: kept across skin loads, told in the order they were added.
    void add_skin_listener(SkinListener* listener);
    void remove_skin_listener(SkinListener* listener);
    void send_reload_skin();

private:
    std::unique_ptr<PropertiesImpl> m_skin;
    std::u16string m_skin_path;
    LanguageTable m_language;
    std::vector<SkinListener*> m_listeners;
};

// The same operations as free functions, as the rest of the program names them.
inline bool load_language(Properties& properties, const std::u16string& path) {
    return properties.load_language(path);
}
inline std::u16string text_for(const Properties& properties, std::u16string_view key) {
    return properties.text_for(key);
}

}  // namespace vistrel
