#pragma once
// "bigpicture": a picture shown through square tiles of several zoom levels. Level
// max_level is full size, each level below it half the size of the one above; the zoom is
// a real number of levels, the nearest whole level choosing the tiles in use, drawn 1:1 at a
// whole zoom and scaled in between. Tiles are kept in a cache of a few more than fill the
// element; missing ones are asked of a tile sink while drawing, and until they arrive the
// element draws the matching part of a ready coarser or finer level, or a square with the
// skin's empty text ("empty_text" in "empty_font" on "empty_color").
//
// Motion: a drag pans 1:1 (also beyond the picture's edges, which spring back on release),
// a release flings with the given friction, the zoom moves towards its target keeping an
// anchor point in place. In landscape mode the tiles come turned 90 degrees clockwise and
// are laid out turned.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "render/render_surface.h"
#include "skin/font_rep.h"
#include "skin/properties.h"
#include "ui/element.h"

namespace vistrel {

class ElementRegistry;
class TileSink;
class ZoomImage;

// What the viewer hears from its pictures.
class ZoomImageListener {
public:
    virtual ~ZoomImageListener() = default;
    // A press and release without a drag, at `point`.
    virtual void on_tap(ZoomImage& view, Point point) = 0;
    // A drag ended; true when the listener takes the motion over (no fling).
    virtual bool on_release(ZoomImage& view) = 0;
    // A press began.
    virtual void on_press(ZoomImage& view) {}
};

class ZoomImage : public Element {
public:
    static constexpr double kMaxFlingSpeed = 2000;  // pixels per second
    static constexpr int kMinZoom = -4;             // level 0 drawn at 1/16

    explicit ZoomImage(Element* parent);
    ~ZoomImage() override;

    void load(Properties& properties, NodeHandle node) override;
    void animate(double seconds) override;
    void draw(Surface& surface, Point origin) override;
    bool hit_test(Point point) const override;
    void on_pointer_move(const PointerEvent& event) override;
    bool on_pointer_button(const PointerEvent& event) override;

    void set_sink(TileSink* sink) { m_sink = sink; }
    void set_listener(ZoomImageListener* listener) { m_listener = listener; }
    // Only the active picture takes pointer input.
    void set_active(bool active) { m_active = active; }
    bool active() const { return m_active; }
    // The picture file the element shows (empty for none), as the viewer set it.
    void set_file(std::u16string file) { m_file = std::move(file); }
    const std::u16string& file() const { return m_file; }

    // --- The tile grid ---

    // A picture of `picture` full-size pixels (as stored: before turning) in tiles of
    // `tile`, with zoom levels 0..levels; `turned` lays it out turned clockwise. The zoom
    // becomes the fit zoom and the picture is centred.
    void set_up(Size tile, Size picture, int levels, bool turned);
    // No picture: the element shows its empty colour.
    void clear();
    bool has_picture() const { return m_columns > 0; }
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    int max_level() const { return m_max_level; }
    // The largest whole level n (from max_level down) for which the element is at least
    // tile * 2^n on both sides; 0 when none.
    int fit_level() const;
    // The real zoom at which the whole picture fits the element (kMinZoom..max_level).
    double fit_zoom() const;
    Size tile_size() const { return m_tile; }
    Size picture_size() const { return m_picture; }
    bool turned() const { return m_turned; }

    // --- Zoom and position ---

    double zoom() const { return m_zoom; }
    double target_zoom() const { return m_target_zoom; }
    // Jumps to `zoom` (out of range: the fit zoom), keeping the centre.
    void set_zoom(double zoom);
    // Moves the zoom towards `target` over the next frames, keeping the picture point under
    // `anchor` (element coordinates) where it is.
    void zoom_to(double target, Point anchor);
    void stop_zoom() { m_target_zoom = m_zoom; }
    // The full-size picture point (as laid out) at the element's centre.
    double center(int axis) const { return m_center[axis]; }
    void set_center(double x, double y);
    // How far the picture is pushed past its bounds along an axis, in screen pixels
    // (positive: towards lower coordinates, as a drag to the left or up does).
    double overscroll(int axis) const;
    void set_overscroll(int axis, double pixels);
    // The picture's rectangle on screen (element coordinates, shift included).
    Rect picture_rect() const;
    // Draws the element moved by `shift` (the viewer lays neighbours out this way).
    void set_shift(Point shift);
    Point shift() const { return m_shift; }
    // Zooming, flinging or springing back by itself.
    bool moving() const;
    bool pressed() const { return m_down; }
    // The viewer's scroll between neighbours counts as moving by itself.
    void set_scrolling(bool scrolling);
    void stop_motion();

