#pragma once
// The element base: every screen is a tree of elements built from skin nodes. A parent owns
// its children (they hand themselves to it when constructed) and draws them in skin order.
// Layout runs in two passes per frame, all x then all y: each element measures what it
// needs of its parent (cached per axis until something below changes) and places its
// children by their anchor modes. Positions are absolute surface coordinates.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "render/geometry.h"
#include "render/pixel_op.h"
#include "render/render_surface.h"
#include "render/surface.h"
#include "shell/key_codes.h"
#include "shell/screen.h"
#include "skin/node_handle.h"
#include "skin/properties.h"
#include "ui/anchor.h"

namespace vistrel {

class Container;
class VisibilityAnimation;

enum class Axis : int { X = 0, Y = 1 };

// A measure: the length an element would like and the least it can do with.
struct Extent {
    int preferred = 0;
    int minimum = 0;
    friend bool operator==(const Extent&, const Extent&) = default;
};

class Element;

// Told when an element gets a new width or height from its parent.
class ExtentObserver {
public:
    virtual ~ExtentObserver() = default;
    virtual void on_extent_changed(Element& element, Axis axis, int length) = 0;
};

class Element {
public:
    // Hands itself to `parent` (which then owns it); a null parent leaves it to the caller.
    explicit Element(Element* parent);

    // --- Virtual operations, in their fixed order ---

    // Writes one line per element to the trace log, parents before children, each
    // indented by one tab per level.
    virtual void dump(int depth);
    // Text kinds whose id equals `id` take `text`; then every child is asked.
    virtual void set_text_by_id(std::u16string_view id, const std::u16string& text);
    // Takes ownership of `child` (appended last); the layout is worked out again. A child
    // owned by another element moves here; its subtree takes on this element's root (its
    // elements that take input register there), visibility and enabled state. Adding an
    // element to itself or to one of its descendants does nothing.
    virtual void add_child(Element* child);
    // Gives up every occurrence of `child` without destroying it; its subtree leaves the
    // root (it no longer takes input until it is added somewhere again).
    virtual void remove_child(Element* child);
    // Reads the element's attributes from `node` and creates its children.
    virtual void load(Properties& properties, NodeHandle node);
    virtual ~Element();
    virtual void set_enabled(bool enabled);
    virtual void on_enabled_changed(bool enabled);
    virtual void set_visible(bool visible);
    virtual void on_visibility_changed(bool visible);
    virtual void animate(double seconds);
    // Draws the element with its top-left corner at `origin`.
    virtual void draw(Surface& surface, Point origin);
    virtual void layout_x();
    virtual void layout_y();
    virtual void measure_x(Extent& extent);
    // A hook for kinds; false.
    virtual bool layout_hook_x();
    virtual void measure_y(Extent& extent);
    // A hook for kinds; false.
    virtual bool layout_hook_y();
    virtual bool hit_test(Point point) const;
    virtual void on_pointer_move(const PointerEvent& event);
    virtual bool on_pointer_button(const PointerEvent& event);
    // A hook for kinds; does nothing.
    virtual void pointer_hook();
    virtual bool on_key(const KeyEvent& event);
    virtual bool on_text(const std::u16string& text);
    // The text an element shows, for the dump (empty for kinds without one).
    virtual std::u16string_view shown_text() const { return {}; }

    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;

    // --- Layout ---

    // Gives the element its position and length on the axis; lays out its children when
    // either changed or a layout is pending.
    void set_x_extent(int x, int width);
    void set_y_extent(int y, int height);
    // The cached measure, worked out when invalid.
    Extent extent_x();
    Extent extent_y();
    Extent extent(Axis axis) { return axis == Axis::X ? extent_x() : extent_y(); }
    void set_extent(Axis axis, int position, int length);
    // Invalidates both measures of the element and its ancestors and marks them for layout
    // and drawing.
    void invalidate_layout();
    // Invalidates the height measures of the element and its ancestors (a width change
    // made the element taller or shorter).
    void invalidate_height();
    void mark_dirty();

    // --- The tree ---

    // The first element with `id` below this one: direct children first, then each child's
    // subtree in order. Null when none.
    Element* find_child(std::u16string_view id) const;
    Element* parent() const { return m_parent; }
    Container* root() const { return m_root; }
    const std::vector<std::unique_ptr<Element>>& children() const { return m_children; }
    // Destroys every child.
    void destroy_children();
    // One line of the dump, without the line feed.
    std::u16string dump_line(int depth) const;
    // The subtree for screen tests: per element the line of the dump followed by
    // " kind=" its skin type, " visible=" and " enabled=" its effective state (0 or 1) and,
    // when it shows a text, " text=" the text in double quotes (line feeds as \n, quotes
    // and backslashes escaped), then a line feed.
    void dump_to(std::u16string& out, int depth = 0) const;
    // The skin type the element was loaded as (empty for elements made in code).
    const std::u16string& kind() const { return m_kind; }

    // --- Drawing ---

    // Draws the element (its cache, or its running visibility animation) at `origin`.
    void draw_child(Surface& surface, Point origin);
    // Draws the element into its cache surface when it changed since the last time.
    void render_cache();
    // Shows or hides the element with its visibility animation, when it has one.
    void show_animated(bool show);
    VisibilityAnimation* animation() const { return m_animation.get(); }
    bool animation_running() const;
    // Ends a running visibility animation at once (the element keeps its own flag).
    void stop_animation();
    const RenderSurface& cache_surface() const { return m_cache_surface; }
    bool cached() const { return m_cache; }

