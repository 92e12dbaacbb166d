#pragma once
// What the rest of the program hears from the application's window, and the hooks the
// application offers to layers above it.

#include <string>

#include "render/geometry.h"
#include "shell/key_codes.h"

namespace vistrel {

class Screen;

// Application events, received by the main screen.
class ApplicationListener {
public:
    virtual ~ApplicationListener() = default;
    // A command line handed over by a second start; empty text for an empty one.
    virtual void on_command_line(const std::u16string& text) = 0;
    // The window was asked to close; true lets it close.
    virtual bool on_close_request() = 0;
    virtual void on_screen_pushed(Screen* screen) = 0;
    // The shell always passes flag 1.
    virtual void on_screen_removed(Screen* screen, int flag) = 0;
    virtual void on_resolution_changed() = 0;
    virtual void on_help() = 0;
    virtual void on_deactivated() = 0;
    virtual void on_activated() = 0;
    // Sees every key press and release before the screens; true means consumed.
    virtual bool on_key_filter(const KeyEvent& event) = 0;
};

// Told once when the system's display orientation changes (a change of size alone does
// not count): fonts and text elements re-measure.
class OrientationListener {
public:
    virtual ~OrientationListener() = default;
    virtual void on_orientation_changed() = 0;
};

// The edit field that has the text input: the window keeps its text in step with what the
// user types.
class TextInputField {
public:
    virtual ~TextInputField() = default;
    virtual std::u16string text() const = 0;
    virtual void set_text(const std::u16string& text) = 0;
    // The field's rectangle in client coordinates.
    virtual Rect input_rect() const = 0;
    virtual bool multi_line() const = 0;
};

// Registers and unregisters the element kinds; the program's entry provides it, so that
// the shell does not depend on the element layer.
class ElementKinds {
public:
    virtual ~ElementKinds() = default;
    virtual void register_kinds() = 0;
    // In reverse order of registration.
    virtual void unregister_kinds() = 0;
};

}  // namespace vistrel
