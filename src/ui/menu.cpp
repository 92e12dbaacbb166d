#include "ui/menu.h"

#include "shell/application.h"
#include "skin/skin_errors.h"
#include "ui/button.h"

namespace vistrel {

namespace {

// Buttons inside a row that act as entries of their own.
bool is_row_button(std::u16string_view id) {
    return id == u"About" || id == u"Help" || id == u"Minimize" || id == u"Exit";
}

// One row of the menu: the element of the entry's skin node, and the listener of the
// buttons inside it.
class MenuRow final : public Container, public ListItem, private ButtonListener {
public:
    explicit MenuRow(Menu& menu) : m_menu(menu) {}

    void listen_to_buttons(Element& element) {
        if (auto* button = dynamic_cast<Button*>(&element)) button->set_listener(this);
        for (const auto& child : element.children())
            listen_to_buttons(*child);
    }

    void bind(VList&, int index, bool) override {
        m_index = index;
        if (index < 0 || index >= static_cast<int>(m_menu.entries().size())) return;
        const MenuItem& entry = m_menu.entries()[static_cast<size_t>(index)];
        if (entry.id != u"Magic4Buttons") {
            const std::u16string text =
                entry.text.empty() ? m_menu.properties().text_for(entry.id) : entry.text;
            set_text_by_id(u"#text", text);
        }
        if (Element* separator = find_child(u"separator")) separator->set_visible(entry.separator);
        if (Element* checked = find_child(u"checked")) checked->set_visible(entry.checked);
    }

    // Only the row's own buttons keep a press; anything else lets the list show the row
    // pressed (and a click on the row's frame still chooses it).
    bool on_pointer_button(const PointerEvent& event) override {
        Container::on_pointer_button(event);
        if (!event.pressed) return true;
        for (Element* element : captured())
            if (is_row_button(element->id())) return true;
        return false;
    }

private:
    bool clicked(Button& button, const ButtonEvent&) override {
        if (is_row_button(button.id()))
            m_menu.open_menu(button.id(), button.text(), false);
        else
            m_menu.choose(m_index);
        return true;
    }

