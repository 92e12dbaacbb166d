#pragma once
// A skinned pop-up screen with a caption and a list of entries. The menu does not know its
// entries: whenever one is chosen it asks its owner what that entry means, and the owner
// answers with the entries to show next (a sub-menu, the same menu again, or none, which
// closes it).

#include <memory>
#include <string>
#include <vector>

#include "skin/properties.h"
#include "ui/container.h"
#include "ui/vlist.h"

namespace vistrel {

class Menu;

struct MenuItem {
    std::u16string id;            // the entry's key, and the language key of its text
    std::u16string text;          // shown instead of the language text when not empty
    std::u16string extra;         // not used by the menu
    std::u16string element_node;  // skin node of the row; empty for the menu's default
    bool enabled = true;
    bool separator = false;
    bool checked = false;
};

class MenuListener {
public:
    virtual ~MenuListener() = default;
    // Performs what `id` means and fills `entries` with the menu to show next (none closes
    // the menu). `title` is the text computed for the id.
    virtual void on_menu_item(Menu& menu, const std::u16string& id, const std::u16string& title,
                              std::vector<MenuItem>& entries) = 0;
};

// The menu's screen: keys its elements leave go to the menu.
class MenuScreen final : public Container {
public:
    explicit MenuScreen(Menu& menu) : m_menu(menu) {}
    bool on_key(const KeyEvent& event) override;

private:
    Menu& m_menu;
};

// Keys alone drive a menu: Up and Down move the selection, Enter chooses it, and Escape,
// Back (Backspace) or the right soft key closes the menu without choosing. In a selected
// row with buttons of its own (the four-button row) Left and Right move the key focus
// between them and Enter presses the focused one.
class Menu : private VListSource {
public:
    // Builds the menu's screen from the top-level node `menu_node`; rows come from
    // `element_node` unless an entry names its own. Throws dovado::NodeNotFoundInSkin
    // without the node and dovado::NodeNotFound without its "panel" or "vlist".
    Menu(Properties& properties, MenuListener& listener, std::u16string menu_node,
         std::u16string element_node);
    ~Menu() override;
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // Asks the listener about `id` and shows what it answers: the one operation behind
    // opening the menu (`first`) and choosing an entry.
    void open_menu(const std::u16string& id, const std::u16string& text, bool first);
    // Chooses row `row` as a click on it does (disabled entries do nothing).
    void choose(int row);
    // Closes the menu without choosing anything.
    void cancel();
    // The menu's keys: those of the selected row's buttons, then the list's (move,
    // choose), then cancel. True when the key was one of them.
    bool on_key(const KeyEvent& event);
    // Builds the screen again from the current skin.
    void reload_skin();

    bool is_open() const { return m_open; }
    Container& container() { return m_container; }
    const std::vector<MenuItem>& entries() const { return m_entries; }
    const std::u16string& title() const { return m_title; }
    VList* list() const { return m_list; }
    Element* panel() const { return m_panel; }
    Element* caption() const { return m_caption; }
    Properties& properties() const { return m_properties; }

private:
    void item_clicked(VList& list, int index) override;
    std::unique_ptr<Element> create_item(VList& list, int index) override;
    bool item_selectable(const VList& list, int index) const override;
    void build();
    void close();
    // The keys of the buttons inside the selected row; true when taken.
    bool row_key(const KeyEvent& event);

    Properties& m_properties;
    MenuListener& m_listener;
    MenuScreen m_container{*this};
    std::u16string m_menu_node;
    std::u16string m_element_node;
    VList* m_list = nullptr;
    Element* m_panel = nullptr;
    Element* m_caption = nullptr;
    std::vector<MenuItem> m_entries;
    std::u16string m_title;
    bool m_open = false;
};

}  // namespace vistrel
