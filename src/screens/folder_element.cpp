#include "screens/folder_element.h"

#include <string>

#include "screens/skin_lookup.h"
#include "skin/skin_errors.h"

namespace vistrel {

namespace {

constexpr char16_t kNode[] = u"FolderElement";

std::u16string button_id(int column) {
    std::u16string id = u"button";
    for (const char c : std::to_string(column))
        id.push_back(char16_t(c));
    return id;
}

}  // namespace

FolderElement::FolderElement(Properties& properties, FolderGrid& grid, int row)
    : m_grid(grid), m_row(row) {
    if (!load_from_skin(*this, properties, kNode)) throw dovado::NodeNotFoundInSkin(kNode);
    for (const char16_t* holder : {u"bad", u"loading"})
        if (Element* element = find_child(holder)) element->set_visible(false);
    for (int i = 0; i < kMaxColumns; ++i) {
        const std::u16string id = button_id(i);
        m_buttons.push_back(&required_child<Button>(*this, kNode, id));
        m_images.push_back(&required_child<ImageElement>(*m_buttons.back(), id, u"image"));
        m_buttons.back()->set_listener(this);
    }
    const GridCells& cells = grid.cells();
    if (cells.columns > kMaxColumns) add_buttons(properties, cells.columns);
    if (cells.large) resize_cells(cells);
}

// Further buttons as the skin's first one, beside the others.
void FolderElement::add_buttons(Properties& properties, int count) {
    const NodeHandle node =
        find_node_by_id(properties, properties.find_node(kNode), button_id(0));
    Element* holder = m_buttons.front()->parent();
    if (!node || !holder) return;
    for (int i = static_cast<int>(m_buttons.size()); i < count; ++i) {
        auto* button = dynamic_cast<Button*>(create_child(holder, properties, node));
        auto* image = button ? dynamic_cast<ImageElement*>(button->find_child(u"image")) : nullptr;
        if (!image) {
            if (button) {
                holder->remove_child(button);
                std::unique_ptr<Element> gone(button);
            }
            return;
        }
        button->set_id(button_id(i));
        button->set_listener(this);
        m_buttons.push_back(button);
        m_images.push_back(image);
    }
}

void FolderElement::resize_cells(const GridCells& cells) {
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        m_buttons[i]->set_design_size({cells.button, cells.button});
        m_images[i]->set_design_size({cells.image, cells.image});
    }
    set_design_size({design_size().x, cells.row});
    invalidate_layout();
}

void FolderElement::bind(VList&, int index, bool) {
    m_row = index;
    refresh();
}

void FolderElement::refresh() {
    const int columns = m_grid.columns();
    const int count = m_grid.picture_count();
    for (int i = 0; i < button_count(); ++i) {
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
    for (int i = 0; i < button_count(); ++i) {
        if (m_buttons[i] != &button) continue;
        const int g = m_row * m_grid.columns() + i;
        if (g < m_grid.picture_count()) m_grid.thumbnail_clicked(g);
        return true;
    }
    return false;
}

}  // namespace vistrel
