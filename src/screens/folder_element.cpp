#include "screens/folder_element.h"

#include <string>

#include "screens/skin_lookup.h"
#include "skin/skin_errors.h"

namespace vistrel {

namespace {
constexpr char16_t kNode[] = u"FolderElement";
}

FolderElement::FolderElement(Properties& properties, FolderGrid& grid, int row)
    : m_grid(grid), m_row(row) {
    if (!load_from_skin(*this, properties, kNode)) throw dovado::NodeNotFoundInSkin(kNode);
    for (const char16_t* holder : {u"bad", u"loading"})
        if (Element* element = find_child(holder)) element->set_visible(false);
    for (int i = 0; i < kMaxColumns; ++i) {
        const std::u16string id = u"button" + std::u16string(1, char16_t(u'0' + i));
        m_buttons[i] = &required_child<Button>(*this, kNode, id);
        m_images[i] = &required_child<ImageElement>(*m_buttons[i], id, u"image");
        m_buttons[i]->set_listener(this);
    }
}

void FolderElement::bind(VList&, int index, bool) {
    m_row = index;
    refresh();
}

void FolderElement::refresh() {
    const int columns = m_grid.columns();
    const int count = m_grid.picture_count();
    for (int i = 0; i < kMaxColumns; ++i) {
        const int g = m_row * columns + i;
        Button& button = *m_buttons[i];
        ImageElement& image = *m_images[i];
        if (i >= columns) {
            button.set_visible(false);
            continue;
        }
        button.set_visible(true);
        if (g < count) {
            button.set_enabled(true);
            image.set_visible(true);
            image.set_picture(m_grid.picture_for(g));
        } else {
            button.set_enabled(false);
            image.set_visible(false);
        }
    }
}

bool FolderElement::on_pointer_button(const PointerEvent& event) {
    Container::on_pointer_button(event);
    if (!event.pressed) return true;
    return !captured().empty();
}

bool FolderElement::clicked(Button& button, const ButtonEvent&) {
    for (int i = 0; i < kMaxColumns; ++i) {
        if (m_buttons[i] != &button) continue;
        const int g = m_row * m_grid.columns() + i;
        if (g < m_grid.picture_count()) m_grid.thumbnail_clicked(g);
        return true;
    }
    return false;
}

}  // namespace vistrel
