#pragma once
// Finding the elements a screen needs in the tree it built from a skin node.

#include <string_view>

#include "skin/properties.h"
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

// The first node below `node` whose "id" is `id`, depth first; null when none.
inline NodeHandle find_node_by_id(const Properties& properties, NodeHandle node,
                                  std::u16string_view id) {
    const int count = properties.child_count(node);
    for (int i = 0; i < count; ++i) {
        const NodeHandle child = properties.child(node, i);
        if (properties.get_string(child, u"id") == id) return child;
        if (const NodeHandle found = find_node_by_id(properties, child, id)) return found;
    }
    return {};
}

}  // namespace vistrel
