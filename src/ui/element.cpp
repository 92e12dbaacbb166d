// The element base: construction and ownership of the tree, state, input defaults, loading
// from the skin and the dump. Layout is in element_layout.cpp, drawing in
// element_drawing.cpp.

#include "ui/element.h"

#include <algorithm>

#include "platform/trace.h"
#include "skin/element_registry.h"
#include "ui/container.h"
#include "ui/visibility_animation.h"

namespace vistrel {

namespace {

int g_live_elements = 0;

void append_number(std::u16string& out, long long value) {
    const std::string digits = std::to_string(value);
    out.append(digits.begin(), digits.end());
}

void append_pair(std::u16string& out, const char* label, int a, int b) {
    for (const char* c = label; *c; ++c)
        out.push_back(static_cast<char16_t>(*c));
    append_number(out, a);
    out.push_back(u' ');
    append_number(out, b);
}

}  // namespace

Element::Element(Element* parent) : m_parent(parent) {
    if (parent) {
        m_parent_visible = parent->effectively_visible();
        // A child made under a disabled parent is disabled with it.
        m_parent_enabled = parent->effectively_enabled();
        m_root = parent->m_root;
        parent->add_child(this);
    }
    ++g_live_elements;
}

Element::~Element() {
    --g_live_elements;
    if (m_root && m_root != this) m_root->forget(this);
    if (m_parent) m_parent->remove_child(this);
    destroy_children();
}

int Element::live_count() {
    return g_live_elements;
}

void Element::destroy_children() {
    // Each child forgets its parent first so that it does not call back while it goes.
    std::vector<std::unique_ptr<Element>> children = std::move(m_children);
    m_children.clear();
    for (auto& child : children)
        child->m_parent = nullptr;
    children.clear();
}

// --- Virtual operations ---

std::u16string Element::dump_line(int depth) const {
    std::u16string line(static_cast<size_t>(std::max(depth, 0)), u'\t');
    line += u"{";
    line += m_id;
    line += u"}";
    append_pair(line, " position=", m_x, m_y);
    append_pair(line, " size=", m_width, m_height);
    append_pair(line, " design_size=", m_design_size.x, m_design_size.y);
    const Size cache = m_cache_surface.size();
    append_pair(line, " rs.size=", cache.w, cache.h);
    return line;
}

void Element::dump_to(std::u16string& out, int depth) const {
    out += dump_line(depth);
    out += u" kind=";
    out += m_kind;
    out += effectively_visible() ? u" visible=1" : u" visible=0";
    out += effectively_enabled() ? u" enabled=1" : u" enabled=0";
    if (const std::u16string_view text = shown_text(); !text.empty()) {
        out += u" text=\"";
        for (const char16_t c : text) {
            if (c == u'\n') {
                out += u"\\n";
                continue;
            }
            if (c == u'"' || c == u'\\') out += u'\\';
            if (c != u'\r') out += c;
        }
        out += u'"';
    }
    out += u"\n";
    for (const auto& child : m_children)
        child->dump_to(out, depth + 1);
}

void Element::dump(int depth) {
    trace() << dump_line(depth) << "\n";
    for (const auto& child : m_children)
        child->dump(depth + 1);
}

void Element::set_text_by_id(std::u16string_view id, const std::u16string& text) {
    for (size_t i = 0; i < m_children.size(); ++i)
        m_children[i]->set_text_by_id(id, text);
}

void Element::add_child(Element* child) {
    if (!child) return;
    // An element is owned once: a second add would destroy it twice.
    for (const auto& c : m_children)
        if (c.get() == child) return;
    // An element cannot hold itself or one of its ancestors.
    for (const Element* e = this; e; e = e->m_parent)
        if (e == child) return;
    // An element owned elsewhere moves here.
    if (child->m_parent && child->m_parent != this) child->m_parent->remove_child(child);
    m_children.emplace_back(child);
    child->m_parent = this;
    child->join_tree(*this);
    invalidate_layout();
}

void Element::join_tree(const Element& parent) {
    if (m_root != this) adopt_root(parent.m_root);
    const bool was_visible = effectively_visible();
    m_parent_visible = parent.effectively_visible();
    if (effectively_visible() != was_visible) on_visibility_changed(effectively_visible());
    const bool was_enabled = effectively_enabled();
    m_parent_enabled = parent.effectively_enabled();
    if (effectively_enabled() != was_enabled) on_enabled_changed(effectively_enabled());
}

void Element::adopt_root(Container* root) {
    if (m_root == root) return;
    if (m_takes_input) {
        if (m_root) m_root->forget(this);
        if (root) root->add_interactive(this);
    }
    m_root = root;
    // A container inside the tree stays the root of its own.
    for (const auto& child : m_children)
        if (child->m_root != child.get()) child->adopt_root(root);
}

void Element::take_input() {
    m_takes_input = true;
    if (m_root && m_root != this) m_root->add_interactive(this);
}

void Element::remove_child(Element* child) {
    bool removed = false;
    for (auto it = m_children.begin(); it != m_children.end();) {
        if (it->get() == child) {
            // The caller owns it now; it no longer calls back into this element, and its
            // subtree leaves the root's input.
            Element* released = it->release();
            released->m_parent = nullptr;
            if (released->m_root != released) released->adopt_root(nullptr);
            it = m_children.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    if (removed) invalidate_layout();
}

void Element::load(Properties& properties, NodeHandle node) {
    m_id = std::u16string(properties.get_string(node, attr::kId));
    m_kind = std::u16string(properties.get_string(node, attr::kType));
    m_anchor[0] = parse_anchor_mode(properties.get_string(node, u"anchor_x"));
    m_anchor[1] = parse_anchor_mode(properties.get_string(node, u"anchor_y"));
    if (properties.attribute_count(node, skin_format::AttributeKind::Point) > 0) {
        m_border_min = properties.get_point(node, u"border_min");
        m_design_size = properties.get_point(node, u"design_size");
        m_border_max = properties.get_point(node, u"border_max");
    }
    if (properties.attribute_count(node, skin_format::AttributeKind::Integer) > 0 ||
        properties.attribute_count(node, skin_format::AttributeKind::Font) > 0) {
        m_table_ratio = properties.get_integer(node, u"table_ratio", 0);
        const bool cache = properties.get_integer(node, u"cache", 0) != 0;
        set_cache(cache, cache ? properties.get_integer(node, u"cache_alpha", -1) : -1);
    }
    const int count = properties.child_count(node);
    m_children.reserve(m_children.size() + static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        create_child(this, properties, properties.child(node, i));
    set_visibility_animation(properties.get_string(node, u"visibility_animation"));
    invalidate_layout();
}

void Element::set_enabled(bool enabled) {
    if (m_enabled == enabled) return;
    const bool was = effectively_enabled();
    m_enabled = enabled;
    if (effectively_enabled() != was) on_enabled_changed(effectively_enabled());
    mark_dirty();
}

void Element::on_enabled_changed(bool enabled) {
    for (size_t i = 0; i < m_children.size(); ++i) {
        Element& child = *m_children[i];
        const bool was = child.effectively_enabled();
        child.m_parent_enabled = enabled;
        if (child.effectively_enabled() != was)
            child.on_enabled_changed(child.effectively_enabled());
    }
    mark_dirty();
}

void Element::set_visible(bool visible) {
    if (m_visible == visible) return;
    const bool was = effectively_visible();
    m_visible = visible;
    if (effectively_visible() != was) on_visibility_changed(effectively_visible());
    invalidate_layout();
}

void Element::on_visibility_changed(bool visible) {
    for (size_t i = 0; i < m_children.size(); ++i) {
        Element& child = *m_children[i];
        const bool was = child.effectively_visible();
        child.m_parent_visible = visible;
        if (child.effectively_visible() != was)
            child.on_visibility_changed(child.effectively_visible());
    }
    invalidate_layout();
    if (!visible) m_cache_surface.release();
}

bool Element::hit_test(Point p) const {
    return m_x <= p.x && p.x < m_x + m_width && m_y <= p.y && p.y < m_y + m_height;
}

void Element::on_pointer_move(const PointerEvent&) {}

bool Element::on_pointer_button(const PointerEvent&) {
    return false;
}

void Element::pointer_hook() {}

bool Element::on_key(const KeyEvent&) {
    return false;
}

bool Element::on_text(const std::u16string&) {
    return false;
}

// --- The tree ---

Element* Element::find_child(std::u16string_view id) const {
    for (const auto& child : m_children)
        if (child->m_id == id) return child.get();
    for (const auto& child : m_children)
        if (Element* found = child->find_child(id)) return found;
    return nullptr;
}

Element* create_child(Element* parent, Properties& properties, NodeHandle node) {
    if (!node) return nullptr;
    const std::u16string_view type = properties.get_string(node, attr::kType);
    Element* element = create_element(type, parent);
    if (!element) return nullptr;
    if (parent) {
        element->load(properties, node);
        return element;
    }
    std::unique_ptr<Element> owned(element);
    owned->load(properties, node);
    return owned.release();
}

std::unique_ptr<Element> create_element_tree(Properties& properties, NodeHandle node) {
    return std::unique_ptr<Element>(create_child(nullptr, properties, node));
}

bool load_from_skin(Element& element, Properties& properties, std::u16string_view name) {
    const NodeHandle node = properties.find_node(name);
    if (!node) return false;
    if (auto* container = dynamic_cast<Container*>(&element)) container->clear_capture();
    element.destroy_children();
    element.load(properties, node);
    element.invalidate_layout();
    return true;
}

}  // namespace vistrel
