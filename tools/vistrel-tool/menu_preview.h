#pragma once
// A menu of the skin opened on sample entries, as the screens open their menus: what
// `vistrel-tool render --menu` draws.

#include <memory>
#include <string>

#include "skin/properties.h"
#include "ui/container.h"

namespace vistrel::tool {

class MenuPreview;

// Opens the menu of the top-level node `node` (rows from "MenuElement") on the entries of
// `menu_text`, "TITLE=ENTRY,ENTRY,...": TITLE is the key of the caption, each ENTRY an id with
// optional marks, "~TEXT" for a text of its own, "@NODE" for its row node, "*" checked and
// "!" disabled ("MainMenu=Magic4Buttons@MenuElement4Buttons,Language*,Cancel"). The menu
// is laid out at `width` x `height` with its opening animation finished. Null with the
// reason in `error` when `menu_text` is malformed or the skin lacks what the menu needs.
std::shared_ptr<MenuPreview> open_menu_preview(Properties& properties, const std::u16string& node,
                                               const std::string& menu_text, int width, int height,
                                               std::string& error);

Container& menu_container(MenuPreview& preview);

}  // namespace vistrel::tool
