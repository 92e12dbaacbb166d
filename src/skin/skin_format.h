#pragma once
// The byte layout of skin files. All values are little-endian; names and strings are
// UTF-16LE units ending with a 0 unit. The file is used in place: these records are read
// straight out of the loaded bytes (through the decode functions, so that no record needs
// to be aligned).
//
//   header (92 bytes): magic (4 units), 64 free bytes, root record offset (i32, -1 = none),
//                      picture count, font count, string pool offset, text count (i32 each)
//   string pool:       picture file names, then font descriptions, then texts
//   tree record:       left, right, name offset (i32 each), then the node body
//   node body:         seven u16 table bounds (relative to the body), u16 child count,
//                      child body offsets (i32 each), and somewhere within 64 KiB the tables
//   table entries:     sorted by name; every entry starts with the u16 offset of its name

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vistrel::skin_format {

inline constexpr uint16_t kMagic[4] = {0x0421, 0x043A, 0x0438, 0x043D};
inline constexpr size_t kHeaderSize = 92;
inline constexpr size_t kRootField = 72;
inline constexpr size_t kPictureCountField = 76;
inline constexpr size_t kFontCountField = 80;
inline constexpr size_t kPoolOffsetField = 84;
inline constexpr size_t kTextCountField = 88;

inline constexpr size_t kRecordSize = 12;      // left, right, name
inline constexpr size_t kBodyHeaderSize = 16;  // seven table bounds and the child count
inline constexpr int32_t kNoRecord = -1;

// The attribute tables of a node body, in stored order.
enum class AttributeKind : int {
    Integer = 0,
    Font = 1,
    Point = 2,
    String = 3,
    Picture = 4,
    Colour = 5
};
inline constexpr int kAttributeKinds = 6;

struct Node {
    uint16_t name;
};
struct IntegerNode {
    static constexpr size_t Size = 8;
    uint16_t name;
    uint16_t padding;
    int32_t value;  // for a font reference: the font index
};
struct PointNode {
    static constexpr size_t Size = 8;
    uint16_t name;
    uint16_t padding;
    int16_t x;
    int16_t y;
};
struct StringNode {
    static constexpr size_t Size = 4;
    uint16_t name;
    uint16_t text;  // text index
};
struct PictureNode {
    static constexpr size_t Size = 20;
    uint16_t name;
    uint16_t x0, y0, x1, y1, x2, y2, x3, y3;
    uint8_t picture;  // picture index
    uint8_t flag;
};
struct ColorNode {
    static constexpr size_t Size = 8;
    uint16_t name;
    uint16_t padding;
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t unused;  // never read: a skin colour is opaque
};
static_assert(sizeof(Node) == 2 && sizeof(IntegerNode) == IntegerNode::Size &&
              sizeof(PointNode) == PointNode::Size && sizeof(StringNode) == StringNode::Size &&
              sizeof(PictureNode) == PictureNode::Size && sizeof(ColorNode) == ColorNode::Size);

constexpr size_t entry_size(AttributeKind kind) {
    switch (kind) {
        case AttributeKind::String:
            return StringNode::Size;
        case AttributeKind::Picture:
            return PictureNode::Size;
        default:
            return 8;
    }
}

inline uint16_t load_u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline int16_t load_i16(const uint8_t* p) {
    return static_cast<int16_t>(load_u16(p));
}
inline uint32_t load_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline int32_t load_i32(const uint8_t* p) {
    return static_cast<int32_t>(load_u32(p));
}

inline void store_u16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void store_i32(uint8_t* p, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(u >> (8 * i));
}

inline IntegerNode decode_integer(const uint8_t* p) {
    return {load_u16(p), 0, load_i32(p + 4)};
}
inline PointNode decode_point(const uint8_t* p) {
    return {load_u16(p), 0, load_i16(p + 4), load_i16(p + 6)};
}
inline StringNode decode_string(const uint8_t* p) {
    return {load_u16(p), load_u16(p + 2)};
}
inline PictureNode decode_picture(const uint8_t* p) {
    PictureNode n{};
    n.name = load_u16(p);
    uint16_t* coords[8] = {&n.x0, &n.y0, &n.x1, &n.y1, &n.x2, &n.y2, &n.x3, &n.y3};
    for (int i = 0; i < 8; ++i)
        *coords[i] = load_u16(p + 2 + 2 * i);
    n.picture = p[18];
    n.flag = p[19];
    return n;
}
inline ColorNode decode_colour(const uint8_t* p) {
    return {load_u16(p), 0, p[4], p[5], p[6], p[7]};
}

}  // namespace vistrel::skin_format
