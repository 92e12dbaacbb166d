#include "skin/screen_nodes.h"

#include <algorithm>
#include <set>

namespace vistrel {
namespace {

// Kinds that show text.
constexpr std::u16string_view kText = u"text|oldtext";

std::vector<RequiredElement> folder_row() {
    std::vector<RequiredElement> elements = {{u"bad", u"image"}, {u"loading", u"image"}};
    static const std::u16string_view buttons[] = {u"button0", u"button1", u"button2",
                                                  u"button3", u"button4", u"button5"};
    static const std::u16string_view images[] = {u"button0/image", u"button1/image",
                                                 u"button2/image", u"button3/image",
                                                 u"button4/image", u"button5/image"};
    for (int i = 0; i < 6; ++i) {
        elements.push_back({buttons[i], u"button"});
        elements.push_back({images[i], u"image"});
    }
    return elements;
}

std::vector<RequiredNode> make_table() {
    const std::vector<RequiredElement> entry = {{u"#text", kText}};
    return {
        {u"Splash", {}},
        {u"Main",
         {{u"btnSearch", u"button"},
          {u"btnMenu", u"button"},
          {u"listApps", u"vlist"},
          {u"progress", u"progress"},
          {u"warning_image", u"image"},
          {u"warning_text", kText}}},
        {u"AlbumElement",
         {{u"image", u"image"},
          {u"loading", u"image"},
          {u"bad", u"image"},
          {u"name", kText},
          {u"count", kText}}},
        {u"Menu", {{u"panel", u""}, {u"vlist", u"vlist"}}},
        {u"MenuElement", entry},
        {u"MenuElementDisabled", entry},
        {u"MenuElementRed", entry},
        {u"MenuElement4Buttons",
         {{u"Help", u"button"}, {u"Minimize", u"button"}, {u"About", u"button"}, {u"Exit", u"button"}}},
        {u"Folder",
         {{u"btnBack", u"button"},
          {u"listFolder", u"vlist"},
          {u"progress", u"progress"},
          {u"btnText", u"button"},
          {u"bad", u"image"},
          {u"loading", u"image"}}},
        {u"FolderElement", folder_row()},
        {u"Image",
         {{u"btnBack", u"button"},           {u"btnBack/ptrBack", u""},
          {u"btnMinus", u"button"},          {u"btnMinus/ptrMinus", u""},
          {u"chkLandscape", u"checkbox"},    {u"chkLandscape/ptr_state_0", u""},
          {u"chkLandscape/ptr_state_1", u""}, {u"btnNumText", u"button"},
          {u"btnNumText/ptrNumText", u""},   {u"btnPlus", u"button"},
          {u"btnPlus/ptrPlus", u""},         {u"chkSlideShow", u"checkbox"},
          {u"chkSlideShow/ptr_state_0", u""}, {u"chkSlideShow/ptr_state_1", u""},
          {u"btnMenu", u"button"},           {u"btnMenu/ptrMenu", u""},
          {u"btnProperties", u"button"},     {u"btngap1", u""},
          {u"btngap1/ptrgap", u""},          {u"btngap2", u""},
          {u"btngap2/ptrgap", u""},          {u"btngap3", u""},
          {u"btngap3/ptrgap", u""},          {u"left", u"bigpicture"},
          {u"center", u"bigpicture"},        {u"right", u"bigpicture"},
          {u"size_image", u"image"}}},
        {u"About", {{u"panel", u""}, {u"btnClose", u"button"}}},
        {u"Message", {{u"panel", u""}, {u"text", kText}, {u"btnOk", u"button"}}},
    };
}

// The element of `id` below `node` as elements find it: the direct children first, then
// each child's subtree in order. Null when there is none.
NodeHandle find_below(const PropertiesImpl& skin, NodeHandle node, std::u16string_view id,
                      int depth = 0) {
    if (depth > 64) return {};  // a hostile skin's cycle of child offsets ends here
    const int count = skin.child_count(node);
    for (int i = 0; i < count; ++i) {
        const NodeHandle child = skin.child(node, i);
        if (skin.get_string(child, u"id", {}) == id) return child;
    }
    for (int i = 0; i < count; ++i)
        if (const NodeHandle found = find_below(skin, skin.child(node, i), id, depth + 1))
            return found;
    return {};
}

bool kind_accepted(std::u16string_view kinds, std::u16string_view type) {
    while (!kinds.empty()) {
        const size_t bar = kinds.find(u'|');
        if (kinds.substr(0, bar) == type) return true;
        if (bar == std::u16string_view::npos) break;
        kinds.remove_prefix(bar + 1);
    }
    return false;
}

void collect_texts(const PropertiesImpl& skin, NodeHandle node, std::set<std::u16string>& keys,
                   int depth) {
    if (!node || depth > 64) return;
    for (const std::u16string_view name : {u"text", u"empty_text"}) {
        const std::u16string_view key = skin.get_string(node, name, {});
        if (!key.empty()) keys.emplace(key);
    }
    for (int i = 0; i < skin.child_count(node); ++i)
        collect_texts(skin, skin.child(node, i), keys, depth + 1);
}

}  // namespace

const std::vector<RequiredNode>& required_screen_nodes() {
    static const std::vector<RequiredNode> table = make_table();
    return table;
}

std::vector<std::u16string> missing_screen_nodes(const PropertiesImpl& skin) {
    std::vector<std::u16string> missing;
    for (const RequiredNode& required : required_screen_nodes()) {
        const NodeHandle top = skin.find_node(required.name);
        if (!top) {
            missing.emplace_back(required.name);
            continue;
        }
        for (const RequiredElement& element : required.elements) {
            NodeHandle node = top;
            std::u16string_view rest = element.path;
            while (node && !rest.empty()) {
                const size_t slash = rest.find(u'/');
                node = find_below(skin, node, rest.substr(0, slash));
                rest = slash == std::u16string_view::npos ? std::u16string_view{}
                                                          : rest.substr(slash + 1);
            }
            const std::u16string where =
                std::u16string(required.name) + u"/" + std::u16string(element.path);
            if (!node) {
                missing.push_back(where);
                continue;
            }
            const std::u16string_view type = skin.get_string(node, u"type", {});
            if (!element.kinds.empty() && !kind_accepted(element.kinds, type)) {
                std::u16string wanted(element.kinds);
                std::replace(wanted.begin(), wanted.end(), u'|', u'/');
                missing.push_back(where + u" is " + (type.empty() ? u"untyped" : u"a " + std::u16string(type)) +
                                  u", not a " + wanted);
            }
        }
    }
    return missing;
}

std::vector<std::u16string> skin_text_keys(const PropertiesImpl& skin) {
    std::set<std::u16string> keys;
    if (const SkinImage* image = skin.image())
        for (const auto& [name, node] : image->top_level_nodes())
            collect_texts(skin, node, keys, 0);
    return {keys.begin(), keys.end()};
}

}  // namespace vistrel
