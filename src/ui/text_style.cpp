#include "ui/text_style.h"

namespace vistrel {

HAlign parse_halign(std::u16string_view name) {
    if (name == u"LEFT") return HAlign::Left;
    if (name == u"RIGHT") return HAlign::Right;
    if (name == u"JUSTIFY") return HAlign::Justify;
    return HAlign::Center;
}

VAlign parse_valign(std::u16string_view name) {
    if (name == u"TOP") return VAlign::Top;
    if (name == u"BOTTOM") return VAlign::Bottom;
    return VAlign::VCenter;
}

void TextStyle::load(const Properties& properties, NodeHandle node) {
    font = properties.get_font(node, u"font");
    color = properties.get_color(node, u"color", Colour{0, 0, 0, 255});
    halign = parse_halign(properties.get_string(node, u"halign"));
    valign = parse_valign(properties.get_string(node, u"valign"));
    wrap = properties.get_integer(node, u"wrap", 0) != 0;
    grow = properties.get_integer(node, u"grow", 0) != 0;
}

std::u16string load_text(const Properties& properties, NodeHandle node) {
    return properties.text_for(properties.get_string(node, u"text"));
}

}  // namespace vistrel
