#pragma once
// One row of the folder screen's grid, built from the skin node "FolderElement": six
// buttons "button0".."button5", each with a picture element "image". A grid of more
// columns gets further buttons made from "button0" ("button6" ...), and large cells resize
// every button, its image and the row. The grid decides what each button shows and hears
// which one was clicked.

#include <vector>

#include "screens/grid_cells.h"
#include "skin/picture_reference.h"
#include "skin/properties.h"
#include "ui/button.h"
#include "ui/container.h"
#include "ui/image_element.h"
#include "ui/vlist.h"

namespace vistrel {

inline constexpr int kMaxColumns = kSkinColumns;

// What a row asks of the grid it belongs to.
class FolderGrid {
public:
    virtual ~FolderGrid() = default;
    virtual int columns() const = 0;
    virtual const GridCells& cells() const = 0;
    virtual int picture_count() const = 0;
    // The picture shown for picture `g`: its thumbnail, "bad" or "loading".
    virtual PictureReference picture_for(int g) = 0;
    virtual void thumbnail_clicked(int g) = 0;
};

class FolderElement final : public Container, public ListItem, private ButtonListener {
public:
    // Throws dovado::NodeNotFoundInSkin without the node and dovado::NodeNotFound without
    // one of its buttons or their images.
    FolderElement(Properties& properties, FolderGrid& grid, int row);

    int row() const { return m_row; }
    // Shows the row's pictures as the grid has them now.
    void bind(VList& list, int index, bool state) override;
    void refresh();
    int button_count() const { return static_cast<int>(m_buttons.size()); }
    Button& button(int column) const { return *m_buttons[column]; }
    ImageElement& image(int column) const { return *m_images[column]; }

    // Only a press on one of the buttons is kept; elsewhere the list handles it.
    bool on_pointer_button(const PointerEvent& event) override;

private:
    bool clicked(Button& button, const ButtonEvent& event) override;
    void add_buttons(Properties& properties, int count);
    void resize_cells(const GridCells& cells);

    FolderGrid& m_grid;
    int m_row;
    std::vector<Button*> m_buttons;
    std::vector<ImageElement*> m_images;
};

}  // namespace vistrel
