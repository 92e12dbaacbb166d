#include "screens/viewer_background.h"

#include <vector>

#include "library/formats/picture_source.h"

namespace vistrel {

namespace {

// The first node below `root` (depth first) of `type` and `id`; null when there is none.
// Walked with a stack of its own, so a deeply nested skin cannot exhaust the call stack.
NodeHandle find_view(const Properties& properties, NodeHandle root, std::u16string_view type,
                     std::u16string_view id) {
    std::vector<NodeHandle> pending;
    for (int i = properties.child_count(root) - 1; i >= 0; --i)
        pending.push_back(properties.child(root, i));
    while (!pending.empty()) {
        const NodeHandle node = pending.back();
        pending.pop_back();
        if (!node) continue;
        if (properties.get_string(node, u"type") == type && properties.get_string(node, u"id") == id)
            return node;
        for (int i = properties.child_count(node) - 1; i >= 0; --i)
            pending.push_back(properties.child(node, i));
    }
    return {};
}

}  // namespace

uint32_t viewer_background(const Properties& properties) {
    const NodeHandle screen = properties.find_node(u"Image");
    const NodeHandle view = screen ? find_view(properties, screen, u"bigpicture", u"center")
                                   : NodeHandle{};
    const Colour c = properties.get_color(view, u"empty_color", Colour{0, 0, 0, 255});
    return uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
}

TransparencyFollowsSkin::TransparencyFollowsSkin(Properties& properties)
    : m_properties(properties) {
    reload_skin(properties);
    properties.add_skin_listener(this);
}

TransparencyFollowsSkin::~TransparencyFollowsSkin() {
    m_properties.remove_skin_listener(this);
}

void TransparencyFollowsSkin::reload_skin(Properties& properties) {
    set_transparency_background(viewer_background(properties));
}

}  // namespace vistrel
