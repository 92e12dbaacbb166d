#pragma once
// The registry of element kinds: skin nodes name their kind in the string "type", and the
// registry makes an element of that kind. The element classes themselves live above the
// skin library; here they are only a forward declaration.

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

class Element;

// Makes a new element of one kind with `parent` as its parent and returns it. An element
// hands itself to its parent when it is constructed, so the parent owns the result; with
// a null parent the caller does.
using ElementFactory = std::function<Element*(Element* parent)>;

class ElementRegistry {
public:
    // The program's registry.
    static ElementRegistry& global();

    // Throws dovado::NodeAlreadyRegistered when `name` is registered already.
    void register_kind(const std::u16string& name, ElementFactory factory);
    // Removes the kind; nothing happens when it is absent.
    void unregister_kind(std::u16string_view name);
    // Throws dovado::NodeNotRegistered when `type` names no kind. The factory runs without
    // the registry's lock held, so it may create further elements.
    Element* create_element(std::u16string_view type, Element* parent) const;

    bool is_registered(std::u16string_view name) const;
    // The registered names in order.
    std::vector<std::u16string> kinds() const;

private:
    mutable std::mutex m_mutex;
    std::map<std::u16string, ElementFactory, std::less<>> m_kinds;
};

// The global registry's operations.
void register_kind(const std::u16string& name, ElementFactory factory);
void unregister_kind(std::u16string_view name);
Element* create_element(std::u16string_view type, Element* parent);

// Registers a kind for the life of the object (with the global registry by default).
class KindRegistration {
public:
    KindRegistration(std::u16string name, ElementFactory factory,
                     ElementRegistry& registry = ElementRegistry::global());
    ~KindRegistration();
    KindRegistration(const KindRegistration&) = delete;
    KindRegistration& operator=(const KindRegistration&) = delete;

private:
    ElementRegistry& m_registry;
    std::u16string m_name;
};

}  // namespace vistrel
