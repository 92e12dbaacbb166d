#pragma once
// The element kinds of the skin, registered by name with an element registry.

#include <memory>
#include <vector>

#include "shell/application_listener.h"
#include "skin/element_registry.h"

namespace vistrel {

// Registers the fourteen kinds ("node", "text", "color", "image", "edit", "htable",
// "vtable", "button", "vlist", "checkbox", "progress", "oldtext", "label_edit", "clip").
// Throws dovado::NodeAlreadyRegistered when one of them is registered already.
void register_element_kinds(ElementRegistry& registry = ElementRegistry::global());
// Removes them in reverse order.
void unregister_element_kinds(ElementRegistry& registry = ElementRegistry::global());

// The application's hook: registers the kinds with the program's registry for its life.
class UiElementKinds final : public ElementKinds {
public:
    explicit UiElementKinds(ElementRegistry& registry = ElementRegistry::global())
        : m_registry(registry) {}
    void register_kinds() override { register_element_kinds(m_registry); }
    void unregister_kinds() override { unregister_element_kinds(m_registry); }

private:
    ElementRegistry& m_registry;
};

// Registers the kinds for the life of the scope (tools and tests).
class ElementKindsScope {
public:
    explicit ElementKindsScope(ElementRegistry& registry = ElementRegistry::global());
    ~ElementKindsScope();
    ElementKindsScope(const ElementKindsScope&) = delete;
    ElementKindsScope& operator=(const ElementKindsScope&) = delete;

private:
    ElementRegistry& m_registry;
};

}  // namespace vistrel
