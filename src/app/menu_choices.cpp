#include "menu_choices.h"

#include "skin/skin_choice.h"

namespace vistrel {

namespace {

void to_menu(const std::vector<ChoiceItem>& items, std::vector<MenuItem>& entries) {
    for (const ChoiceItem& item : items) {
        MenuItem entry;
        entry.id = item.id;
        entry.text = item.text;
        entry.element_node = item.element_node;
        entry.checked = item.checked;
        entry.enabled = item.enabled;
        entries.push_back(std::move(entry));
    }
}

}  // namespace

ChoiceHandlers menu_choices(std::function<ScreenInfo()> screen) {
    ChoiceHandlers handlers;
    handlers.has_language_choice = [] { return has_language_choice(); };
    handlers.has_skin_choice = [] { return has_skin_choice(); };
    handlers.language_menu = [](Properties& properties, const std::u16string& name,
                                const std::u16string& command, std::vector<MenuItem>& entries,
                                const std::u16string& cancel_node) {
        std::vector<ChoiceItem> items;
        const bool applied = language_menu(properties, name, command, items, cancel_node);
        to_menu(items, entries);
        return applied;
    };
    handlers.skin_menu = [screen](Properties& properties, const std::u16string& name,
                                  const std::u16string& command, std::vector<MenuItem>& entries,
                                  const std::u16string& cancel_node) {
        std::vector<ChoiceItem> items;
        const bool applied = skin_menu(properties, name, screen(), command, items, cancel_node);
        to_menu(items, entries);
        return applied;
    };
    return handlers;
}

}  // namespace vistrel
