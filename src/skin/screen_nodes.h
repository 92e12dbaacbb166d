#pragma once
// What the screens look up in a skin: the top-level nodes and, inside each, the elements
// they find by id (a path "btnBack/ptrBack" is an element found inside the one before it),
// with the kinds they need. A skin that lacks one of them cannot show that screen;
// `vistrel-tool skin FILE --check` and the shipped-skin tests report such gaps by name.

#include <string>
#include <string_view>
#include <vector>

#include "skin/properties_impl.h"

namespace vistrel {

struct RequiredElement {
    std::u16string_view path;   // ids from the node down, separated by "/"
    std::u16string_view kinds;  // accepted "type" values separated by "|"; empty: any
};

struct RequiredNode {
    std::u16string_view name;
    std::vector<RequiredElement> elements;
};

// Every top-level node the screens use, with the elements each one needs.
const std::vector<RequiredNode>& required_screen_nodes();

// What `skin` lacks, one line each: "Main", "Image/btnBack/ptrBack", or
// "Main/listApps is a button, not a vlist". Empty when the skin has everything.
std::vector<std::u16string> missing_screen_nodes(const PropertiesImpl& skin);

// The language keys a skin shows: every "text" and "empty_text" string of its nodes,
// sorted, without repeats.
std::vector<std::u16string> skin_text_keys(const PropertiesImpl& skin);

}  // namespace vistrel
