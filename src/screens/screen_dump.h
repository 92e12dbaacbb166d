#pragma once
// A readable description of element trees, for scripts and tests: one line per element,
// parents before children, indented by two spaces per level:
//
//   KIND id=ID visible=0|1 enabled=0|1 rect=X Y W H [text="TEXT"] [picture=NAME]
//       [file="PATH" [active=1]]
//
// `visible` and `enabled` are the element's effective state (its own and its parents').
// Rectangles are in screen coordinates, list items included. A picture element names the
// skin picture it shows (the file name without folder), "made" for one made at run time
// (a thumbnail) and "none" for none; a viewer's picture names the picture file it shows, and the one in front (its neighbours
// wait beside it, off the screen) is marked active.

#include <string>

#include "ui/element.h"

namespace vistrel {

// The element's kind: the screen's or item's own ("AlbumScreen", "FolderElement" ...), else
// the skin type it was loaded as ("button", "vlist", "oldtext" ...).
std::string kind_of(const Element& element);

// Appends the lines of `element` and its subtree.
void dump_tree(const Element& element, std::string& out, int depth = 0, Point shift = {});

}  // namespace vistrel