    // --- Tiles ---

    // Whether the cache holds a slot for the tile; `priority` is its squared distance from
    // the view's centre in screen pixels.
    bool is_tile_wanted(int level, int column, int row, int64_t& priority) const;
    void accept_tile(int level, int column, int row, RenderSurface surface);
    // Empties the tile cache.
    void release_tiles();
    int capacity() const;
    int cached_tiles() const { return static_cast<int>(m_cache.size()); }
    int ready_tiles() const;
    // Whether every tile of the current level on screen is ready.
    bool screen_complete() const { return m_screen_complete; }

private:
    struct CacheSlot {
        int level = -100;
        int column = -1;
        int row = -1;
        RenderSurface surface;
        bool requested = false;
        bool ready = false;
        uint64_t last_use = 0;
    };
    struct Sample {
        Point position;
        uint32_t time;
    };

    int level_in_use() const;
    double scale() const;  // screen pixels per full-size pixel
    // Size of a level in its own pixels, as stored (before turning).
    Size level_size(int level) const;
    // The screen rectangle of a tile of `level` (element at `origin`).
    Rect tile_rect(int level, int column, int row, Point origin) const;
    // Picture's top-left on screen for an element at `origin`.
    double picture_left(Point origin) const;
    double picture_top(Point origin) const;
    // The laid-out picture size in full-size pixels.
    double laid_out(int axis) const;
    double bound_low(int axis) const;
    double bound_high(int axis) const;
    CacheSlot* find_slot(int level, int column, int row);
    const CacheSlot* find_slot(int level, int column, int row) const;
    CacheSlot* take_slot(int level, int column, int row);
    void draw_tile(Surface& surface, Point origin, int level, int column, int row);
    bool draw_fill_in(Surface& surface, Point origin, int level, int column, int row,
                      const Rect& rect);
    // Marks a slot drawn in this frame (kept from reuse).
    void slot_used(const CacheSlot& slot);
    void prepare_surfaces();
    void clamp_center();

    TileSink* m_sink = nullptr;
    ZoomImageListener* m_listener = nullptr;
    bool m_active = false;
    std::u16string m_file;

    Colour m_empty_color{0, 0, 0, 255};
    std::u16string m_empty_text;
    FontHandle m_font;
    double m_zoom_speed = 4;
    // Tile-sized: the empty colour with the skin's empty text, shown for tiles not there yet.
    RenderSurface m_empty;

    Size m_tile{256, 256};
    Size m_picture;
    bool m_turned = false;
    int m_columns = 0;
    int m_rows = 0;
    int m_max_level = 0;
    int m_whole_level = 0;
    double m_zoom = 0;
    double m_target_zoom = 0;
    bool m_anchored = false;
    double m_anchor_picture[2] = {0, 0};
    Point m_anchor_screen;
    double m_center[2] = {0, 0};
    Point m_shift;
    Point m_origin;  // where the element was last drawn (shift included)

    Size m_fitted_size;        // the element's size when the zoom was last checked
    bool m_was_fitted = false;  // the zoom was the fit zoom then

    std::vector<CacheSlot> m_cache;
    uint64_t m_frame = 0;
    bool m_screen_complete = false;

    // Pointer and motion.
    bool m_down = false;
    bool m_dragged = false;
    Point m_last;
    Point m_press;
    std::deque<Sample> m_samples;
    double m_direction[2] = {0, 0};
    double m_speed = 0;
    bool m_scrolling = false;
};

// Registers the kind "bigpicture".
void register_bigpicture_kind(ElementRegistry& registry);
void unregister_bigpicture_kind(ElementRegistry& registry);

}  // namespace vistrel
