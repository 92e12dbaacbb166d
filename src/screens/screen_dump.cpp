#include "screens/screen_dump.h"

#include <cmath>

#include "platform/path_parts.h"
#include "platform/text.h"
#include "screens/about_panel.h"
#include "screens/album_element.h"
#include "screens/album_screen.h"
#include "screens/folder_element.h"
#include "screens/folder_screen.h"
#include "screens/image_viewer.h"
#include "screens/zoom_image.h"
#include "ui/image_element.h"
#include "ui/vlist.h"

namespace vistrel {

namespace {

template <typename T>
bool is(const Element& element) {
    return dynamic_cast<const T*>(&element) != nullptr;
}

void append_quoted(std::string& out, std::u16string_view text) {
    out += '"';
    for (char c : to_utf8(text)) {
        if (c == '\r') continue;
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

// A skin picture by the name the skin gives it: without its folder, and without "@2x"
// when it is the one drawn at twice the density.
std::u16string skin_picture_name(const std::u16string& path) {
    std::u16string name = file_name_part(path);
    constexpr std::u16string_view dense = u"@2x";
    if (name.size() > dense.size() && name.ends_with(dense)) name.resize(name.size() - dense.size());
    return name;
}

}  // namespace

std::string kind_of(const Element& element) {
    if (is<AlbumScreen>(element)) return "AlbumScreen";
    if (is<FolderScreen>(element)) return "FolderScreen";
    if (is<AboutPanel>(element)) return "AboutPanel";
    if (is<ImageViewer>(element)) return "ImageViewer";
    if (is<AlbumElement>(element)) return "AlbumElement";
    if (is<FolderElement>(element)) return "FolderElement";
    if (!element.kind().empty()) return to_utf8(element.kind());
    if (is<Container>(element)) return "container";
    return "node";
}

void dump_tree(const Element& element, std::string& out, int depth, Point shift) {
    out.append(static_cast<size_t>(depth) * 2, ' ');
    out += kind_of(element);
    out += " id=" + to_utf8(element.id());
    out += element.effectively_visible() ? " visible=1" : " visible=0";
    out += element.effectively_enabled() ? " enabled=1" : " enabled=0";
    out += " rect=" + std::to_string(element.x() + shift.x) + " " +
           std::to_string(element.y() + shift.y) + " " + std::to_string(element.width()) + " " +
           std::to_string(element.height());
    if (const std::u16string_view text = element.shown_text(); !text.empty()) {
        out += " text=";
        append_quoted(out, text);
    }
    if (auto* image = dynamic_cast<const ImageElement*>(&element)) {
        const PictureReference& picture = image->picture();
        out += " picture=";
        if (picture.empty())
            out += "none";
        else if (picture.picture->name().empty())
            out += "made";
        else
            out += to_utf8(skin_picture_name(picture.picture->name()));
    }
    if (auto* view = dynamic_cast<const ZoomImage*>(&element); view && !view->file().empty()) {
        out += " file=";
        append_quoted(out, view->file());
        if (view->active()) out += " active=1";
    }
    out += '\n';
    for (const auto& child : element.children())
        dump_tree(*child, out, depth + 1, shift);
    // A list's items are not its children: they follow it, one level deeper, placed where
    // the list draws them.
    if (auto* list = dynamic_cast<const VList*>(&element)) {
        double top = list->y() + list->offset();
        for (int i = 0; i < list->live_count(); ++i) {
            if (const Element* item = list->live_element(i))
                dump_tree(*item, out, depth + 1,
                          {shift.x + list->x() - item->x(),
                           shift.y + static_cast<int>(std::lround(top)) - item->y()});
            top += list->live_height(i);
        }
    }
}

}  // namespace vistrel