    // --- State ---

    const std::u16string& id() const { return m_id; }
    void set_id(std::u16string id) { m_id = std::move(id); }
    bool visible() const { return m_visible; }
    bool effectively_visible() const { return m_visible && m_parent_visible; }
    bool enabled() const { return m_enabled; }
    bool effectively_enabled() const { return m_enabled && m_parent_enabled; }
    bool dirty() const { return m_dirty; }
    bool layout_pending() const { return m_layout_pending; }
    void set_observer(ExtentObserver* observer) { m_observer = observer; }
    ExtentObserver* observer() const { return m_observer; }

    int x() const { return m_x; }
    int y() const { return m_y; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    Point position() const { return {m_x, m_y}; }
    Size size() const { return {m_width, m_height}; }
    Rect rect() const { return {m_x, m_y, m_x + m_width, m_y + m_height}; }

    AnchorMode anchor(Axis axis) const { return m_anchor[index(axis)]; }
    void set_anchor(Axis axis, AnchorMode mode) { m_anchor[index(axis)] = mode; }
    Point border_min() const { return m_border_min; }
    Point border_max() const { return m_border_max; }
    Point design_size() const { return m_design_size; }
    void set_borders(Point border_min, Point border_max);
    void set_design_size(Point size);
    // The borders the element's anchor mode keeps on the axis.
    int border_total(Axis axis) const;
    int table_ratio() const { return m_table_ratio; }
    void set_table_ratio(int ratio) { m_table_ratio = ratio; }
    // Turns the cache on (with the pixel operation of `alpha`: -1 copies) or off.
    void set_cache(bool on, int alpha = -1);
    // Sets the visibility animation by its skin name; an empty or unknown name removes it.
    void set_visibility_animation(std::u16string_view name);

    // Live elements in the program.
    static int live_count();

protected:
    static int index(Axis axis) { return static_cast<int>(axis); }
    static int along(Point p, Axis axis) { return axis == Axis::X ? p.x : p.y; }
    int position_on(Axis axis) const { return axis == Axis::X ? m_x : m_y; }
    int length_on(Axis axis) const { return axis == Axis::X ? m_width : m_height; }

    // The plain element's measure and placement of one axis.
    void measure_axis(Axis axis, Extent& extent);
    void place_children(Axis axis);
    // Places one child on the axis within [start, start + length) by its anchor mode.
    static void place_in(Element& child, Axis axis, int start, int length, int preferred);
    // The child's outer length for the axis at its preferred length.
    static int outer_length(Element& child, Axis axis, int length);

    // Marks the element as one that takes input: it registers with its root, now and
    // whenever its subtree joins another tree. Kinds call it from their constructor.
    void take_input();

    // Clears the dirty flag of this element only.
    void clear_dirty() { m_dirty = false; }
    void set_parent_visible(bool visible) { m_parent_visible = visible; }

private:
    friend class Container;
    void apply_extent(Axis axis, int position, int length);
    // Takes on the root, visibility and enabled state of a new parent.
    void join_tree(const Element& parent);
    void adopt_root(Container* root);

    std::unique_ptr<VisibilityAnimation> m_animation;
    std::u16string m_id;
    std::u16string m_kind;
    Element* m_parent = nullptr;
    ExtentObserver* m_observer = nullptr;
    AnchorMode m_anchor[2] = {AnchorMode::BothSide, AnchorMode::BothSide};
    Point m_border_min;
    Point m_design_size;
    Extent m_extent[2];
    bool m_extent_valid[2] = {false, false};
    Point m_border_max;
    bool m_visible = true;
    bool m_parent_visible = true;
    bool m_enabled = true;
    bool m_parent_enabled = true;
    bool m_dirty = true;
    bool m_layout_pending = true;
    Container* m_root = nullptr;
    RenderSurface m_cache_surface;
    bool m_cache = false;
    std::unique_ptr<PixelOp> m_cache_op;
    int m_x = 0;
    int m_y = 0;
    int m_width = 0;
    int m_height = 0;
    std::vector<std::unique_ptr<Element>> m_children;
    int m_table_ratio = 0;
    bool m_takes_input = false;
};

// Creates the element of `node`'s "type" under `parent` and loads it. With a null parent
// the caller owns the result. A null node creates nothing. Throws dovado::NodeNotRegistered
// for an unknown type.
Element* create_child(Element* parent, Properties& properties, NodeHandle node);
std::unique_ptr<Element> create_element_tree(Properties& properties, NodeHandle node);

// Rebuilds `element` from the top-level node `name`: false, with nothing changed, when the
// skin has no such node.
bool load_from_skin(Element& element, Properties& properties, std::u16string_view name);

inline Element* find_child(const Element& element, std::u16string_view id) {
    return element.find_child(id);
}

// The attribute names every element reads.
namespace attr {
inline constexpr std::u16string_view kType = u"type";
inline constexpr std::u16string_view kId = u"id";
}  // namespace attr

}  // namespace vistrel
