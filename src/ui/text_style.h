#pragma once
// What the text kinds read from their node besides the base attributes.

#include <string>

#include "render/pixel.h"
#include "skin/font_rep.h"
#include "skin/properties.h"

namespace vistrel {

enum class HAlign : int { Left = 0, Center = 1, Right = 2, Justify = 3 };
enum class VAlign : int { Top = 0, VCenter = 1, Bottom = 2 };

HAlign parse_halign(std::u16string_view name);
VAlign parse_valign(std::u16string_view name);

struct TextStyle {
    FontHandle font;
    Colour color{0, 0, 0, 255};
    HAlign halign = HAlign::Center;
    VAlign valign = VAlign::VCenter;
    bool wrap = false;
    bool grow = false;

    // Reads "font", "color", "halign", "valign", "wrap" and "grow".
    void load(const Properties& properties, NodeHandle node);
};

// The translation of the node's "text" key.
std::u16string load_text(const Properties& properties, NodeHandle node);

}  // namespace vistrel
