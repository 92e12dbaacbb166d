#include "skin/element_registry.h"

#include "skin/skin_errors.h"

namespace vistrel {

ElementRegistry& ElementRegistry::global() {
    static ElementRegistry registry;
    return registry;
}

void ElementRegistry::register_kind(const std::u16string& name, ElementFactory factory) {
    std::lock_guard lock(m_mutex);
    if (!m_kinds.emplace(name, std::move(factory)).second)
        throw dovado::NodeAlreadyRegistered(name);
}

void ElementRegistry::unregister_kind(std::u16string_view name) {
    std::lock_guard lock(m_mutex);
    if (const auto it = m_kinds.find(name); it != m_kinds.end()) m_kinds.erase(it);
}

Element* ElementRegistry::create_element(std::u16string_view type, Element* parent) const {
    ElementFactory factory;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_kinds.find(type);
        if (it == m_kinds.end()) throw dovado::NodeNotRegistered(std::u16string(type));
        factory = it->second;
    }
    return factory(parent);
}

bool ElementRegistry::is_registered(std::u16string_view name) const {
    std::lock_guard lock(m_mutex);
    return m_kinds.find(name) != m_kinds.end();
}

std::vector<std::u16string> ElementRegistry::kinds() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::u16string> names;
    for (const auto& [name, factory] : m_kinds)
        names.push_back(name);
    return names;
}

void register_kind(const std::u16string& name, ElementFactory factory) {
    ElementRegistry::global().register_kind(name, std::move(factory));
}

void unregister_kind(std::u16string_view name) {
    ElementRegistry::global().unregister_kind(name);
}

Element* create_element(std::u16string_view type, Element* parent) {
    return ElementRegistry::global().create_element(type, parent);
}

KindRegistration::KindRegistration(std::u16string name, ElementFactory factory,
                                   ElementRegistry& registry)
    : m_registry(registry), m_name(std::move(name)) {
    m_registry.register_kind(m_name, std::move(factory));
}

KindRegistration::~KindRegistration() {
    m_registry.unregister_kind(m_name);
}

}  // namespace vistrel
