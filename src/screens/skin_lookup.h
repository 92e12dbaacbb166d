#pragma once
// Finding the elements a screen needs in the tree it built from a skin node.

#include <string_view>

#include "skin/skin_errors.h"
#include "ui/element.h"

namespace vistrel {

// The element `id` below `root`, of kind T; throws dovado::NodeNotFound naming the skin
// node `node` and `id` when there is none of that kind.
template <typename T = Element>
T& required_child(Element& root, std::u16string_view node, std::u16string_view id) {
    T* element = dynamic_cast<T*>(root.find_child(id));
    if (!element) throw dovado::NodeNotFound(std::u16string(node), std::u16string(id));
    return *element;
}

}  // namespace vistrel
