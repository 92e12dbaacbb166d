#pragma once
// The image viewer: one picture of a folder full screen, with its previous and next
// pictures ready beside it (20 pixels apart along the scroll axis), zoom by tile levels,
// panning, landscape mode, a slide show, and the "Options" menu with the picture actions.
// Built from the skin node "Image"; the folder screen owns it and opens it on a picture.

#include <memory>
#include <string>
#include <vector>

#include "library/folder_watcher.h"
#include "library/library_event.h"
#include "screens/shuffle_deck.h"
#include "screens/tile_renderer.h"
#include "screens/zoom_image.h"
#include "shell/active.h"
#include "skin/picture_reference.h"
#include "skin/properties.h"
#include "ui/button.h"
#include "ui/checkbox.h"
#include "ui/container.h"
#include "ui/menu.h"

namespace vistrel {

class Application;
class PhotoLibrary;

// What the overlay over the picture shows (the skin's optional node "overlay").
struct OverlayParts {
    bool date = false;     // when the picture was taken ("overlay_date")
    bool caption = false;  // its caption, else the album's name ("overlay_caption")
};
// Reads "date", "caption", "date,caption" or "none"; false for anything else.
bool parse_overlay(const std::string& text, OverlayParts& parts);

// Whether the settings ask for a shuffled slide show.
bool shuffle_setting();

class ImageViewer final : public Container,
                          public SkinListener,
                          private ButtonListener,
                          private CheckboxListener,
                          private ZoomImageListener,
                          private MenuListener,
                          private LibraryListener,
                          private TimerClient {
public:
    static constexpr int kGap = 20;                  // pixels between neighbours
    static constexpr double kControlsSeconds = 4.0;  // controls hide after this
    static constexpr double kSlideSeconds = 3.0;
    static constexpr double kDoubleTapSeconds = 0.2;
    static constexpr int kHandOverLimit = 64;  // finished tiles taken per frame

    // Builds the screen from the node "Image"; throws the skin errors when the node or one
    // of its required children is missing.
    ImageViewer(Properties& properties, PhotoLibrary& library);
    ~ImageViewer() override;

    // Shows pictures[index] (full paths, in the folder's order; `drive_path` is the storage
    // root their cache files live under) and pushes the viewer onto the screen stack.
    void open(const std::vector<std::u16string>& pictures, int index,
              const std::u16string& drive_path);
    // Takes the viewer off the screen stack (it stays ready to be opened again).
    void close();
    bool is_open() const { return m_open; }
    // The tile worker has nothing to do and nothing moves: the screen is settled.
    bool is_idle() const;

    // Rebuilds the screen from a new skin; one without the viewer closes it.
    void reload_skin(Properties& properties) override;
    void animate(double seconds) override;
    // Until the next slide, the controls' hiding or the next look at the shown folder; 0
    // while pictures move or tiles are being made.
    std::optional<double> seconds_to_change() const override;
    bool on_key(const KeyEvent& event) override;
    // The wheel (and a pinch) zooms around the pointer; two fingers pan.
    bool on_wheel(const WheelEvent& event) override;
    bool on_pan(Point moved) override;

    // --- What the controls do (also for scripts and tests) ---
    // Scrolls to the next (+1) or previous (-1) picture; false at the ends of the list.
    bool show_neighbour(int direction);
    // One whole zoom level in (+1) or out (-1).
    void zoom_step(int direction);
    // Zooms to `zoom` levels (clamped to fit .. full size) keeping the point under `anchor`.
    void zoom_around(double zoom, Point anchor);
    // The whole picture (fit), or its pixels 1:1 (full size).
    void zoom_to_fit();
    void zoom_to_full_size();
    // Shows picture `index` of the list at once (no scroll).
    void jump_to(int index);
    // Asks whether to delete the shown picture (to the trash where there is one).
    void ask_delete();
    // Whether a delete moves the picture to the trash (else it is deleted for good).
    bool deletes_to_trash() const;
    void set_landscape(bool landscape);
    void set_slide_show(bool on);
    // With `loop`, the slide show starts over at the first picture after the last one
    // instead of leaving the viewer.
    void set_slide_loop(bool loop) { m_slide_loop = loop; }
    // The slide show deals the folder's pictures like a deck (once each per round, a new
    // order each round); the deck's position is kept in `deck_file` across runs (empty:
    // "shuffle.txt" in the state folder). `remember` also keeps the choice in the settings.
    void set_shuffle(bool on, bool remember = false);
    bool shuffle() const { return m_shuffle; }
    void set_deck_file(std::u16string deck_file) { m_deck_file = std::move(deck_file); }
    const ShuffleDeck* deck() const { return m_deck.get(); }
    void set_overlay(OverlayParts parts);
    // The folder's pictures changed while shown (full paths in the folder's order): the
    // viewer and the deck follow, the shown picture stays when it is still there.
    void update_pictures(const std::vector<std::u16string>& pictures);
    // "btnBack": leaves the viewer.
    void back();
    // The "Options" menu (null before it was first opened).
    Menu* menu() const { return m_menu.get(); }
    void open_options();
    void show_properties();
    // Deletes the shown picture (cache file first); false when nothing was deleted.
    bool delete_current();
    // Sends the shown picture in version `level` (0 full size, 1..3 the reduced ones);
    // false when no mail program could be started.
    bool send_current(int level);

    // --- State ---
    int index() const { return m_index; }
    const std::vector<std::u16string>& pictures() const { return m_pictures; }
    bool landscape() const { return m_landscape; }
    bool slide_show() const { return m_slide_show; }
    bool controls_visible() const { return m_controls_visible; }
    bool scrolling() const { return m_scroll_direction != 0; }
    TileRenderer& tiles() { return m_tiles; }
    ZoomImage* current_view() const { return m_tiles.view(1); }
    Checkbox* landscape_box() const { return m_landscape_box; }
    Checkbox* slide_show_box() const { return m_slide_show_box; }
    Button* properties_button() const { return m_properties_button; }
    const std::u16string& message() const { return m_message; }

private:
    bool clicked(Button& button, const ButtonEvent& event) override;
    void clicked(Checkbox& checkbox, const ButtonEvent& event) override;
    void state_changed(Checkbox& checkbox, bool value) override;
    void on_tap(ZoomImage& view, Point point) override;
    bool on_release(ZoomImage& view) override;
    void on_press(ZoomImage& view) override;
    void on_menu_item(Menu& menu, const std::u16string& id, const std::u16string& title,
                      std::vector<MenuItem>& entries) override;
    void on_library_event(const LibraryEvent& event) override;
    // The double-tap timer ran out: the next tap is a first one again.
    void on_timer(Timer&) override {}
    void on_document_refresh(const std::u16string& path);
    // The desktop's keys (zoom, first and last, page keys, full screen, menus); true when
    // `event` was one of them.
    bool desktop_key(const KeyEvent& event);
    // Whether the current view takes zooming now.
    ZoomImage* zoomable_view() const;

    // Builds the screen from the skin; throws the skin errors.
    void build(Properties& properties);
    void find_elements();
    // The picture for slot 0..2 around the current index (empty outside the list).
    std::u16string picture_for(int slot) const;
    void reset_slot(int slot);
    void load_slots();
    void place_views();
    void update_number();
    void show_controls();
    void hide_controls();
    void stop_slide_show();
    void step_scroll(double seconds);
    void finish_scroll();
    int scroll_axis() const { return m_landscape ? 1 : 0; }
    int scroll_extent() const { return m_landscape ? height() : width(); }
    void show_message(const std::u16string& text);
    // The shuffled show: deals its first picture, the next one when a slide is due (false
    // when the show ends), follows a move by hand, keeps the position.
    // Shows the facts of the picture in front in the overlay (read once per picture).
    void update_overlay();
    // The shown folder changed on disk: its pictures are listed again, new ones queued.
    void on_folder_changed(const std::u16string& folder);
    void start_deck();
    bool deal_next();
    void deck_moved();
    void save_deck();
    void stop_deck();
    // Shows `pictures` with the picture `shown` in front (index 0 when it is not there).
    void show_sequence(const std::vector<std::u16string>& pictures, const std::u16string& shown);

    Properties& m_properties;
    PhotoLibrary& m_library;
    TileRenderer m_tiles;

    std::vector<std::u16string> m_pictures;
    int m_index = 0;
    std::u16string m_drive;
    bool m_open = false;
    bool m_landscape = false;
    bool m_slide_show = false;
    double m_slide_seconds = 0;
    bool m_slide_loop = false;
    bool m_shuffle = false;
    std::unique_ptr<ShuffleDeck> m_deck;       // while a shuffled show runs
    std::vector<std::u16string> m_folder_order;  // the pictures as the folder lists them
    std::u16string m_deck_file;
    std::u16string m_watched_folder;  // the folder of the pictures, watched while open
    OverlayParts m_overlay;
    Element* m_overlay_root = nullptr;
    Element* m_overlay_date = nullptr;
    Element* m_overlay_caption = nullptr;
    std::u16string m_overlay_picture;  // the picture the overlay describes
    bool m_overlay_cached = false;     // from its cache file (no change to wait for)
    bool m_controls_visible = true;
    double m_controls_seconds = 0;
    int m_scroll_direction = 0;
    bool m_in_reset = false;
    bool m_broken = false;  // the skin has no viewer
    KeyCode m_back_key = key::None;  // pressed to leave; acts on its release
    std::u16string m_message;

    ZoomImage* m_views[3] = {nullptr, nullptr, nullptr};
    Button* m_back = nullptr;
    Button* m_minus = nullptr;
    Button* m_plus = nullptr;
    Button* m_menu_button = nullptr;
    Button* m_properties_button = nullptr;
    Element* m_number = nullptr;
    Checkbox* m_landscape_box = nullptr;
    Checkbox* m_slide_show_box = nullptr;
    std::vector<Element*> m_controls;  // the groups hidden with the controls
    PictureReference m_size_image;
    std::unique_ptr<Menu> m_menu;
    Timer m_tap_timer{*this};  // runs for kDoubleTapSeconds after a first tap
};

}  // namespace vistrel
