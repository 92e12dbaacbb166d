// The album screen's main menu: the four-button row, the language and skin choices, and
// what each entry does.

#include "platform/paths.h"
#include "platform/trace.h"
#include "screens/about_panel.h"
#include "screens/album_screen.h"

namespace vistrel {

namespace {

constexpr char16_t kEntryNode[] = u"MenuElement";

MenuItem entry(std::u16string id, std::u16string node = {}) {
    MenuItem item;
    item.id = std::move(id);
    item.element_node = std::move(node);
    return item;
}

}  // namespace

void AlbumScreen::open_main_menu() {
    m_menu->open_menu(u"MainMenu", {}, true);
}

void AlbumScreen::on_menu_item(Menu&, const std::u16string& id, const std::u16string&,
                               std::vector<MenuItem>& entries) {
    trace() << tick_count() << " menu " << id << "\n";
    Application* app = Application::instance();
    if (id == u"MainMenu") {
        entries.push_back(entry(u"Magic4Buttons", u"MenuElement4Buttons"));
        if (m_choices.has_language_choice && m_choices.has_language_choice())
            entries.push_back(entry(u"Language"));
        if (m_choices.has_skin_choice && m_choices.has_skin_choice())
            entries.push_back(entry(u"Skin"));
        entries.push_back(entry(u"Cancel"));
        return;
    }
    if (id == u"Exit") {
        if (app) app->quit();
        return;
    }
    if (id == u"About") {
        m_about->show();
        return;
    }
    if (id == u"Minimize") {
        if (app) app->minimize();
        return;
    }
    if (id == u"Help") {
        execute_file(u"%app_path%/" + m_properties.text_for(u"Help_link"), {});
        return;
    }
    const std::u16string name = app ? app->name() : u"Vistrel";
    bool applied = false;
    if (m_choices.language_menu)
        applied = m_choices.language_menu(m_properties, name, id, entries, kEntryNode);
    if (!applied && entries.empty() && m_choices.skin_menu)
        applied = m_choices.skin_menu(m_properties, name, id, entries, kEntryNode);
    if (applied && app) {
        entries.clear();
        app->push_screen(m_reload.get(), true);
    }
}

}  // namespace vistrel
