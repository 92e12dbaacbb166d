#pragma once
// A skin file's bytes, checked once and then read in place.
//
// `open` accepts the bytes only when every offset and size they hold leads inside them:
// header, string pool, tree records, node bodies, table bounds and entry sizes, child
// offsets, names (inside the file and 0-terminated), picture, font and text indexes; the
// tables and the top-level tree must be sorted by name, and child references must not form
// cycles. After that no lookup can read outside the bytes or loop.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "skin/node_handle.h"
#include "skin/skin_format.h"

namespace vistrel {

// The name order of skin files: unit by unit as unsigned 16-bit values, the shorter name
// first when one is a prefix of the other; no case folding. Negative, 0 or positive as
// `key` sorts before, equal to or after the 0-terminated name at `name`.
int compare_skin_name(std::u16string_view key, const uint8_t* name);

class SkinImage {
public:
    // Limits that keep a hostile file from making the program build endless element trees.
    static constexpr uint64_t kMaxFileBytes = uint64_t(64) << 20;
    static constexpr int kMaxDepth = 256;             // nesting of child nodes
    // Elements one node expands to, shared children counted each time they are reached
    // (the largest shipped screen has under a hundred).
    static constexpr uint64_t kMaxSubtree = 4096;
    static constexpr int kMaxPictures = 256;  // a picture index is one byte
    static constexpr int kMaxFonts = 1024;    // each font is created at load
    // Texts a string entry can name (its index is 16 bits); the pool's further texts are
    // neither walked nor kept.
    static constexpr int kMaxTexts = 65536;

    // The checked image, or null (with the reason in `error` when given).
    static std::unique_ptr<SkinImage> open(std::vector<uint8_t> bytes,
                                           std::string* error = nullptr);

    const uint8_t* data() const { return m_bytes.data(); }
    size_t size() const { return m_bytes.size(); }

    int picture_count() const { return m_picture_count; }
    int font_count() const { return m_font_count; }
    int text_count() const { return m_text_count; }
    // Strings of the pool, by index within their group.
    std::u16string picture_name(int index) const { return pool_string(index); }
    std::u16string font_description(int index) const {
        return pool_string(m_picture_count + index);
    }
    std::u16string text(int index) const {
        return pool_string(m_picture_count + m_font_count + index);
    }

    // Top-level lookup; null when absent.
    NodeHandle find_node(std::u16string_view name) const;
    // The top-level nodes in name order, with their names.
    std::vector<std::pair<std::u16string, NodeHandle>> top_level_nodes() const;

    // Entries of one table of a node (0 for a null node).
    int entry_count(NodeHandle node, skin_format::AttributeKind kind) const;
    // The entry at `index` (checked by the caller against entry_count).
    const uint8_t* entry(NodeHandle node, skin_format::AttributeKind kind, int index) const;
    // Binary search of one table; null when absent.
    const uint8_t* find_entry(NodeHandle node, skin_format::AttributeKind kind,
                              std::u16string_view name) const;
    // The name of an entry.
    std::u16string entry_name(const uint8_t* entry) const;

    int child_count(NodeHandle node) const;
    // Null when `index` is out of range.
    NodeHandle child(NodeHandle node, int index) const;

    // The 0-terminated string at a file offset (checked names only).
    std::u16string string_at(uint32_t offset) const;

private:
    class Checker;
    explicit SkinImage(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    std::u16string pool_string(int index) const;
    void collect(int32_t record, std::vector<std::pair<std::u16string, NodeHandle>>& out) const;

    std::vector<uint8_t> m_bytes;
    std::vector<uint32_t> m_pool;  // offset of every pool string
    int m_picture_count = 0;
    int m_font_count = 0;
    int m_text_count = 0;
};

}  // namespace vistrel
