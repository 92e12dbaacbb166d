#include "skin/properties.h"

#include <algorithm>

#include "platform/threads.h"
#include "platform/trace.h"

namespace vistrel {

Properties::Properties() = default;
Properties::~Properties() = default;

bool Properties::load_skin(const std::u16string& path, const ScreenInfo& screen) {
    trace() << "Properties::load_skin 1\n";
    auto skin = std::make_unique<PropertiesImpl>(path, screen);
    trace() << "Properties::load_skin 2\n";
    if (!skin->loaded()) return false;
    trace() << "Properties::load_skin 3\n";
    m_skin = std::move(skin);
    m_skin_path = path;
    return true;
}

bool Properties::use_skin(std::unique_ptr<PropertiesImpl> skin) {
    if (!skin || !skin->loaded()) return false;
    m_skin_path = skin->path();
    m_skin = std::move(skin);
    return true;
}

NodeHandle Properties::find_node(std::u16string_view name) const {
    return m_skin ? m_skin->find_node(name) : NodeHandle();
}

int32_t Properties::get_integer(NodeHandle node, std::u16string_view name, int32_t fallback) const {
    return m_skin ? m_skin->get_integer(node, name, fallback) : fallback;
}

Point Properties::get_point(NodeHandle node, std::u16string_view name, Point fallback) const {
    return m_skin ? m_skin->get_point(node, name, fallback) : fallback;
}

FontHandle Properties::get_font(NodeHandle node, std::u16string_view name,
                                const FontHandle& fallback) const {
    return m_skin ? m_skin->get_font(node, name, fallback) : fallback;
}

std::u16string_view Properties::get_string(NodeHandle node, std::u16string_view name,
                                           std::u16string_view fallback) const {
    return m_skin ? m_skin->get_string(node, name, fallback) : fallback;
}

Colour Properties::get_color(NodeHandle node, std::u16string_view name, Colour fallback) const {
    return m_skin ? m_skin->get_color(node, name, fallback) : fallback;
}

PictureReference Properties::get_picture(NodeHandle node, std::u16string_view name,
                                         const PictureReference& fallback) const {
    return m_skin ? m_skin->get_picture(node, name, fallback) : fallback;
}

int Properties::child_count(NodeHandle node) const {
    return m_skin ? m_skin->child_count(node) : 0;
}

NodeHandle Properties::child(NodeHandle node, int index) const {
    return m_skin ? m_skin->child(node, index) : NodeHandle();
}

int Properties::attribute_count(NodeHandle node, skin_format::AttributeKind kind) const {
    return m_skin ? m_skin->attribute_count(node, kind) : 0;
}

bool Properties::load_language(const std::u16string& path) {
    return m_language.load(path);
}

void Properties::add_skin_listener(SkinListener* listener) {
    if (listener &&
        std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
        m_listeners.push_back(listener);
    }
}

void Properties::remove_skin_listener(SkinListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

void Properties::send_reload_skin() {
    const uint32_t start = tick_count();
    // A listener may add or remove listeners while it reloads; those removed before their
    // turn are not called.
    const std::vector<SkinListener*> listeners = m_listeners;
    for (SkinListener* listener : listeners) {
        if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end()) {
            listener->reload_skin(*this);
        }
    }
    trace() << "PropertiesImpl::send_reload_skin the rest time=" << (tick_count() - start) << "\n";
}

}  // namespace vistrel
