#pragma once
// The folder screen (skin node "Folder"): the pictures of one album as a grid of
// thumbnails, several per list row ("listFolder"), with a back button ("btnBack"), the
// folder's name ("btnText") and the progress of the thumbnail builder ("progress").
//
// Thumbnails load lazily between frames: first those of the rows on screen, all in one
// frame when they fit in about 12 ms (and within the first frames of the folder in any
// case), then the rest in order, as many per frame as fit in about 4 ms. A picture
// without a cache file is queued with the photo library, which then builds this folder
// first; one on screen shows its quick thumbnail meanwhile.
//
// Screens wider than the device profiles get large cells (see grid_cells.h): Ctrl with
// plus or minus, or with the wheel, picks their size, which the settings keep
// ("GridCellSize").

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "library/photo_library.h"
#include "screens/folder_element.h"
#include "screens/large_cells.h"
#include "skin/properties.h"
#include "ui/button.h"
#include "ui/container.h"
#include "ui/progress.h"
#include "ui/vlist.h"

namespace vistrel {

class FolderScreen final : public Container,
                           public LibraryListener,
                           public FolderGrid,
                           private VListSource,
                           private ButtonListener {
public:
    // Microseconds of a frame spent loading thumbnails.
    static constexpr uint64_t kLoadBudgetUs = 4000;
    // Microseconds of a frame spent on the thumbnails on screen.
    static constexpr uint64_t kScreenBudgetUs = 12000;
    // The frames after the first in which a folder whose cache files are valid fills the
    // screen, and the most they may spend on it (a frame stays well under 40 ms).
    static constexpr int kFillFrames = 2;
    static constexpr uint64_t kMostScreenUs = 25000;

    FolderScreen(Properties& properties, PhotoLibrary& library);
    ~FolderScreen() override;

    // Lists the folder's pictures ("*.jpg" first, then "*.jpeg", each by name), brings the
    // library's record up to date, and pushes the screen. `flag` is kept for the viewer.
    void open_folder(const Folder& folder, int flag);
    // Opens the viewer on `picture` when it is one of the folder's.
    bool choose_picture(const std::u16string& picture);
    void reload_skin(Properties& properties);
    // The screen's width may have changed: the columns are worked out again.
    void resolution_changed();
    // Sets what a thumbnail press does (the viewer); by default it is only traced.
    void set_viewer_opener(std::function<void(const std::vector<std::u16string>& pictures,
                                              int index, const std::u16string& drive)>
                               opener) {
        m_opener = std::move(opener);
    }

    void animate(double seconds) override;
    // 0 while thumbnails are still to load.
    std::optional<double> seconds_to_change() const override;
    void layout_x() override;
    bool on_key(const KeyEvent& event) override;
    // The wheel scrolls the grid.
    bool on_wheel(const WheelEvent& event) override;
    // Leaves the screen, as "btnBack" does.
    void close();
    void on_library_event(const LibraryEvent& event) override;

    // --- FolderGrid ---
    int columns() const override { return m_columns; }
    const GridCells& cells() const override { return m_cells; }
    int picture_count() const override { return static_cast<int>(m_pictures.size()); }
    PictureReference picture_for(int g) override;
    void thumbnail_clicked(int g) override;

    // Before a folder screen first opens on `folder` (while the splash is shown): queues
    // those of its first `count` pictures that have no cache file, their quick thumbnails
    // asked for, so that they are made by the time the grid shows them. Returns how many.
    static int ask_quick_thumbnails_ahead(PhotoLibrary& library, const Folder& folder, int count);
    // About how many cells the grid shows on a screen of `size` pixels (skin scale shift
    // `shift`), a row more than fit.
    static int cells_on_screen(Size size, int shift);

    // Opens the viewer on picture `index` of the list.
    void open_viewer(int index);

    bool is_open() const { return m_open; }
    const Folder& folder() const { return m_folder; }
    const std::vector<std::u16string>& pictures() const { return m_pictures; }
    // Pictures whose thumbnail is loaded, failed, or still to come.
    int loaded_count() const;
    bool all_loaded() const { return m_remaining == 0; }
    int flag() const { return m_flag; }
    // The last picture a thumbnail press asked the viewer for; -1 for none.
    int viewer_request() const { return m_viewer_request; }
    // The size picked for large cells (pixels at 96 dpi); one step up or down, kept in
    // the settings. False when the cells are the skin's own or the size stays.
    int cell_size() const { return m_cell_size; }
    bool change_cell_size(int step);
    const LargeCells& large_cells() const { return m_large; }

private:
    // Quick: queued, its quick thumbnail shown meanwhile.
    enum class Slot : uint8_t { Empty, Loaded, Failed, Queued, Quick };

    void build();
    void list_pictures();
    void update_columns();
    // The large cells' pictures start over (new cells, skin or folder).
    void restart_large_cells();
    // Loads picture g's thumbnail; true when its slot changed. A picture `on_screen` that
    // must be built asks for its quick thumbnail as it is queued.
    bool load_thumbnail(int g, bool on_screen = false);
    // Shows the quick thumbnail of a queued picture on screen once it is made (asking for
    // it until then); true when its slot changed.
    bool take_quick_thumbnail(int g);
    void refresh_row(int row);
    // Loads what fits into this frame's budget.
    void load_some();
    bool clicked(Button& button, const ButtonEvent& event) override;
    void item_clicked(VList&, int) override {}
    std::unique_ptr<Element> create_item(VList& list, int index) override;

    Properties& m_properties;
    PhotoLibrary& m_library;
    Folder m_folder;
    int m_flag = 0;
    bool m_open = false;
    std::vector<std::u16string> m_pictures;
    std::vector<PictureReference> m_thumbnails;
    std::vector<Slot> m_slots;
    int m_next_to_load = 0;
    int m_remaining = 0;       // pictures whose thumbnail is neither loaded nor failed
    int m_loading_frames = 0;  // frames spent loading since the folder was opened
    int m_columns = 1;
    GridCells m_cells;
    SkinCell m_skin_cell;
    int m_cell_size = kDefaultCellSize;
    LargeCells m_large;
    int m_last_width = -1;
    int m_viewer_request = -1;
    Button* m_back = nullptr;
    Button* m_title = nullptr;
    VList* m_list = nullptr;
    ProgressBar* m_progress = nullptr;
    ImageElement* m_thumb_image = nullptr;
    PictureReference m_bad;
    PictureReference m_loading;
    Size m_thumb_size;
    std::function<void(const std::vector<std::u16string>&, int, const std::u16string&)> m_opener;
};

}  // namespace vistrel
