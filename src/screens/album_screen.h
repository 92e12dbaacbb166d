#pragma once
// The album screen, the program's main screen (skin node "Main"): one list entry per
// picture folder with its key picture's thumbnail, name and number of pictures; the search
// button ("btnSearch"), the menu button ("btnMenu") and the main menu; the progress of the
// thumbnail builder ("progress"); and a warning ("warning_image", "warning_text") while
// there is no album. It owns the folder screen, the main menu, the about panel and the
// reload screen, and it is the application's listener once the splash has handed over.

#include <memory>
#include <optional>
#include <string>

#include "library/photo_library.h"
#include "screens/cell_pictures.h"
#include "screens/choice_handlers.h"
#include "shell/application.h"
#include "shell/idle_probes.h"
#include "skin/properties.h"
#include "ui/button.h"
#include "ui/container.h"
#include "ui/menu.h"
#include "ui/progress.h"
#include "ui/vlist.h"

namespace vistrel {

class AboutPanel;
class FolderScreen;

// An empty overlay whose next frame rebuilds every screen from the skin, then leaves.
class ReloadScreen final : public Container {
public:
    explicit ReloadScreen(Properties& properties) : m_properties(properties) {}
    void animate(double seconds) override;

private:
    Properties& m_properties;
};

// The album a path given on the command line names: a folder, or a picture's folder with
// the picture.
struct PathAlbum {
    Folder folder;
    bool listed = false;     // the library lists the folder already
    std::u16string picture;  // the picture named, expanded; empty for a folder
};

// The album of `path`: the library's record of its folder, else a record made for it, its
// pictures cached under the documents folder or the card holding it, else under the
// folder itself. Nothing when the path is neither a folder nor a picture, or its folder
// holds no pictures.
std::optional<PathAlbum> album_of_path(PhotoLibrary& library, const std::u16string& path);

class AlbumScreen final : public Container,
                          public ApplicationListener,
                          public LibraryListener,
                          public SkinListener,
                          public MenuListener,
                          private VListSource,
                          private ButtonListener {
public:
    // Builds the screen, its folder screen, menu and about panel from the skin and lists
    // the stored albums. `flag` is kept for the folder screen.
    AlbumScreen(Properties& properties, PhotoLibrary& library, ChoiceHandlers choices,
                int flag = 1);
    ~AlbumScreen() override;

    // --- Screen ---
    void animate(double seconds) override;
    // 0 while the library searches or builds.
    std::optional<double> seconds_to_change() const override;
    bool on_key(const KeyEvent& event) override;
    // The wheel scrolls the album list.
    bool on_wheel(const WheelEvent& event) override;
    // Rebuilds the screen, the menu, the folder screen and the about panel.
    void reload_skin(Properties& properties) override;

    // --- ApplicationListener ---
    // A second start's command line: the window comes back, and a path in it is opened.
    void on_command_line(const std::u16string& text) override;
    bool on_close_request() override { return true; }
    void on_screen_pushed(Screen*) override {}
    void on_screen_removed(Screen*, int) override {}
    void on_resolution_changed() override;
    // The key pictures' size for the screen's width now; true when it changed.
    bool update_key_side();
    // Asks for the smallest levels of grown key pictures on screen and shows those read.
    void update_key_levels();
    void on_help() override {}
    void on_deactivated() override {}
    void on_activated() override {}
    bool on_key_filter(const KeyEvent&) override { return false; }

    // --- LibraryListener ---
    void on_library_event(const LibraryEvent& event) override;

    // Opens a folder as its album, or a picture's album with the picture chosen. False
    // when the path is neither a folder nor a JPEG picture.
    bool open_path(const std::u16string& path);
    // Opens album `index` of the list, as choosing it does.
    void open_album(int index);
    // Opens the main menu.
    void open_main_menu();
    void start_search();

    bool searching() const { return m_searching; }
    FolderScreen& folder_screen() { return *m_folder_screen; }
    Menu& menu() { return *m_menu; }
    AboutPanel& about_panel() { return *m_about; }
    VList& list() { return *m_list; }
    // True while the library has work this screen is waiting for (a search, or pictures
    // queued and not yet built).
    bool library_busy() const;

private:
    void build();
    void album_check();
    void show_albums(int count);
    void end_of_work();
    bool clicked(Button& button, const ButtonEvent& event) override;
    void item_clicked(VList& list, int index) override;
    std::unique_ptr<Element> create_item(VList& list, int index) override;
    void on_menu_item(Menu& menu, const std::u16string& id, const std::u16string& title,
                      std::vector<MenuItem>& entries) override;

    Properties& m_properties;
    PhotoLibrary& m_library;
    ChoiceHandlers m_choices;
    int m_flag;
    bool m_searching = false;
    bool m_search_requested = false;
    // A memory card or stick mounted or unplugged: the search brings its albums or takes
    // them away.
    Button* m_search = nullptr;
    Button* m_menu_button = nullptr;
    VList* m_list = nullptr;
    ProgressBar* m_progress = nullptr;
    Element* m_warning_image = nullptr;
    Element* m_warning_text = nullptr;
    Point m_album_size;
    // Key pictures on screens wider than the device profiles: twice the skin's size, in
    // pixels (0: the skin's own).
    int m_key_side = 0;
    int m_skin_key_side = 0;
    bool m_key_side_due = false;
    // Grown key pictures are read from their smallest levels on a thread of their own.
    CellPictureLoader m_key_levels;
    IdleProbeScope m_key_levels_idle{[this] { return m_key_levels.idle(); }};
    std::unique_ptr<Menu> m_menu;
    std::unique_ptr<FolderScreen> m_folder_screen;
    std::unique_ptr<AboutPanel> m_about;
    std::unique_ptr<ReloadScreen> m_reload;
};

}  // namespace vistrel
