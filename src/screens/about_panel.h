#pragma once
// The about panel (skin node "About"): the program's name, its version and the libraries
// it is built on, over the screen it was opened from. Its button "btnClose", a tap outside
// it, Escape, Backspace or Enter close it.

#include "skin/properties.h"
#include "ui/button.h"
#include "ui/container.h"

namespace vistrel {

class AboutPanel final : public Container, private ButtonListener {
public:
    explicit AboutPanel(Properties& properties);
    ~AboutPanel() override;

    // Pushes the panel as an overlay; nothing when the skin has no "About" node.
    void show();
    void close();
    bool is_open() const { return m_open; }
    void reload_skin(Properties& properties);

    bool on_pointer_button(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;

private:
    bool clicked(Button& button, const ButtonEvent& event) override;

    Properties& m_properties;
    bool m_built = false;
    bool m_open = false;
};

// The version shown in the about panel and the libraries the program is built on.
const char16_t* program_version();
std::u16string library_list();

}  // namespace vistrel
