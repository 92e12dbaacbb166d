#pragma once
// The readable source form of a skin (see skins/README.md): the pictures it uses and a
// tree of nodes with typed attributes. The compiler turns it into a skin file; a skin file
// turns back into it for printing, so that compiling the printed form gives the same bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "skin/skin_image.h"

namespace vistrel::skinc {

struct PictureValue {
    std::u16string picture;   // a declared picture name
    uint16_t coords[8] = {};  // x0 y0 x1 y1 x2 y2 x3 y3
    uint8_t flag = 0;
};

struct Attribute {
    skin_format::AttributeKind kind = skin_format::AttributeKind::Integer;
    std::u16string name;
    int32_t integer = 0;                   // Integer
    int16_t x = 0, y = 0;                  // Point
    uint8_t red = 0, green = 0, blue = 0;  // Colour
    std::u16string text;                   // String text, Font description
    PictureValue picture;                  // Picture
};

struct SourceNode {
    std::u16string name;  // top-level nodes only
    std::vector<Attribute> attributes;
    std::vector<SourceNode> children;
    int line = 0;  // where it starts in the source, for messages
};

struct SkinSource {
    std::vector<std::u16string> pictures;  // in declaration order: the picture indexes
    std::vector<SourceNode> nodes;         // top-level nodes
};

// Parses source text (UTF-8). False with "line N: what" in `error` on a mistake.
bool parse_skin_source(const std::string& text, SkinSource& out, std::string& error);

// The source text of a skin (UTF-8), attributes in stored order, top-level nodes in name
// order.
std::string format_skin_source(const SkinSource& source);

// The source form of a loaded skin file.
SkinSource skin_source_from_image(const SkinImage& image);

// The attribute kind's keyword in the source: int, font, point, string, picture, color.
const char* kind_keyword(skin_format::AttributeKind kind);

}  // namespace vistrel::skinc