    Menu& m_menu;
    int m_index = -1;
};

}  // namespace

Menu::Menu(Properties& properties, MenuListener& listener, std::u16string menu_node,
           std::u16string element_node)
    : m_properties(properties),
      m_listener(listener),
      m_menu_node(std::move(menu_node)),
      m_element_node(std::move(element_node)) {
    build();
    m_container.set_visible(false);
}

Menu::~Menu() {
    if (m_open)
        if (Application* app = Application::instance()) app->remove_screen(&m_container);
}

void Menu::build() {
    m_list = nullptr;
    m_panel = m_caption = nullptr;
    if (!load_from_skin(m_container, m_properties, m_menu_node))
        throw dovado::NodeNotFoundInSkin(m_menu_node);
    m_panel = m_container.find_child(u"panel");
    if (!m_panel) throw dovado::NodeNotFound(m_menu_node, u"panel");
    m_list = dynamic_cast<VList*>(m_container.find_child(u"vlist"));
    if (!m_list) throw dovado::NodeNotFound(m_menu_node, u"vlist");
    m_caption = m_container.find_child(u"caption");
    m_list->set_source(this);
    m_list->set_key_control(true);
}

void Menu::reload_skin() {
    build();
    if (m_caption) m_caption->set_text_by_id(m_caption->id(), m_title);
    m_list->reset(static_cast<int>(m_entries.size()));
}

void Menu::close() {
    if (!m_open) return;
    m_open = false;
    if (Application* app = Application::instance())
        app->remove_screen(&m_container);
    else
        m_container.set_visible(false);
}

void Menu::open_menu(const std::u16string& id, const std::u16string& text, bool first) {
    const std::u16string title = text.empty() ? m_properties.text_for(id) : text;
    std::vector<MenuItem> entries;
    m_listener.on_menu_item(*this, id, title, entries);
    const std::vector<MenuItem> old = std::move(m_entries);
    m_entries = std::move(entries);

    bool same = !first && !m_entries.empty() && m_entries.size() == old.size();
    for (size_t i = 0; same && i < old.size(); ++i)
        same = m_entries[i].id == old[i].id;
    if (!m_entries.empty()) m_title = title;
    if (m_caption && !m_entries.empty()) m_caption->set_text_by_id(m_caption->id(), title);

    if (same) {
        // A row whose look changed is built again; the others only take the new entry.
        for (size_t i = 0; i < old.size(); ++i)
            if (m_entries[i].enabled != old[i].enabled ||
                m_entries[i].element_node != old[i].element_node)
                m_list->rebuild_item(static_cast<int>(i));
        m_list->rebind();
        return;
    }
    // A new menu shows itself from the start, even while the last one is still opening.
    m_panel->stop_animation();
    m_panel->set_visible(false);
    m_list->reset(static_cast<int>(m_entries.size()));
    m_list->set_selected(-1);
    if (m_entries.empty()) {
        close();
        return;
    }
    Application* app = Application::instance();
    if (!m_open) {
        m_open = true;
        if (app)
            app->push_screen(&m_container, true);
        else
            m_container.set_visible(true);
    } else if (app && app->top_screen() != &m_container) {
        app->remove_screen(&m_container);
        app->push_screen(&m_container, true);
    }
    m_panel->show_animated(true);
}

void Menu::choose(int row) {
    if (row < 0 || row >= static_cast<int>(m_entries.size())) return;
    const MenuItem entry = m_entries[static_cast<size_t>(row)];
    if (!entry.enabled) return;
    open_menu(entry.id, entry.text, false);
}

void Menu::cancel() {
    close();
}

bool Menu::row_key(const KeyEvent& event) {
    Container* row = nullptr;
    for (int i = 0; i < m_list->live_count() && !row; ++i)
        if (m_list->live_index(i) == m_list->selected())
            row = dynamic_cast<Container*>(m_list->live_element(i));
    if (!row) return false;
    if (event.code == key::Up || event.code == key::Down) {
        row->set_focus(nullptr);  // the selection leaves the row
        return false;
    }
    if (event.code == key::Enter && !(row->focused() && row->focused()->focused())) return false;
    // A press may rebuild the menu: the row lives until its button has finished.
    VList::DispatchScope scope(*m_list);
    return row->focus_key(event);
}

bool Menu::on_key(const KeyEvent& event) {
    if (row_key(event) || m_container.Container::on_key(event)) return true;
    switch (event.code) {
        case key::Esc:
        case key::Backspace:
        case key::SoftRight:
            if (event.down && event.first) cancel();
            return true;
        default:
            return false;
    }
}

bool MenuScreen::on_key(const KeyEvent& event) {
    return m_menu.on_key(event);
}

void Menu::item_clicked(VList&, int index) {
    choose(index);
}

bool Menu::item_selectable(const VList&, int index) const {
    return index >= 0 && index < static_cast<int>(m_entries.size()) &&
           m_entries[static_cast<size_t>(index)].enabled;
}

std::unique_ptr<Element> Menu::create_item(VList&, int index) {
    if (index < 0 || index >= static_cast<int>(m_entries.size())) return nullptr;
    const MenuItem& entry = m_entries[static_cast<size_t>(index)];
    std::u16string name = entry.element_node.empty() ? m_element_node : entry.element_node;
    if (!entry.enabled) name += u"Disabled";
    const NodeHandle node = m_properties.find_node(name);
    if (!node) throw dovado::NodeNotFoundInSkin(name);
    auto row = std::make_unique<MenuRow>(*this);
    create_child(row.get(), m_properties, node);
    row->listen_to_buttons(*row);
    return row;
}

}  // namespace vistrel
