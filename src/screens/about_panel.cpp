#include "screens/about_panel.h"

#include "platform/trace.h"
#include "shell/application.h"

namespace vistrel {

const char16_t* program_version() {
    return u"1.0";
}

std::u16string library_list() {
    return u"libjpeg, libpng, FreeType, Fontconfig, SDL 2";
}

AboutPanel::AboutPanel(Properties& properties) : m_properties(properties) {
    reload_skin(properties);
    set_visible(false);
}

AboutPanel::~AboutPanel() {
    if (m_open)
        if (Application* app = Application::instance()) app->remove_screen(this);
}

void AboutPanel::reload_skin(Properties& properties) {
    m_built = load_from_skin(*this, properties, u"About");
    if (!m_built) return;
    const std::u16string name =
        Application::instance() ? Application::instance()->name() : std::u16string(u"Vistrel");
    set_text_by_id(u"name", name);
    // The language may word the version and the libraries; without it they are ours.
    if (properties.text_for(u"AboutVersion") == u"AboutVersion")
        set_text_by_id(u"version", std::u16string(u"Version ") + program_version());
    if (properties.text_for(u"AboutLibraries") == u"AboutLibraries")
        set_text_by_id(u"libraries", u"Built with " + library_list() + u".");
    if (auto* close = dynamic_cast<Button*>(find_child(u"btnClose"))) close->set_listener(this);
}

void AboutPanel::show() {
    if (!m_built || m_open) {
        if (!m_built) trace() << "About: the skin has no About node\n";
        return;
    }
    m_open = true;
    if (Application* app = Application::instance()) app->push_screen(this, true);
}

void AboutPanel::close() {
    if (!m_open) return;
    m_open = false;
    if (Application* app = Application::instance()) app->remove_screen(this);
}

bool AboutPanel::clicked(Button&, const ButtonEvent&) {
    close();
    return true;
}

bool AboutPanel::on_pointer_button(const PointerEvent& event) {
    if (Container::on_pointer_button(event)) return true;
    Element* panel = find_child(u"panel");
    if (event.pressed && (!panel || !panel->hit_test({event.x, event.y}))) close();
    return true;
}

bool AboutPanel::on_key(const KeyEvent& event) {
    if (Container::on_key(event)) return true;
    if (!event.down &&
        (event.code == key::Esc || event.code == key::Backspace || event.code == key::Enter)) {
        close();
        return true;
    }
    return event.down;
}

}  // namespace vistrel
